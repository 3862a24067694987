#include "tools/rawfb/RawFirebird.h"

#include "drivers/fbkit/Blob.h"
#include "drivers/fbkit/ConnectTimeout.h"
#include "drivers/fbkit/ParameterBuffer.h"
#include "drivers/fbkit/Sqlda.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace kordane {

namespace {

const fbkit::Client& client()
{
    return fbkit::linkedClient();
}

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

void addText(fbkit::ParameterBuffer& dpb, char item, const std::string& value)
{
    if (!dpb.addText(item, value))
        throw std::runtime_error("connection parameter longer than 255 bytes");
}

} // namespace

void throwOnError(const ISC_STATUS* status)
{
    if (status[0] == 1 && status[1])
        throw std::runtime_error(client().statusText(status));
}

RawTransaction::RawTransaction(isc_db_handle* db, bool readOnly, bool wait)
{
    const auto tpb = fbkit::transactionParameters(readOnly, false, wait);
    ISC_STATUS_ARRAY status;
    client().startTransaction(status, tr_.out(), 1, db, tpb.size(), tpb.data());
    throwOnError(status);
}

void RawTransaction::commit()
{
    ISC_STATUS_ARRAY status;
    client().commitTransaction(status, tr_.out());
    throwOnError(status);
    tr_.forget();
}

RawStatement::RawStatement(isc_db_handle* db)
{
    ISC_STATUS_ARRAY status;
    client().allocateStatement(status, db, stmt_.out());
    throwOnError(status);
}

RawFirebird::RawFirebird(const std::string& database, const std::string& user, const std::string& password,
                         const std::string& charset, int connectTimeout)
{
    fbkit::ParameterBuffer dpb(isc_dpb_version1);
    addText(dpb, isc_dpb_user_name, user);
    addText(dpb, isc_dpb_password, password);
    if (!charset.empty())
        addText(dpb, isc_dpb_lc_ctype, charset);
    fbkit::addConnectTimeout(dpb, connectTimeout);
    ISC_STATUS_ARRAY status;
    const auto started = std::chrono::steady_clock::now();
    client().attachDatabase(status, static_cast<short>(database.size()), database.c_str(), db_.out(),
                            static_cast<short>(dpb.size()), dpb.data());
    if (fbkit::unanswered(status, std::chrono::steady_clock::now() - started, connectTimeout))
        throw std::runtime_error(fbkit::unansweredText(database, connectTimeout));
    throwOnError(status);
}

RawFirebird RawFirebird::create(const std::string& database, const std::string& user, const std::string& password,
                                const std::string& defaultCharset)
{
    std::string sql = "CREATE DATABASE " + quoted(database) + " USER " + quoted(user) + " PASSWORD " + quoted(password)
        + " PAGE_SIZE 8192";
    if (!defaultCharset.empty())
        sql += " DEFAULT CHARACTER SET " + defaultCharset;
    RawFirebird created;
    isc_tr_handle tr = 0;
    ISC_STATUS_ARRAY status;
    isc_dsql_execute_immediate(status, created.handle(), &tr, 0, sql.c_str(), SQL_DIALECT_V6, nullptr);
    throwOnError(status);
    return created;
}

void RawFirebird::execute(const std::vector<std::string>& statements)
{
    for (const std::string& sql : statements)
        execute(sql);
}

void RawFirebird::execute(std::initializer_list<std::string> statements)
{
    for (const std::string& sql : statements)
        execute(sql);
}

void RawFirebird::execute(const std::string& statement)
{
    executeTogether({statement});
}

void RawFirebird::executeTogether(const std::vector<std::string>& statements)
{
    RawTransaction tr(handle());
    ISC_STATUS_ARRAY status;
    for (const std::string& sql : statements) {
        isc_dsql_execute_immediate(status, handle(), tr.handle(), static_cast<unsigned short>(sql.size()), sql.data(),
                                   SQL_DIALECT_V6, nullptr);
        throwOnError(status);
    }
    tr.commit();
}

void RawFirebird::executePrepared(const std::string& sql, const std::vector<Value>& params)
{
    executeEach(sql, {params});
}

