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

template<typename Function, typename... Args>
void call(Function fbkit::Client::*function, Args&&... args)
{
    ISC_STATUS_ARRAY status;
    checkClient(client().succeeds(status, function, std::forward<Args>(args)...), status);
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

// The client takes a statement's length in 16 bits.
constexpr std::size_t maxStatementLength = 65535;

unsigned short statementLength(const std::string& sql)
{
    if (sql.size() > maxStatementLength)
        throw std::runtime_error("the statement is longer than 65535 bytes");
    return static_cast<unsigned short>(sql.size());
}

void addText(fbkit::ParameterBuffer& dpb, char item, const std::string& value)
{
    if (!dpb.addText(item, value))
        throw std::runtime_error("connection parameter longer than 255 bytes");
}

} // namespace

void checkClient(bool succeeded, const ISC_STATUS* status)
{
    if (!succeeded)
        throw std::runtime_error(client().statusText(status));
}

RawTransaction::RawTransaction(isc_db_handle* db, bool readOnly, bool wait)
{
    const auto tpb = fbkit::transactionParameters(readOnly, false, wait);
    call(&fbkit::Client::startTransaction, tr_.out(), 1, db, tpb.size(), tpb.data());
}

RawTransaction::RawTransaction(isc_db_handle* db, const fbkit::ParameterBuffer& parameters)
{
    call(&fbkit::Client::startTransaction, tr_.out(), 1, db, parameters.size(), parameters.data());
}

void RawTransaction::commit()
{
    call(&fbkit::Client::commitTransaction, tr_.out());
    tr_.forget();
}

RawStatement::RawStatement(isc_db_handle* db)
{
    call(&fbkit::Client::allocateStatement, db, stmt_.out());
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
    const bool attached = client().succeeds(status, &fbkit::Client::attachDatabase, static_cast<short>(database.size()),
                                            database.c_str(), db_.out(), static_cast<short>(dpb.size()), dpb.data());
    if (!attached && fbkit::unanswered(status, std::chrono::steady_clock::now() - started, connectTimeout))
        throw std::runtime_error(fbkit::unansweredText(database, connectTimeout));
    checkClient(attached, status);
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
    call(&fbkit::Client::executeImmediate, created.handle(), &tr, statementLength(sql), sql.data(),
         SQL_DIALECT_V6, nullptr);
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
    for (const std::string& sql : statements)
        executeIn(tr, sql);
    tr.commit();
}

void RawFirebird::executeIn(RawTransaction& transaction, const std::string& statement)
{
    call(&fbkit::Client::executeImmediate, handle(), transaction.handle(), statementLength(statement), statement.data(),
         SQL_DIALECT_V6, nullptr);
}

void RawFirebird::executePrepared(const std::string& sql, const std::vector<Value>& params)
{
    executeEach(sql, {params});
}

void RawFirebird::executeEach(const std::string& sql, const std::vector<std::vector<Value>>& rows)
{
    executeBatches({{sql, rows}});
}

void RawFirebird::executeBatches(const std::vector<Batch>& batches)
{
    RawTransaction tr(handle());
    runBatches(tr, batches);
    tr.commit();
}

void RawFirebird::executeReserving(const std::string& table, int lockTimeout, const std::vector<Batch>& batches)
{
    fbkit::ParameterBuffer tpb = fbkit::transactionParameters(false, false, true);
    tpb.addInteger(isc_tpb_lock_timeout, static_cast<std::uint32_t>(lockTimeout));
    if (!tpb.addText(isc_tpb_lock_read, table))
        throw std::runtime_error("a table name of " + std::to_string(table.size()) + " bytes");
    tpb.add(isc_tpb_protected);
    RawTransaction tr(handle(), tpb);
    runBatches(tr, batches);
    tr.commit();
}

void RawFirebird::runBatches(RawTransaction& tr, const std::vector<Batch>& batches)
{
    for (const Batch& batch : batches) {
        if (batch.rows.empty())
            continue; // nothing to prepare it for: its table may not even be there
        const std::string& sql = batch.sql;
        RawStatement stmt(handle());
        call(&fbkit::Client::prepare, tr.handle(), stmt.handle(), statementLength(sql), sql.data(), SQL_DIALECT_V6, nullptr);
        fbkit::Sqlda in(1);
        call(&fbkit::Client::describeBind, stmt.handle(), SQLDA_VERSION1, in.get());
        ISC_STATUS_ARRAY status;
        checkClient(fbkit::describeWhole(client(), status, stmt.handle(), in, true), status);
        const short markers = in.count();
        std::vector<short> nulls(static_cast<std::size_t>(markers));
        for (const std::vector<Value>& params : batch.rows) {
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
            call(&fbkit::Client::execute, tr.handle(), stmt.handle(), SQLDA_VERSION1, in.get());
        }
    }
}

std::vector<RawFirebird::Row> RawFirebird::query(const std::string& sql)
{
    RawTransaction tr(handle());
    RawStatement stmt(handle());
    fbkit::Sqlda out(1);
    call(&fbkit::Client::prepare, tr.handle(), stmt.handle(), statementLength(sql), sql.data(), SQL_DIALECT_V6, out.get());
    ISC_STATUS_ARRAY status;
    checkClient(fbkit::describeWhole(client(), status, stmt.handle(), out, false), status);
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
    call(&fbkit::Client::execute, tr.handle(), stmt.handle(), SQLDA_VERSION1, nullptr);
    std::vector<Row> rows;
    for (;;) {
        const ISC_STATUS result = client().fetch(status, stmt.handle(), SQLDA_VERSION1, out.get());
        if (result == fbkit::endOfRows)
            break;
        checkClient(result == 0, status);
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
                checkClient(fbkit::readBlob(client(), status, handle(), tr.handle(), id, SIZE_MAX, bytes), status);
                row.emplace_back(std::move(bytes));
            }
        }
        rows.push_back(std::move(row));
    }
    call(&fbkit::Client::freeStatement, stmt.handle(), DSQL_close);
    tr.commit();
    return rows;
}

void RawFirebird::drop()
{
    call(&fbkit::Client::dropDatabase, db_.out());
    db_.forget();
}

} // namespace kordane
