#pragma once
// A temporary database with the two tables the program uses, the configuration files
// that point a connection at it, and a raw attachment to look at what it really holds.
//
//   kordane::test::TestDatabase db;            // embedded engine, in a temporary directory
//   auto connection = db.connection();          // SQLConnection1 reading db's two files
//   db.raw().execute("INSERT INTO EMPLOYEE ...");
//
// Tables (all text, CHARACTER SET NONE, so they hold the client's bytes):
//   POS_DAY(EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT, BILL_WEEK, EMPLOYEE_NAME, CARD_ID)
//   EMPLOYEE(EMPLOYEE_ID, EMPLOYEE_NAME, CARD_ID)
#include "data/sql/SqlConnection.h"
#include "tools/rawfb/RawFirebird.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace kordane::test {

class TestDatabase {
public:
    enum class Where { Embedded,
                       Server };

    // Server: on the private test server (KORDANE_TEST_SERVER, KORDANE_TEST_PASSWORD,
    // files under KORDANE_TEST_SERVER_DIR). Throws std::runtime_error when it cannot be made.
    explicit TestDatabase(Where where = Where::Embedded);
    // On a server of the test's own: `server` as "host/port", files under `serverDir`/data.
    TestDatabase(const QString& server, const QString& password, const QString& serverDir);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    QString dir() const { return dir_.path(); }
    // As the Database parameter gives it: a file path, or "host/port:path" on the server.
    const QString& database() const { return database_; }
    const QString& password() const { return password_; }
    QString connectionsFile() const { return dir() + QStringLiteral("/dbxconnections.ini"); }
    QString driversFile() const { return dir() + QStringLiteral("/dbxdrivers.ini"); }

    // The stored parameter lines with this database and password, in the program's section.
    QString connectionsText() const { return connectionsTextFor(database_, password_); }
    // The same for any database and password.
    static QString connectionsTextFor(const QString& database, const QString& password);
    // A database name not yet used on the run's private server, and SYSDBA's password there.
    static QString newSharedServerDatabase();
    static QString sharedServerPassword();
    // [Interbase] with libdbxfb.so, libfbclient.so.2 and getSQLDriverINTERBASE.
    static QString driversText();
    void writeConnectionsFile(const QString& text) const;
    void writeDriversFile(const QString& text) const;

    // A connection named SQLConnection1 that reads this database's two files.
    std::unique_ptr<SqlConnection> connection() const;

    // An attachment of the test's own, character set NONE: values come back as bytes.
    // Made again when it was released.
    RawFirebird& raw();
    // Lets go of that attachment: an embedded engine holds the file for its own process
    // alone, so another process can open the database only once this one has let go.
    void release() { raw_.reset(); }
    // A fresh attachment in place of one the server dropped (after a restart).
    void reattach();
    // The single value of a one-row, one-column query (nullopt for null).
    RawFirebird::Value scalar(const std::string& sql);

private:
    void createSchema();

    QTemporaryDir dir_;
    QString database_;
    QString password_;
    std::unique_ptr<RawFirebird> raw_;
};

// Writes `text` to `path` as UTF-8; false when it cannot.
bool writeTextFile(const QString& path, const QString& text);

} // namespace kordane::test
