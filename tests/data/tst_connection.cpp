// The connect sequence against the embedded engine: every failure it can show, the
// parameters reloaded only when they should be, and a connection that stays open.
#include "data/sql/BusyIndicator.h"
#include "data/sql/DriverErrors.h"
#include "data/sql/SqlConnection.h"
#include "data/sql/SqlStatement.h"
#include "data/sql/TextCodec.h"
#include "tests/support/TestDatabase.h"

#include <QFile>
#include <QTest>

using namespace kordane;
using kordane::test::TestDatabase;

namespace {

// The message of the failed open, or empty when it opened.
QString openError(SqlConnection& connection)
{
    try {
        connection.open();
    } catch (const EDatabaseError& e) {
        return e.message();
    }
    return {};
}

QString replaced(QString text, const QString& from, const QString& to) { return text.replace(from, to); }

// Stands in for a driver object when checking how its error texts become messages.
struct FakeSource {
    dbx::Status answer = 0;
    std::string text;
    dbx::ServerError server;
    dbx::Status getErrorMessage(std::string& out)
    {
        out = text;
        return answer;
    }
    dbx::Status getServerError(dbx::ServerError& out)
    {
        out = server;
        return answer;
    }
};

} // namespace

class TestConnection : public QObject {
    Q_OBJECT

private slots:
    void init();
    void failures_data();
    void failures();
    void connectionNameEmpty();
    void opensOnceAndStaysOpen();
    void reloadAfterFailedConnect();
    void reloadAfterDisconnect();
    void statementsAfterReconnect();
    void isolation_data();
    void isolation();
    void driverErrorMessages();
    void characterSets();
};

namespace {

// Each begin (true) and end (false) of a wait the connection showed.
QList<bool> shown;

} // namespace

void TestConnection::init()
{
    shown.clear();
    busy::setIndicator([](bool waiting) { shown << waiting; });
}

void TestConnection::failures_data()
{
    QTest::addColumn<QString>("from"); // in the default files; empty: remove that file
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("inDrivers");
    QTest::addColumn<QString>("message"); // %1: the temporary directory

    QTest::newRow("connections file missing") << ""
                                              << "" << false
                                              << "Driver/Connection Registry File '%1/dbxconnections.ini' not found";
    QTest::newRow("no section") << u'[' + connectionSection + u']'
                                << "[Other]" << false << "Missing DriverName property";
    QTest::newRow("no DriverName") << "DriverName=Interbase"
                                   << "" << false << "Missing DriverName property";
    QTest::newRow("no drivers section") << "[Interbase]"
                                        << "[Other]" << true
                                        << "SQLConnection1: DLL/Shared Library Name not Set";
    QTest::newRow("drivers file missing") << ""
                                          << "" << true << "SQLConnection1: DLL/Shared Library Name not Set";
    QTest::newRow("VendorLib empty") << "VendorLib=libfbclient.so.2"
                                     << "VendorLib=  " << true
                                     << "SQLConnection1: DLL/Shared Library Name not Set";
    QTest::newRow("Database empty") << "Database=%1/POSDATA.FDB"
                                    << "Database=" << false << "Missing Database property";
    QTest::newRow("library not loadable") << "LibraryName=libdbxfb.so"
                                          << "LibraryName=libnope.so" << true
                                          << "Unable to Load libnope.so";
    QTest::newRow("entry point missing") << "GetDriverFunc=getSQLDriverINTERBASE"
                                         << "GetDriverFunc= x " << true
                                         << "Unable to Find Procedure x";
    QTest::newRow("vendor library missing") << "VendorLib=libfbclient.so.2"
                                            << "VendorLib=libnovendor.so" << true
                                            << "Unable to Load libnovendor.so";
    QTest::newRow("SQLDialect not an integer") << "SQLDialect=3"
                                               << "SQLDialect=three" << false
                                               << "'three' is not a valid integer value";
    QTest::newRow("BlobSize not an integer") << "BlobSize=-1"
                                             << "BlobSize=1.5" << false
                                             << "'1.5' is not a valid integer value";
    QTest::newRow("database file missing") << "POSDATA.FDB"
                                           << "NOPE.FDB" << false << "";
}

void TestConnection::failures()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, inDrivers);
    QFETCH(QString, message);
    TestDatabase db;
    const QString file = inDrivers ? db.driversFile() : db.connectionsFile();
    const QString text = inDrivers ? TestDatabase::driversText() : db.connectionsText();
    if (from.isEmpty())
        QVERIFY(QFile::remove(file));
    else
        QVERIFY(test::writeTextFile(file, replaced(text, replaced(from, QStringLiteral("%1"), db.dir()), to)));

    auto connection = db.connection();
    const QString error = openError(*connection);
    if (message.isEmpty())
        QVERIFY2(!error.isEmpty(), "the driver's own text"); // its wording is the driver's
    else
        QCOMPARE(error, replaced(message, QStringLiteral("%1"), db.dir()));
    QCOMPARE(connection->state(), SqlConnection::State::Closed);
    QCOMPARE(shown.count(true), shown.count(false)); // a wait shown has ended again
}

