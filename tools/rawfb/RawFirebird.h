#pragma once
// The Firebird client used directly, for tools, tests and benchmarks: create and drop
// databases, run statements, read rows back as the bytes the server holds.
// Every failure throws std::runtime_error with the server's text.
#include "drivers/fbkit/ConnectTimeout.h"
#include "drivers/fbkit/Handle.h"
#include "drivers/fbkit/ParameterBuffer.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace kordane {

class RawTransaction;

class RawFirebird {
public:
    using Value = std::optional<std::string>; // nullopt for a null
    using Row = std::vector<Value>;

    // Attaches to an existing database: a file path (engine in-process) or
    // "host[/port]:path". An empty charset leaves the connection's character set unset; a
    // server that has not answered within connectTimeout seconds is given up on (0: the
    // client's own limit).
    RawFirebird(const std::string& database, const std::string& user, const std::string& password,
                const std::string& charset = {}, int connectTimeout = fbkit::defaultConnectTimeout);

    // Creates a database and attaches to it.
    static RawFirebird create(const std::string& database, const std::string& user, const std::string& password,
                              const std::string& defaultCharset = "NONE");

    // Each statement runs in its own transaction, committed before the next begins.
    void execute(const std::vector<std::string>& statements);
    void execute(std::initializer_list<std::string> statements); // so that {"a", "b"} is two statements
    void execute(const std::string& statement);
    // Several statements in one transaction.
    void executeTogether(const std::vector<std::string>& statements);
    // One statement in a transaction the caller holds open.
    void executeIn(RawTransaction& transaction, const std::string& statement);
    // One statement prepared with `?` markers, each bound to a text (or a null).
    void executePrepared(const std::string& sql, const std::vector<Value>& params);
    // The same statement run once for each list of values, all in one transaction.
    void executeEach(const std::string& sql, const std::vector<std::vector<Value>>& rows);
    // Statements each prepared once and run for each of its lists of values, all in one
    // transaction.
    struct Batch {
        std::string sql;
        std::vector<std::vector<Value>> rows;
    };
    void executeBatches(const std::vector<Batch>& batches);
    // The same in a transaction that reserves `table` for protected reading: it starts once
    // every transaction that wrote the table has ended, and writers wait until it ends.
    // Given up after `lockTimeout` seconds of waiting.
    void executeReserving(const std::string& table, int lockTimeout, const std::vector<Batch>& batches);
    // All rows of a query; every value as its text bytes (blobs whole).
    std::vector<Row> query(const std::string& sql);
    // Drops the attached database; the object is detached afterwards.
    void drop();

    // For code that drives the client itself (the benchmarks' yardstick).
    isc_db_handle* handle() { return db_.out(); }

private:
    RawFirebird() = default;
    void runBatches(RawTransaction& transaction, const std::vector<Batch>& batches);

    fbkit::AttachmentHandle db_ {&fbkit::linkedClient()};
};

// The one check of a client call's outcome, for code that calls the client itself (the
// benchmarks' yardstick): throws the status vector's text when the call failed.
void checkClient(bool succeeded, const ISC_STATUS* status);

// An owned read committed transaction, waiting on locks unless told not to: rolled back
// when it goes uncommitted.
class RawTransaction {
public:
    explicit RawTransaction(isc_db_handle* db, bool readOnly = false, bool wait = true);
    RawTransaction(isc_db_handle* db, const fbkit::ParameterBuffer& parameters);
    void commit();
    isc_tr_handle* handle() { return tr_.out(); }

private:
    fbkit::TransactionHandle tr_ {&fbkit::linkedClient()};
};

// An owned statement handle.
class RawStatement {
public:
    explicit RawStatement(isc_db_handle* db);
    isc_stmt_handle* handle() { return stmt_.out(); }

private:
    fbkit::StatementHandle stmt_ {&fbkit::linkedClient()};
};

} // namespace kordane
