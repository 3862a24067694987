#pragma once
// bench_window's earlier yardstick, kept beside TightClient so that its figures can be
// set against those published before: a program on the Firebird client that prepares
// every statement again on every call, as Kordane does. One attachment, one statement
// handle and one descriptor each way, allocated once; a statement is prepared in the
// transaction that runs it; a query runs in a read-only transaction; fetched values are
// read in place into a minimal store (one block of bytes and an offset a value).
#include "drivers/fbkit/InfoBuffer.h"
#include "drivers/fbkit/Sqlda.h"
#include "tools/rawfb/RawFirebird.h"

#include <cstdint>
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

private:
    std::vector<char> bytes_;
    std::vector<std::uint32_t> ends_;
    std::vector<bool> nulls_;
};

class RepreparingClient {
public:
    static constexpr short maxColumns = 7;

    RepreparingClient(const std::string& database, const std::string& user, const std::string& password)
        : db_(database, user, password, "NONE")
        , stmt_(db_.handle())
    {
    }

    // A query's rows into `store`; gives the number of rows.
    std::size_t query(const std::string& sql, MinimalStore& store)
    {
        ISC_STATUS_ARRAY status;
        RawTransaction tr(db_.handle(), true);
        prepare(tr, sql);
        const short columns = out_.count();
        if (columns > maxColumns)
            throw std::runtime_error("more columns than the descriptor holds");
        char buffer[maxColumns][64 + 2];
        short nulls[maxColumns];
        for (short i = 0; i < columns; ++i) {
            XSQLVAR& v = out_[i];
            if (v.sqllen > 64)
                throw std::runtime_error("a column wider than the buffer");
            v.sqldata = buffer[i];
            v.sqlind = &nulls[i];
        }
        check(isc_dsql_execute(status, tr.handle(), stmt_.handle(), SQLDA_VERSION1, nullptr), status);
        std::size_t rows = 0;
        ISC_STATUS fetched;
        while ((fetched = isc_dsql_fetch(status, stmt_.handle(), SQLDA_VERSION1, out_.get())) == 0) {
            for (short i = 0; i < columns; ++i) {
                const std::string_view value = fbkit::fetchedText(out_[i]);
                store.add(value.data(), value.size(), nulls[i] < 0);
            }
            ++rows;
        }
        if (fetched != fbkit::endOfRows)
            check(fetched, status);
        check(isc_dsql_free_statement(status, stmt_.handle(), DSQL_close), status);
        tr.commit();
        return rows;
    }

    // A statement with its values bound in place (null for a null), in a transaction
    // of its own; gives the rows it touched when asked to `count` them.
    std::int64_t execute(const std::string& sql, const std::vector<std::optional<std::string_view>>& values,
                         bool count = true)
    {
        RawTransaction tr(db_.handle());
        const std::int64_t rows = run(tr, sql, values, count);
        tr.commit();
        return rows;
    }

    // Several statements in one transaction.
    void executeTogether(const std::vector<std::pair<std::string, std::vector<std::optional<std::string_view>>>>& work)
    {
        RawTransaction tr(db_.handle());
        for (const auto& [sql, values] : work)
            run(tr, sql, values, false);
        tr.commit();
    }

private:
    static void check(ISC_STATUS result, const ISC_STATUS* status)
    {
        checkClient(result == 0, status);
    }

    void prepare(RawTransaction& tr, const std::string& sql)
    {
        ISC_STATUS_ARRAY status;
        check(isc_dsql_prepare(status, tr.handle(), stmt_.handle(), static_cast<unsigned short>(sql.size()), sql.data(),
                               3, out_.get()),
              status);
    }

    std::int64_t run(RawTransaction& tr, const std::string& sql, const std::vector<std::optional<std::string_view>>& values,
                     bool count)
    {
        ISC_STATUS_ARRAY status;
        prepare(tr, sql);
        short nulls[maxColumns];
        // The values' types are known to this program: every one is text.
        in_.get()->sqld = static_cast<short>(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            XSQLVAR& v = in_[static_cast<int>(i)];
            v.sqltype = SQL_TEXT | 1;
            v.sqlscale = 0;
            v.sqlsubtype = 0;
            v.sqllen = static_cast<short>(values[i] ? values[i]->size() : 0);
            v.sqldata = const_cast<char*>(values[i] ? values[i]->data() : "");
            nulls[i] = values[i] ? 0 : -1;
            v.sqlind = &nulls[i];
        }
        check(isc_dsql_execute(status, tr.handle(), stmt_.handle(), SQLDA_VERSION1, values.empty() ? nullptr : in_.get()),
              status);
        if (!count)
            return 0;
        const char items[] = {isc_info_sql_records};
        char buffer[64];
        check(isc_dsql_sql_info(status, stmt_.handle(), sizeof items, items, sizeof buffer, buffer), status);
        std::int64_t rows = 0;
        fbkit::InfoBuffer(buffer, sizeof buffer).forEach([&](char code, const char* data, std::size_t length) {
            if (code != isc_info_sql_records)
                return;
            fbkit::InfoBuffer(data, length).forEach([&](char item, std::int64_t value) {
                if (item == isc_info_req_delete_count || item == isc_info_req_update_count
                    || item == isc_info_req_insert_count)
                    rows += value;
            });
        });
        return rows;
    }

    RawFirebird db_;
    RawStatement stmt_;
    fbkit::Sqlda out_ {maxColumns};
    fbkit::Sqlda in_ {maxColumns};
};

} // namespace kordane::bench