void TestConnection::connectionNameEmpty()
{
    TestDatabase db;
    auto connection = db.connection();
    connection->connectionName.clear();
    QCOMPARE(openError(*connection), QStringLiteral("Connection name missing"));
}

void TestConnection::opensOnceAndStaysOpen()
{
    TestDatabase db;
    auto connection = db.connection();
    SqlQuery query(QStringLiteral("SQLQuery1"), *connection);
    query.setSql({QStringLiteral("SELECT COUNT(*) FROM EMPLOYEE")});
    query.open();
    QCOMPARE(connection->state(), SqlConnection::State::Open);
    QCOMPARE(shown, (QList<bool> {true, false})); // shown while it connected
    query.close();
    QCOMPARE(connection->state(), SqlConnection::State::Open); // closing a result keeps it
    QCOMPARE(connection->quoteChar(), QStringLiteral("\""));
    QVERIFY(connection->transactionsSupported());

    // Never read again while open: a missing file does not matter now.
    QVERIFY(QFile::remove(db.connectionsFile()));
    query.open();
    QCOMPARE(query.asString(0), QStringLiteral("0"));
    QVERIFY(connection->paramsLoaded());
}

void TestConnection::reloadAfterFailedConnect()
{
    TestDatabase db;
    auto connection = db.connection();
    // Fails before the parameters are loaded: the next connect loads them.
    QVERIFY(QFile::remove(db.connectionsFile()));
    QVERIFY(!openError(*connection).isEmpty());
    QVERIFY(!connection->paramsLoaded());
    db.writeConnectionsFile(db.connectionsText());

    // Fails after loading them: they are kept, a changed file is not read again.
    db.writeDriversFile(replaced(TestDatabase::driversText(), QStringLiteral("libdbxfb.so"), QStringLiteral("libnope.so")));
    QCOMPARE(openError(*connection), QStringLiteral("Unable to Load libnope.so"));
    QVERIFY(connection->paramsLoaded());
    db.writeConnectionsFile(replaced(db.connectionsText(), QStringLiteral("POSDATA.FDB"), QStringLiteral("ELSEWHERE.FDB")));
    db.writeDriversFile(TestDatabase::driversText()); // the drivers file is read at every connect
    QCOMPARE(openError(*connection), QString());
    QCOMPARE(*connection->paramValue(QStringLiteral("database")), db.database());
}

void TestConnection::reloadAfterDisconnect()
{
    TestDatabase db;
    auto connection = db.connection();
    connection->open();
    connection->close();
    QCOMPARE(connection->state(), SqlConnection::State::Closed);
    QVERIFY(!connection->paramsLoaded());
    db.writeConnectionsFile(replaced(db.connectionsText(), QStringLiteral("POSDATA.FDB"), QStringLiteral("ELSEWHERE.FDB")));
    QVERIFY(!openError(*connection).isEmpty()); // the driver's text: no such database
    QVERIFY(connection->paramValue(QStringLiteral("Database"))->endsWith(u"ELSEWHERE.FDB"));
    // The program goes on; the next demand tries again.
    db.writeConnectionsFile(db.connectionsText());
    QVERIFY(!openError(*connection).isEmpty()); // loaded mark kept: still the old parameters
    connection->close(); // closed already: does nothing
    QVERIFY(connection->paramsLoaded());
}

// Statements run as before once the connection has closed and opened again: no command
// kept from the closed session serves the new one.
void TestConnection::statementsAfterReconnect()
{
    TestDatabase db;
    auto connection = db.connection();
    SqlQuery query(QStringLiteral("SQLQuery1"), *connection);
    for (int round = 0; round < 2; ++round) {
        for (const char* table : {"POS_DAY", "EMPLOYEE", "POS_DAY"}) {
            query.setSql({QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1StringView(table))});
            query.open();
            QCOMPARE(query.asString(0), QStringLiteral("0"));
        }
        query.clearSql(); // its command is kept for the next statement
        connection->close();
    }
}

