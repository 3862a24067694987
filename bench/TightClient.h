#pragma once
// The yardstick of bench_window: the tightest program on the Firebird client for the
// window's work, as one written for that work alone would be. One attachment. A statement
// whose text repeats is prepared once with markers, on a handle of its own, and after
// that only executed; its values are bound in place as text, which this program knows
// they are, so no parameter is ever described. The rows a statement touched are asked
// for only where they are checked. A query runs in a read-only transaction and its values
// are read in place into a compact store. None of Kordane's own code runs in it: every
// text and value it sends is made by its caller before the clock starts.
#include "tools/rawfb/RawFirebird.h"

#include <ibase.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kordane::bench {

// Rows of text values in blocks of a fixed size, each allocated once and kept: a value is
// its length in one byte (nullMark for a null) followed by its bytes, a row's values lie
// together in one block, and the row locator gives where each row begins.
class CompactStore {
public:
    static constexpr std::size_t blockSize = std::size_t(1) << 20;
    static constexpr unsigned char nullMark = 0xFF;
    static constexpr std::size_t maxValue = nullMark - 1;

    // Room in the locator for `rows` rows, made once, so that it is not copied as they come.
    void reserve(std::size_t rows) { rows_.reserve(rows); }
    // Forgets the rows; the blocks stay for the next.
    void clear()
    {
        rows_.clear();
        block_ = 0;
        used_ = 0;
    }
    // Begins a row of at most `room` bytes, lengths included (at most a block).
    void beginRow(std::size_t room)
    {
        if (used_ + room > blockSize) {
            ++block_;
            used_ = 0;
        }
        if (block_ == blocks_.size()) {
            if (blocks_.size() == maxBlocks)
                throw std::runtime_error("more rows than the store's locator can place");
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize));
        }
        rows_.push_back(static_cast<std::uint32_t>(block_ * blockSize + used_));
    }
    // A value of the row begun last; `length` is at most maxValue.
    void add(const char* data, std::size_t length, bool null)
    {
        char* at = blocks_[block_].get() + used_;
        at[0] = static_cast<char>(null ? nullMark : length);
        if (!null)
            std::memcpy(at + 1, data, length);
        used_ += 1 + (null ? 0 : length);
    }
    std::size_t rows() const { return rows_.size(); }
    // Column `column` of row `row`: nullopt for a null.
    std::optional<std::string_view> value(std::size_t row, std::size_t column) const
    {
        const char* at = blocks_[rows_[row] / blockSize].get() + rows_[row] % blockSize;
        for (std::size_t c = 0; c < column; ++c)
            at += 1 + length(at);
        if (static_cast<unsigned char>(*at) == nullMark)
            return std::nullopt;
        return std::string_view(at + 1, length(at));
    }

private:
    // The locator's 32 bits place this many blocks.
    static constexpr std::size_t maxBlocks = (std::size_t(1) << 32) / blockSize;
    static std::size_t length(const char* at)
    {
        const auto n = static_cast<unsigned char>(*at);
        return n == nullMark ? 0 : n;
    }

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::uint32_t> rows_;
    std::size_t block_ = 0;
    std::size_t used_ = 0;
};

class TightClient {
public:
    static constexpr short maxColumns = 7;
    static constexpr short maxWidth = 64;
    using Value = std::optional<std::string_view>; // nullopt binds a null
    using Values = std::span<const Value>;

    // A statement with markers, kept prepared once it has run. It stays where it is made:
    // the descriptors point into it.
    class Statement {
    public:
        Statement(TightClient& client, std::string sql)
            : sql_(std::move(sql))
            , handle_(client.db_.handle())
        {
            in()->version = out()->version = SQLDA_VERSION1;
            in()->sqln = out()->sqln = maxColumns;
        }
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;

    private:
        friend class TightClient;
        XSQLDA* in() { return reinterpret_cast<XSQLDA*>(in_); }
        XSQLDA* out() { return reinterpret_cast<XSQLDA*>(out_); }

