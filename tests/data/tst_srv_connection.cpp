// Connect failures the server reports: each reaches the caller as the driver's own text,
// the connection stays closed, and the next demand tries again.
#include "data/sql/SqlConnection.h"
#include "data/sql/SqlStatement.h"
#include "tests/support/TestDatabase.h"
#include "tools/rawfb/RawFirebird.h"

#include <QTest>

using namespace kordane;
using kordane::test::TestDatabase;

namespace {

struct Failure {
    QString message;
    int status = 0;
    dbx::ErrorKind kind = dbx::ErrorKind::Other;
};

Failure openFailure(SqlConnection& connection)
{
    try {
        connection.open();
    } catch (const EDriverError& e) {
        return {e.message(), e.status(), e.kind()};
    }
    return {};
}

} // namespace

Q_DECLARE_METATYPE(dbx::ErrorKind)

class TestServerConnection : public QObject {
    Q_OBJECT

private slots:
    void opensOnServer();
    void failures_data();
    void failures();
    void missingDatabaseThenCreated();
};

void TestServerConnection::opensOnServer()
{
    TestDatabase db(TestDatabase::Where::Server);
    auto connection = db.connection();
    SqlQuery query(QStringLiteral("SQLQuery1"), *connection);
    query.setSql({QStringLiteral("SELECT COUNT(*) FROM POS_DAY")});
    query.open();
    QCOMPARE(query.asString(0), QStringLiteral("0"));
}

void TestServerConnection::failures_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("expected"); // a part of the driver's text
    QTest::addColumn<dbx::ErrorKind>("kind");
    QTest::newRow("wrong password") << "Password="
                                    << "Password=not-it"
                                    << "password" << dbx::ErrorKind::LoginRefused;
    // Port 1 on the loopback address: nobody listens there.
    QTest::newRow("server unreachable") << "Database=127.0.0.1/"
                                        << "Database=127.0.0.1/1:"
                                        << "127.0.0.1" << dbx::ErrorKind::ConnectionLost;
}

void TestServerConnection::failures()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, expected);
    QFETCH(dbx::ErrorKind, kind);
    TestDatabase db(TestDatabase::Where::Server);
    QString text = db.connectionsText();
    if (to.startsWith(u"Database=")) {
        text.replace(from + db.database().section(u'/', 1).section(u':', 0, 0) + u':', to);
    } else {
        text.replace(from + db.password(), to);
    }
    QVERIFY(text != db.connectionsText());
    db.writeConnectionsFile(text);
    auto connection = db.connection();
    for (int attempt = 0; attempt < 2; ++attempt) { // the program goes on and tries again
        const Failure failure = openFailure(*connection);
        QVERIFY2(failure.message.contains(expected, Qt::CaseInsensitive), qPrintable(failure.message));
        QVERIFY(failure.status >= 255);
        QCOMPARE(failure.kind, kind);
        QCOMPARE(connection->state(), SqlConnection::State::Closed);
        QCOMPARE(connection->lastError(), failure.message);
    }
}

void TestServerConnection::missingDatabaseThenCreated()
{
    TestDatabase db(TestDatabase::Where::Server);
    const QString missing = db.database() + QStringLiteral(".later.fdb");
    db.writeConnectionsFile(db.connectionsText().replace(db.database(), missing));
    auto connection = db.connection();
    const Failure failure = openFailure(*connection);
    QVERIFY2(!failure.message.isEmpty() && failure.status >= 255, qPrintable(failure.message));
    QCOMPARE(connection->state(), SqlConnection::State::Closed);

    // The same parameters, now with a database behind them: the next demand connects.
    RawFirebird created = RawFirebird::create(missing.toStdString(), "SYSDBA", db.password().toStdString());
    connection->open();
    QCOMPARE(connection->state(), SqlConnection::State::Open);
    connection->close();
    created.drop();
}

QTEST_GUILESS_MAIN(TestServerConnection)
#include "tst_srv_connection.moc"
