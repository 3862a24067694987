#pragma once
// The driver module as the program meets it: loaded from the build's bin directory by
// name, its entry point found by name. Shared by the driver tests.
#include "drivers/api/dbx.h"

#include <QCoreApplication>
#include <QTest>

#include <dlfcn.h>
#include <memory>
#include <string>
#include <vector>

namespace drivertest {

inline dbx::GetDriverFunc entryPoint()
{
    static void* module = nullptr;
    if (!module) {
        const QByteArray path = (QCoreApplication::applicationDirPath() + QStringLiteral("/libdbxfb.so")).toLocal8Bit();
        module = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    }
    return module ? reinterpret_cast<dbx::GetDriverFunc>(dlsym(module, "getSQLDriverINTERBASE")) : nullptr;
}

inline std::unique_ptr<dbx::ISQLDriver> loadDriver(const char* vendorLib = "libfbclient.so.2")
{
    dbx::ISQLDriver* driver = nullptr;
    const dbx::GetDriverFunc entry = entryPoint();
    if (entry && entry(vendorLib, "", &driver) != dbx::DBXERR_NONE)
        driver = nullptr;
    return std::unique_ptr<dbx::ISQLDriver>(driver);
}

// The last error's text of a connection or a command.
template<class Source>
std::string errorOf(Source& source)
{
    std::string text;
    if (source.getErrorMessage(text) != dbx::DBXERR_NONE)
        return "(no error text)";
    return text;
}

// The server's codes of the last error of a connection or a command.
template<class Source>
dbx::ServerError serverErrorOf(Source& source)
{
    dbx::ServerError error;
    if (source.getServerError(error) != dbx::DBXERR_NONE)
        error.kind = dbx::ErrorKind::Other;
    return error;
}

struct Options {
    bool waitOnLocks = true;
    std::string hostName;
    std::string serverPort;
    dbx::ServerError* failure = nullptr; // given the server's codes when the connect fails
};

// A connection, or null with the driver's text in `error`.
inline std::unique_ptr<dbx::ISQLConnection> connectTo(dbx::ISQLDriver& driver, const std::string& database,
                                                      const std::string& password, std::string& error,
                                                      const Options& options = {})
{
    std::unique_ptr<dbx::ISQLConnection> connection;
    if (driver.getConnection(connection) != dbx::DBXERR_NONE)
        return nullptr;
    const bool set = connection->setOption(dbx::ConnectionOption::SqlDialect, 3) == dbx::DBXERR_NONE
        && connection->setOption(dbx::ConnectionOption::WaitOnLocks, options.waitOnLocks) == dbx::DBXERR_NONE
        && connection->setOption(dbx::ConnectionOption::HostName, options.hostName) == dbx::DBXERR_NONE
        && connection->setOption(dbx::ConnectionOption::ServerPort, options.serverPort) == dbx::DBXERR_NONE;
    if (!set || connection->connect(database, "SYSDBA", password) != dbx::DBXERR_NONE) {
        error = errorOf(*connection);
        if (options.failure)
            *options.failure = serverErrorOf(*connection);
        return nullptr;
    }
    return connection;
}

// Prepares and runs `sql` with text parameters; gives the status and, on failure, the text.
struct Outcome {
    dbx::Status status = dbx::DBXERR_NONE;
    std::string error;
    dbx::ServerError server;
    std::int64_t rows = 0;
    std::unique_ptr<dbx::ISQLCommand> command; // outlives its cursor
    std::unique_ptr<dbx::ISQLCursor> cursor;
};

inline Outcome run(dbx::ISQLConnection& connection, const std::string& sql,
                   const std::vector<std::string>& parameters = {})
{
    Outcome outcome;
    auto& command = outcome.command;
    if ((outcome.status = connection.createCommand(command)) != dbx::DBXERR_NONE) {
        outcome.error = errorOf(connection);
        return outcome;
    }
    outcome.status = command->prepare(sql, static_cast<int>(parameters.size()));
    for (std::size_t i = 0; outcome.status == dbx::DBXERR_NONE && i < parameters.size(); ++i)
        outcome.status = command->setTextParameter(static_cast<int>(i + 1), parameters[i].data(), parameters[i].size());
    if (outcome.status == dbx::DBXERR_NONE)
        outcome.status = command->execute(outcome.cursor);
    if (outcome.status == dbx::DBXERR_NONE)
        outcome.status = command->getRowsAffected(outcome.rows);
    if (outcome.status != dbx::DBXERR_NONE) {
        outcome.error = errorOf(*command);
        outcome.server = serverErrorOf(*command);
    }
    return outcome;
}

// Every row of a query as texts, null given as "<null>". Each row is read both ways, a
// value at a time and whole, and the two must agree.
inline std::vector<std::vector<std::string>> rows(dbx::ISQLConnection& connection, const std::string& sql)
{
    std::vector<std::vector<std::string>> result;
    Outcome outcome = run(connection, sql);
    if (outcome.status != dbx::DBXERR_NONE || !outcome.cursor) {
        QTest::qFail(("query failed: " + outcome.error).c_str(), __FILE__, __LINE__);
        return result;
    }
    int columns = 0;
    if (outcome.cursor->getColumnCount(columns) != dbx::DBXERR_NONE)
        QTest::qFail("no column count", __FILE__, __LINE__);
    const auto width = static_cast<std::size_t>(columns);
    std::vector<const char*> wholeData(width);
    std::vector<std::size_t> wholeLengths(width);
    const auto wholeNulls = std::make_unique<bool[]>(width);
    while (outcome.cursor->next() == dbx::DBXERR_NONE) {
        if (outcome.cursor->getRow(wholeData.data(), wholeLengths.data(), wholeNulls.get()) != dbx::DBXERR_NONE) {
            QTest::qFail("a row not read", __FILE__, __LINE__);
            return result;
        }
        std::vector<std::string>& row = result.emplace_back();
        for (int c = 1; c <= columns; ++c) {
            bool null = false;
            const char* data = nullptr;
            std::size_t length = 0;
            if (outcome.cursor->isNull(c, null) != dbx::DBXERR_NONE
                || outcome.cursor->getText(c, data, length) != dbx::DBXERR_NONE) {
                QTest::qFail("a value not read", __FILE__, __LINE__);
                return result;
            }
            row.push_back(null ? std::string("<null>") : std::string(data, length));
            const auto i = static_cast<std::size_t>(c - 1);
            const std::string whole = wholeNulls[i] ? std::string("<null>") : std::string(wholeData[i], wholeLengths[i]);
            if (whole != row.back()) {
                QTest::qFail(("the whole row reads " + whole + " for " + row.back()).c_str(), __FILE__, __LINE__);
                return result;
            }
        }
    }
    return result;
}

// The first row of a query; empty when there is none, so that a comparison fails cleanly.
inline std::vector<std::string> firstRow(dbx::ISQLConnection& connection, const std::string& sql)
{
    auto all = rows(connection, sql);
    return all.empty() ? std::vector<std::string> {} : all.front();
}

inline const char* posDayTable()
{
    return "CREATE TABLE POS_DAY (EMPLOYEE_ID VARCHAR(20) CHARACTER SET NONE,"
           " INI_DATE VARCHAR(10) CHARACTER SET NONE, TIME_IN VARCHAR(8) CHARACTER SET NONE,"
           " TIME_OUT VARCHAR(8) CHARACTER SET NONE, BILL_WEEK VARCHAR(2) CHARACTER SET NONE,"
           " EMPLOYEE_NAME VARCHAR(40) CHARACTER SET NONE, CARD_ID VARCHAR(20) CHARACTER SET NONE)";
}

} // namespace drivertest
