#pragma once
// The yardstick of bench_window: the tightest honest program on the Firebird client for
// the window's specified work. One attachment, one statement handle and one descriptor
// each way, allocated once; a statement is prepared in the transaction that runs it; a
// query runs in a read-only transaction; fetched values are read in place into a minimal
// store (one block of bytes and an offset a value).
#include "RawFirebird.h"

#include <ibase.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kordane::bench {

// Rows of text values, nulls marked: what a program needs to show and remove them.
class MinimalStore {
public:
    void clear()
    {
        bytes_.clear();
        ends_.clear();
        nulls_.clear();
    }
    void reserve(std::size_t rows, std::size_t columns)
    {
        ends_.reserve(rows * columns);
        nulls_.reserve(rows * columns);
    }
    void add(const char* data, std::size_t length, bool null)
    {
        bytes_.insert(bytes_.end(), data, data + length);
        ends_.push_back(static_cast<std::uint32_t>(bytes_.size()));
        nulls_.push_back(null);
    }
    std::size_t values() const { return ends_.size(); }
    std::string_view value(std::size_t i) const
    {
        const std::uint32_t begin = i ? ends_[i - 1] : 0;
        return {bytes_.data() + begin, ends_[i] - begin};
    }
    bool null(std::size_t i) const { return nulls_[i]; }
    void shrink() { bytes_.shrink_to_fit(); }

private:
    std::vector<char> bytes_;
    std::vector<std::uint32_t> ends_;
    std::vector<bool> nulls_;
};

class TightClient {
public:
    static constexpr short maxColumns = 7;

    TightClient(const std::string& database, const std::string& user, const std::string& password)
        : db_(database, user, password, "NONE")
    {
        ISC_STATUS_ARRAY status;
        check(isc_dsql_allocate_statement(status, db_.handle(), &stmt_), status);
        out_ = descriptor(outStorage_);
        in_ = descriptor(inStorage_);
    }
    ~TightClient()
    {
        ISC_STATUS_ARRAY status;
        isc_dsql_free_statement(status, &stmt_, DSQL_drop);
    }
    TightClient(const TightClient&) = delete;
    TightClient& operator=(const TightClient&) = delete;

    // A query's rows into `store`; gives the number of rows.
    std::size_t query(const std::string& sql, MinimalStore& store)
    {
        ISC_STATUS_ARRAY status;
        Transaction tr(db_, true);
        prepare(tr, sql);
        const short columns = out_->sqld;
        if (columns > maxColumns)
            throw std::runtime_error("more columns than the descriptor holds");
        char buffer[maxColumns][64 + 2];
        short nulls[maxColumns];
        for (short i = 0; i < columns; ++i) {
            XSQLVAR& v = out_->sqlvar[i];
            if (v.sqllen > 64)
                throw std::runtime_error("a column wider than the buffer");
            v.sqldata = buffer[i];
            v.sqlind = &nulls[i];
        }
        check(isc_dsql_execute(status, tr.handle(), &stmt_, SQLDA_VERSION1, nullptr), status);
        std::size_t rows = 0;
        ISC_STATUS fetched;
        while ((fetched = isc_dsql_fetch(status, &stmt_, SQLDA_VERSION1, out_)) == 0) {
            for (short i = 0; i < columns; ++i) {
                const XSQLVAR& v = out_->sqlvar[i];
                if ((v.sqltype & ~1) == SQL_VARYING) {
                    std::uint16_t length;
                    std::memcpy(&length, v.sqldata, 2);
                    store.add(v.sqldata + 2, length, nulls[i] < 0);
                } else {
                    store.add(v.sqldata, static_cast<std::size_t>(v.sqllen), nulls[i] < 0);
                }
            }
            ++rows;
        }
        if (fetched != 100)
            check(fetched, status);
        check(isc_dsql_free_statement(status, &stmt_, DSQL_close), status);
        tr.commit();
        return rows;
    }

    // A statement with its values bound in place (null for a null), in a transaction
    // of its own; gives the rows it touched when asked to `count` them.
    std::int64_t execute(const std::string& sql, const std::vector<std::optional<std::string_view>>& values,
                         bool count = true)
    {
        Transaction tr(db_, false);
        const std::int64_t rows = run(tr, sql, values, count);
        tr.commit();
        return rows;
    }