void TestConnection::isolation_data()
{
    QTest::addColumn<QString>("line"); // replaces the stored TransIsolation line
    QTest::addColumn<bool>("fromFile");
    QTest::addColumn<int>("expected");
    const int rc = int(dbx::Isolation::ReadCommitted);
    QTest::newRow("stored value") << "Interbase TransIsolation=ReadCommited" << true << rc;
    QTest::newRow("repeatable read, any case") << "Interbase TransIsolation=RePeAtAbLeReAd" << true
                                               << int(dbx::Isolation::RepeatableRead);
    QTest::newRow("dirty read") << "INTERBASE TRANSISOLATION=dirtyread" << true << int(dbx::Isolation::DirtyRead);
    QTest::newRow("absent") << "" << true << rc;
    QTest::newRow("leading blank") << "Interbase TransIsolation= repeatableread" << false << rc;
}

void TestConnection::isolation()
{
    QFETCH(QString, line);
    QFETCH(bool, fromFile);
    QFETCH(int, expected);
    TestDatabase db;
    const QString text = replaced(db.connectionsText(), QStringLiteral("Interbase TransIsolation=ReadCommited"), line);
    db.writeConnectionsFile(text);
    auto connection = db.connection();
    if (!fromFile) {
        // As stored with the window: values are taken as they are, untrimmed.
        connection->loadParamsOnConnect = false;
        connection->params = text.split(u'\n', Qt::SkipEmptyParts).mid(1);
    }
    connection->open();
    QCOMPARE(int(connection->isolation()), expected);
}

void TestConnection::driverErrorMessages()
{
    SqlConnection connection;
    const auto message = [&](dbx::Status status, FakeSource source) {
        try {
            connection.check(&source, status);
        } catch (const EDriverError& e) {
            return e.message();
        }
        return QStringLiteral("no error");
    };
    QCOMPARE(message(1, {}), QStringLiteral("dbExpress Error: Insufficient Memory for Operation"));
    QCOMPARE(message(11, {}), QStringLiteral("dbExpress Error: Invalid Username/Password"));
    QCOMPARE(message(19, {}), QStringLiteral("dbExpress Error: Multiple Transactions not Enabled"));
    QCOMPARE(message(21, {0, "ignored", {}}), QStringLiteral("DBX Error: No Mapping for Error Code Found"));
    QCOMPARE(message(254, {}), QStringLiteral("DBX Error: No Mapping for Error Code Found"));
    QCOMPARE(message(255, {0, "Table unknown\nPOS_DAYS", {}}), QStringLiteral("Table unknown\nPOS_DAYS"));
    QCOMPARE(message(256, {7, "unreadable", {}}), QStringLiteral("Table unknown\nPOS_DAYS")); // remembered
    QCOMPARE(message(256, {0, "", {}}), QStringLiteral("SQL Error: Error mapping failed"));
    QCOMPARE(message(256, {0, "\xA4\xE9", {}}), QStringLiteral("日")); // the connection's character set
    QCOMPARE(connection.lastError(), QStringLiteral("日"));

    // The server's codes travel with the text, for callers to decide by.
    dbx::ServerError conflict;
    conflict.kind = dbx::ErrorKind::UpdateConflict;
    conflict.codes = {335544336, 335544451};
    conflict.sqlState = "40001";
    FakeSource source {0, "deadlock", conflict};
    try {
        connection.check(&source, 256);
        QFAIL("no error");
    } catch (const EDriverError& e) {
        QCOMPARE(e.kind(), dbx::ErrorKind::UpdateConflict);
        QCOMPARE(e.server().codes, conflict.codes);
        QCOMPARE(e.server().sqlState, conflict.sqlState);
    }
}

void TestConnection::characterSets()
{
    QCOMPARE(TextCodec(QString()).encode(u"日一 A"), QByteArray("\xA4\xE9\xA4\x40 A"));
    QCOMPARE(TextCodec(QStringLiteral("UTF8")).encode(u"日"), QByteArray("\xE6\x97\xA5"));
    QCOMPARE(TextCodec(QStringLiteral("BIG_5")).encode(u"六"), QByteArray("\xA4\xBB"));
    QCOMPARE(TextCodec(QStringLiteral("win1252")).encode(u"é"), QByteArray("\xE9"));
    QCOMPARE(TextCodec(QStringLiteral("ISO8859_1")).decode("\xE9", 1), QStringLiteral("é"));
    QCOMPARE(TextCodec(QString()).decode("\xA5\x7C", 2), QStringLiteral("四"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, TextCodec(QStringLiteral("NO_SUCH_SET")));
    try {
        TextCodec(QString()).encode(QStringLiteral("日\U0001F600"));
        QFAIL("no error");
    } catch (const EDatabaseError& e) {
        QCOMPARE(e.message(), QStringLiteral("Character '\U0001F600' (U+1F600) cannot be represented in the "
                                             "character set windows-950"));
    }
}

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