        std::string sql_;
        RawStatement handle_;
        bool prepared_ = false;
        alignas(XSQLDA) char in_[XSQLDA_LENGTH(maxColumns)] {};
        alignas(XSQLDA) char out_[XSQLDA_LENGTH(maxColumns)] {};
        char columns_[maxColumns][maxWidth + 2] {};
        short nulls_[maxColumns] {};
        short columnNulls_[maxColumns] {};
        std::size_t rowRoom_ = 0; // a fetched row's bytes in a compact store, at most
    };

    TightClient(const std::string& database, const std::string& user, const std::string& password)
        : db_(database, user, password, "NONE")
    {
    }

    // A query's rows into `store`; gives the number of rows.
    std::size_t query(Statement& s, Values values, CompactStore& store)
    {
        ISC_STATUS_ARRAY status;
        Transaction tr(db_.handle(), readOnly);
        start(tr, s, values);
        const short columns = s.out()->sqld;
        std::size_t rows = 0;
        ISC_STATUS fetched;
        while ((fetched = isc_dsql_fetch(status, s.handle_.handle(), SQLDA_VERSION1, s.out())) == 0) {
            store.beginRow(s.rowRoom_);
            for (short i = 0; i < columns; ++i) {
                const XSQLVAR& v = s.out()->sqlvar[i];
                if ((v.sqltype & ~1) == SQL_VARYING) {
                    unsigned short length;
                    std::memcpy(&length, v.sqldata, sizeof length);
                    store.add(v.sqldata + 2, length, *v.sqlind < 0);
                } else {
                    store.add(v.sqldata, std::size_t(v.sqllen), *v.sqlind < 0);
                }
            }
            ++rows;
        }
        if (fetched != endOfRows)
            check(fetched, status);
        close(s);
        tr.commit();
        return rows;
    }

    // Whether a query finds a row: its first fetch tells.
    bool exists(Statement& s, Values values)
    {
        ISC_STATUS_ARRAY status;
        Transaction tr(db_.handle(), readOnly);
        start(tr, s, values);
        const ISC_STATUS fetched = isc_dsql_fetch(status, s.handle_.handle(), SQLDA_VERSION1, s.out());
        if (fetched != endOfRows)
            check(fetched, status);
        close(s);
        tr.commit();
        return fetched == 0;
    }

    // A statement in a transaction of its own; gives the rows it touched when asked to
    // `count` them.
    std::int64_t execute(Statement& s, Values values, bool count)
    {
        Transaction tr(db_.handle(), readWrite);
        start(tr, s, values);
        const std::int64_t rows = count ? touched(s) : 0;
        tr.commit();
        return rows;
    }

    // Two statements in one transaction.
    void executeTogether(Statement& first, Values firstValues, Statement& second, Values secondValues)
    {
        Transaction tr(db_.handle(), readWrite);
        start(tr, first, firstValues);
        start(tr, second, secondValues);
        tr.commit();
    }

    // A statement run once in the program's life: sent with its execution, not prepared.
    void executeOnce(const std::string& sql)
    {
        ISC_STATUS_ARRAY status;
        Transaction tr(db_.handle(), readWrite);
        check(isc_dsql_execute_immediate(status, db_.handle(), &tr.handle, static_cast<unsigned short>(sql.size()),
                                         sql.data(), 3, nullptr),
              status);
        tr.commit();
    }

private:
    static constexpr ISC_STATUS endOfRows = 100;
    static constexpr char readOnly[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed, isc_tpb_rec_version,
                                        isc_tpb_wait};
    static constexpr char readWrite[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                                         isc_tpb_wait};

    static void check(ISC_STATUS result, const ISC_STATUS* status) { checkClient(result == 0, status); }