    // Several statements in one transaction.
    void executeTogether(const std::vector<std::pair<std::string, std::vector<std::optional<std::string_view>>>>& work)
    {
        Transaction tr(db_, false);
        for (const auto& [sql, values] : work)
            run(tr, sql, values, false);
        tr.commit();
    }

private:
    class Transaction {
    public:
        Transaction(RawFirebird& db, bool readOnly)
        {
            const char tpb[] = {isc_tpb_version3, static_cast<char>(readOnly ? isc_tpb_read : isc_tpb_write),
                                isc_tpb_read_committed, isc_tpb_rec_version, isc_tpb_wait};
            ISC_STATUS_ARRAY status;
            check(isc_start_transaction(status, &tr_, 1, db.handle(), static_cast<unsigned short>(sizeof tpb), tpb),
                  status);
        }
        ~Transaction()
        {
            ISC_STATUS_ARRAY status;
            if (tr_)
                isc_rollback_transaction(status, &tr_);
        }
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void commit()
        {
            ISC_STATUS_ARRAY status;
            check(isc_commit_transaction(status, &tr_), status);
        }
        isc_tr_handle* handle() { return &tr_; }

    private:
        isc_tr_handle tr_ = 0;
    };

    static void check(ISC_STATUS result, const ISC_STATUS* status)
    {
        if (result)
            throwOnError(status);
    }

    static XSQLDA* descriptor(std::vector<std::uint64_t>& storage)
    {
        storage.assign(XSQLDA_LENGTH(maxColumns) / 8 + 1, 0);
        auto* d = reinterpret_cast<XSQLDA*>(storage.data());
        d->version = SQLDA_VERSION1;
        d->sqln = maxColumns;
        return d;
    }

    void prepare(Transaction& tr, const std::string& sql)
    {
        ISC_STATUS_ARRAY status;
        check(isc_dsql_prepare(status, tr.handle(), &stmt_, static_cast<unsigned short>(sql.size()), sql.data(), 3,
                               out_),
              status);
    }

    std::int64_t run(Transaction& tr, const std::string& sql, const std::vector<std::optional<std::string_view>>& values,
                     bool count)
    {
        ISC_STATUS_ARRAY status;
        prepare(tr, sql);
        short nulls[maxColumns];
        // The values' types are known to this program: every one is text.
        in_->sqld = static_cast<short>(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            XSQLVAR& v = in_->sqlvar[i];
            v.sqltype = SQL_TEXT | 1;
            v.sqlscale = 0;
            v.sqlsubtype = 0;
            v.sqllen = static_cast<short>(values[i] ? values[i]->size() : 0);
            v.sqldata = const_cast<char*>(values[i] ? values[i]->data() : "");
            nulls[i] = values[i] ? 0 : -1;
            v.sqlind = &nulls[i];
        }
        check(isc_dsql_execute(status, tr.handle(), &stmt_, SQLDA_VERSION1, values.empty() ? nullptr : in_), status);
        if (!count)
            return 0;
        const char items[] = {isc_info_sql_records};
        char buffer[64];
        check(isc_dsql_sql_info(status, &stmt_, sizeof items, items, sizeof buffer, buffer), status);
        // isc_info_sql_records, its length, then counts of their own: code, length, value.
        std::int64_t rows = 0;
        for (std::size_t at = 3; at + 3 <= sizeof buffer && buffer[at] != isc_info_end;) {
            const char code = buffer[at];
            const auto length = static_cast<short>(isc_vax_integer(buffer + at + 1, 2));
            if (code == isc_info_req_delete_count || code == isc_info_req_update_count ||
                code == isc_info_req_insert_count)
                rows += isc_vax_integer(buffer + at + 3, length);
            at += 3 + static_cast<std::size_t>(length);
        }
        return rows;
    }

    RawFirebird db_;
    isc_stmt_handle stmt_ = 0;
    std::vector<std::uint64_t> outStorage_;
    std::vector<std::uint64_t> inStorage_;
    XSQLDA* out_ = nullptr;
    XSQLDA* in_ = nullptr;
};

} // namespace kordane::bench