void RawFirebird::executeEach(const std::string& sql, const std::vector<std::vector<Value>>& rows)
{
    RawTransaction tr(handle());
    RawStatement stmt(handle());
    ISC_STATUS_ARRAY status;
    client().prepare(status, tr.handle(), stmt.handle(), static_cast<unsigned short>(sql.size()), sql.data(),
                     SQL_DIALECT_V6, nullptr);
    throwOnError(status);
    fbkit::Sqlda in(1);
    client().describeBind(status, stmt.handle(), SQLDA_VERSION1, in.get());
    throwOnError(status);
    if (!fbkit::describeWhole(client(), status, stmt.handle(), in, true))
        throwOnError(status);
    const short markers = in.count();
    std::vector<short> nulls(static_cast<std::size_t>(markers));
    for (const std::vector<Value>& params : rows) {
        if (params.size() != static_cast<std::size_t>(markers))
            throw std::runtime_error("statement has " + std::to_string(markers) + " markers, not " + std::to_string(params.size()));
        // Every value goes as text; the server converts it to the column's type.
        for (short i = 0; i < markers; ++i) {
            XSQLVAR& var = in[i];
            const Value& value = params[static_cast<std::size_t>(i)];
            nulls[static_cast<std::size_t>(i)] = value ? 0 : -1;
            var.sqltype = SQL_TEXT | 1;
            var.sqlsubtype = 0;
            var.sqlscale = 0;
            var.sqllen = value ? static_cast<short>(value->size()) : 0;
            var.sqldata = value ? const_cast<char*>(value->data()) : nullptr;
            var.sqlind = &nulls[static_cast<std::size_t>(i)];
        }
        client().execute(status, tr.handle(), stmt.handle(), SQLDA_VERSION1, in.get());
        throwOnError(status);
    }
    tr.commit();
}

std::vector<RawFirebird::Row> RawFirebird::query(const std::string& sql)
{
    RawTransaction tr(handle());
    RawStatement stmt(handle());
    ISC_STATUS_ARRAY status;
    fbkit::Sqlda out(1);
    client().prepare(status, tr.handle(), stmt.handle(), static_cast<unsigned short>(sql.size()), sql.data(),
                     SQL_DIALECT_V6, out.get());
    throwOnError(status);
    if (!fbkit::describeWhole(client(), status, stmt.handle(), out, false))
        throwOnError(status);
    const short columns = out.count();
    // Text stays as it is; the server turns every other value but a blob into text.
    std::vector<std::string> buffers(static_cast<std::size_t>(columns));
    std::vector<short> nulls(static_cast<std::size_t>(columns));
    for (short i = 0; i < columns; ++i) {
        XSQLVAR& var = out[i];
        const short type = static_cast<short>(var.sqltype & ~1);
        if (type != SQL_TEXT && type != SQL_VARYING && type != SQL_BLOB) {
            var.sqltype = SQL_VARYING;
            var.sqllen = 64;
            var.sqlscale = 0;
            var.sqlsubtype = 0;
        }
        var.sqltype = static_cast<short>(var.sqltype | 1);
        buffers[static_cast<std::size_t>(i)].resize(static_cast<std::size_t>(var.sqllen) + 2);
        var.sqldata = buffers[static_cast<std::size_t>(i)].data();
        var.sqlind = &nulls[static_cast<std::size_t>(i)];
    }
    client().execute(status, tr.handle(), stmt.handle(), SQLDA_VERSION1, nullptr);
    throwOnError(status);
    std::vector<Row> rows;
    for (;;) {
        const ISC_STATUS result = client().fetch(status, stmt.handle(), SQLDA_VERSION1, out.get());
        if (result == 100)
            break;
        throwOnError(status);
        Row row;
        row.reserve(static_cast<std::size_t>(columns));
        for (short i = 0; i < columns; ++i) {
            const XSQLVAR& var = out[i];
            if (*var.sqlind < 0) {
                row.emplace_back(std::nullopt);
            } else if ((var.sqltype & ~1) != SQL_BLOB) {
                row.emplace_back(std::string(fbkit::fetchedText(var)));
            } else {
                ISC_QUAD id;
                std::memcpy(&id, var.sqldata, sizeof id);
                std::string bytes;
                if (!fbkit::readBlob(client(), status, handle(), tr.handle(), id, SIZE_MAX, bytes))
                    throwOnError(status);
                row.emplace_back(std::move(bytes));
            }
        }
        rows.push_back(std::move(row));
    }
    client().freeStatement(status, stmt.handle(), DSQL_close);
    tr.commit();
    return rows;
}

void RawFirebird::drop()
{
    ISC_STATUS_ARRAY status;
    isc_drop_database(status, db_.out());
    throwOnError(status);
    db_.forget();
}

} // namespace kordane