    // A transaction rolled back when it goes uncommitted.
    struct Transaction {
        template<std::size_t N>
        Transaction(isc_db_handle* db, const char (&tpb)[N])
        {
            ISC_STATUS_ARRAY status;
            check(isc_start_transaction(status, &handle, 1, db, static_cast<unsigned short>(N), tpb), status);
        }
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        ~Transaction()
        {
            ISC_STATUS_ARRAY status;
            if (handle)
                isc_rollback_transaction(status, &handle);
        }
        void commit()
        {
            ISC_STATUS_ARRAY status;
            check(isc_commit_transaction(status, &handle), status);
            handle = 0;
        }
        isc_tr_handle handle = 0;
    };

    // Prepares the statement the first time, binds the values and executes it.
    void start(Transaction& tr, Statement& s, Values values)
    {
        ISC_STATUS_ARRAY status;
        if (!s.prepared_)
            prepare(tr, s);
        XSQLDA* in = s.in();
        if (values.size() > std::size_t(maxColumns))
            throw std::runtime_error("more values than the descriptor holds");
        in->sqld = static_cast<short>(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            XSQLVAR& v = in->sqlvar[i];
            v.sqltype = SQL_TEXT | 1;
            v.sqlscale = 0;
            v.sqlsubtype = 0;
            v.sqllen = static_cast<short>(values[i] ? values[i]->size() : 0);
            v.sqldata = const_cast<char*>(values[i] ? values[i]->data() : "");
            s.nulls_[i] = values[i] ? 0 : -1;
            v.sqlind = &s.nulls_[i];
        }
        check(isc_dsql_execute(status, &tr.handle, s.handle_.handle(), SQLDA_VERSION1, values.empty() ? nullptr : in),
              status);
    }

    void prepare(Transaction& tr, Statement& s)
    {
        ISC_STATUS_ARRAY status;
        check(isc_dsql_prepare(status, &tr.handle, s.handle_.handle(), static_cast<unsigned short>(s.sql_.size()),
                               s.sql_.data(), 3, s.out()),
              status);
        XSQLDA* out = s.out();
        if (out->sqld > out->sqln)
            throw std::runtime_error("more columns than the descriptor holds");
        s.rowRoom_ = 0;
        for (short i = 0; i < out->sqld; ++i) {
            XSQLVAR& v = out->sqlvar[i];
            if (v.sqllen > maxWidth)
                throw std::runtime_error("a column wider than the buffer");
            v.sqldata = s.columns_[i];
            v.sqlind = &s.columnNulls_[i];
            s.rowRoom_ += 1 + std::size_t(v.sqllen);
        }
        s.prepared_ = true;
    }

    static void close(Statement& s)
    {
        ISC_STATUS_ARRAY status;
        check(isc_dsql_free_statement(status, s.handle_.handle(), DSQL_close), status);
    }

    // The rows the statement's execution inserted, updated or deleted.
    static std::int64_t touched(Statement& s)
    {
        ISC_STATUS_ARRAY status;
        const char items[] = {isc_info_sql_records};
        char buffer[64];
        check(isc_dsql_sql_info(status, s.handle_.handle(), sizeof items, items, sizeof buffer, buffer), status);
        // isc_info_sql_records, its length, then counters of a code, a length and a value
        // each, little-endian, up to isc_info_end.
        if (buffer[0] != isc_info_sql_records)
            throw std::runtime_error("the server gave no count of rows");
        std::int64_t rows = 0;
        for (const char* at = buffer + 3; at < buffer + sizeof buffer - 3 && *at != isc_info_end;) {
            const char code = at[0];
            const std::size_t length = std::size_t(static_cast<unsigned char>(at[1]))
                | std::size_t(static_cast<unsigned char>(at[2])) << 8;
            if (at + 3 + length > buffer + sizeof buffer)
                throw std::runtime_error("the server's count of rows is cut short");
            std::int64_t value = 0;
            for (std::size_t b = 0; b < length && b < 8; ++b)
                value |= std::int64_t(static_cast<unsigned char>(at[3 + b])) << (8 * b);
            if (code == isc_info_req_delete_count || code == isc_info_req_update_count
                || code == isc_info_req_insert_count)
                rows += value;
            at += 3 + length;
        }
        return rows;
    }

    RawFirebird db_;
};

} // namespace kordane::bench
