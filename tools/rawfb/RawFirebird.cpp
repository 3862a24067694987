#include "tools/rawfb/RawFirebird.h"

#include "tools/rawfb/ClientCall.h"
#include "tools/rawfb/RawPrepared.h"

#include "drivers/fbkit/ConnectTimeout.h"
#include "drivers/fbkit/ParameterBuffer.h"

#include <chrono>
#include <stdexcept>

namespace kordane {

using rawfb::call;
using rawfb::client;
using rawfb::statementLength;

namespace {

void addText(fbkit::ParameterBuffer& dpb, char item, const std::string& value)
{
    if (!dpb.addText(item, value))
        throw std::runtime_error("connection parameter longer than 255 bytes");
}

// The login and the process's name, and how long to wait for a server's answer.
fbkit::ParameterBuffer loginParameters(const std::string& user, const std::string& password, int connectTimeout)
{
    fbkit::ParameterBuffer dpb(isc_dpb_version1);
    addText(dpb, isc_dpb_user_name, user);
    addText(dpb, isc_dpb_password, password);
    fbkit::addProcessName(dpb);
    fbkit::addConnectTimeout(dpb, connectTimeout);
    return dpb;
}

// An attach or a create, a server that never answered told apart from one that refused.
template<class Open>
void openDatabase(const std::string& database, int connectTimeout, Open open)
{
    ISC_STATUS_ARRAY status;
    const auto started = std::chrono::steady_clock::now();
    const bool opened = open(status);
    if (!opened && fbkit::unanswered(status, std::chrono::steady_clock::now() - started, connectTimeout))
        throw std::runtime_error(fbkit::unansweredText(database, connectTimeout));
    checkClient(opened, status);
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
    fbkit::ParameterBuffer dpb = loginParameters(user, password, connectTimeout);
    if (!charset.empty())
        addText(dpb, isc_dpb_lc_ctype, charset);
    openDatabase(database, connectTimeout, [&](ISC_STATUS* status) {
        return client().succeeds(status, &fbkit::Client::attachDatabase, static_cast<short>(database.size()), database.c_str(),
                                 db_.out(), static_cast<short>(dpb.size()), dpb.data());
    });
}

RawFirebird RawFirebird::create(const std::string& database, const std::string& user, const std::string& password,
                                const std::string& defaultCharset)
{
    // Through the create call rather than CREATE DATABASE, so that a server that never
    // answers is given up on as an attach is.
    const int connectTimeout = fbkit::defaultConnectTimeout;
    fbkit::ParameterBuffer dpb = loginParameters(user, password, connectTimeout);
    dpb.addInteger(isc_dpb_page_size, 8192);
    dpb.addInteger(isc_dpb_sql_dialect, SQL_DIALECT_V6);
    if (!defaultCharset.empty())
        addText(dpb, isc_dpb_set_db_charset, defaultCharset);
    RawFirebird created;
    openDatabase(database, connectTimeout, [&](ISC_STATUS* status) {
        return client().succeeds(status, &fbkit::Client::createDatabase, static_cast<short>(database.size()), database.c_str(),
                                 created.db_.out(), static_cast<short>(dpb.size()), dpb.data(), 0);
    });
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
        RawPrepared statement(*this, tr, batch.sql);
        for (const std::vector<Value>& params : batch.rows)
            statement.execute(params);
    }
}

std::vector<RawFirebird::Row> RawFirebird::query(const std::string& sql)
{
    RawTransaction tr(handle());
    std::vector<Row> rows = RawPrepared(*this, tr, sql).rows({});
    tr.commit();
    return rows;
}

void RawFirebird::drop()
{
    call(&fbkit::Client::dropDatabase, db_.out());
    db_.forget();
}

} // namespace kordane
