// The driver against the private server over TCP: failures reach the caller in the
// server's words, and lock waiting follows the connection's option.
#include "tests/driver/DriverHarness.h"
#include "tools/rawfb/RawFirebird.h"

#include <QElapsedTimer>
#include <QTest>

#include <chrono>
#include <thread>

using namespace drivertest;

Q_DECLARE_METATYPE(dbx::ErrorKind)

class TestServerDriver : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void connectsOverTcp();
    void loginFailures_data();
    void loginFailures();
    void unreachableServerFailsFast();
    void waitOnLocks_data();
    void waitOnLocks();
    void cleanupTestCase();

private:
    std::string server_; // host/port
    std::string password_;
    std::string path_; // the database file on the server
    std::unique_ptr<dbx::ISQLDriver> driver_;
};

void TestServerDriver::initTestCase()
{
    server_ = qEnvironmentVariable("KORDANE_TEST_SERVER").toStdString();
    password_ = qEnvironmentVariable("KORDANE_TEST_PASSWORD").toStdString();
    const QString dir = qEnvironmentVariable("KORDANE_TEST_SERVER_DIR");
    if (server_.empty() || dir.isEmpty())
        QSKIP("no test server (KORDANE_TEST_SERVER, KORDANE_TEST_SERVER_DIR)");
    path_ = (dir + QStringLiteral("/data/srv_driver.fdb")).toStdString();
    try {
        kordane::RawFirebird(server_ + ":" + path_, "SYSDBA", password_).drop();
    } catch (const std::exception&) {
        // not there yet
    }
    auto raw = kordane::RawFirebird::create(server_ + ":" + path_, "SYSDBA", password_);
    raw.execute({posDayTable(), "INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE) VALUES ('E001', '2026/12/06')"});
    driver_ = loadDriver();
    QVERIFY(driver_);
}

void TestServerDriver::cleanupTestCase()
{
    if (!path_.empty())
        kordane::RawFirebird(server_ + ":" + path_, "SYSDBA", password_).drop();
}

void TestServerDriver::connectsOverTcp()
{
    const auto slash = server_.find('/');
    const std::string host = server_.substr(0, slash);
    const std::string port = slash == std::string::npos ? "" : server_.substr(slash + 1);
    std::string error;
    // The server named in the database, or by HostName and ServerPort for a bare path.
    auto named = connectTo(*driver_, server_ + ":" + path_, password_, error);
    QVERIFY2(named, error.c_str());
    QCOMPARE(firstRow(*named, "SELECT EMPLOYEE_ID FROM POS_DAY"), std::vector<std::string> {"E001"});
    Options options;
    options.hostName = host;
    options.serverPort = port;
    auto byOptions = connectTo(*driver_, path_, password_, error, options);
    QVERIFY2(byOptions, error.c_str());
    QCOMPARE(firstRow(*byOptions, "SELECT SUBSTRING(MON$REMOTE_PROTOCOL FROM 1 FOR 4) FROM MON$ATTACHMENTS"
                                  " WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION"),
             std::vector<std::string> {"TCPv"});
}

void TestServerDriver::loginFailures_data()
{
    QTest::addColumn<bool>("wrongPassword");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("text");
    QTest::addColumn<dbx::ErrorKind>("kind");
    QTest::newRow("wrong password") << true << ""
                                    << "Your user name and password are not defined" << dbx::ErrorKind::LoginRefused;
    QTest::newRow("missing file") << false << "/nowhere/missing.fdb"
                                  << "I/O error during \"open\" operation for file \"/nowhere/missing.fdb\""
                                  << dbx::ErrorKind::Other;
}

void TestServerDriver::loginFailures()
{
    QFETCH(bool, wrongPassword);
    QFETCH(QString, file);
    QFETCH(QString, text);
    QFETCH(dbx::ErrorKind, kind);
    std::string error;
    dbx::ServerError failure;
    Options options;
    options.failure = &failure;
    const std::string path = file.isEmpty() ? path_ : file.toStdString();
    QVERIFY(!connectTo(*driver_, server_ + ":" + path, wrongPassword ? "not-it" : password_, error, options));
    QVERIFY2(error.find(text.toStdString()) != std::string::npos, error.c_str());
    QCOMPARE(failure.kind, kind);
}

void TestServerDriver::unreachableServerFailsFast()
{
    QElapsedTimer timer;
    timer.start();
    std::string error;
    dbx::ServerError failure;
    Options options;
    options.failure = &failure;
    // Port 1 on the loopback: nothing listens there, so the refusal is immediate.
    QVERIFY(!connectTo(*driver_, "127.0.0.1/1:" + path_, password_, error, options));
    QVERIFY(timer.elapsed() < 5000);
    QCOMPARE(failure.kind, dbx::ErrorKind::ConnectionLost);
    QVERIFY2(error.find("Unable to complete network request to host \"127.0.0.1\"") != std::string::npos,
             error.c_str());
}

void TestServerDriver::waitOnLocks_data()
{
    QTest::addColumn<bool>("wait");
    QTest::newRow("no wait") << false;
    QTest::newRow("wait") << true;
}

void TestServerDriver::waitOnLocks()
{
    QFETCH(bool, wait);
    std::string error;
    auto holder = connectTo(*driver_, server_ + ":" + path_, password_, error);
    QVERIFY2(holder, error.c_str());
    Options options;
    options.waitOnLocks = wait;
    auto waiter = connectTo(*driver_, server_ + ":" + path_, password_, error, options);
    QVERIFY2(waiter, error.c_str());

    QCOMPARE(holder->beginTransaction(1, dbx::Isolation::ReadCommitted), dbx::DBXERR_NONE);
    QCOMPARE(run(*holder, "UPDATE POS_DAY SET TIME_IN = '08:00:00'").status, dbx::DBXERR_NONE);
    dbx::Status committed = dbx::DBXERR_NONE;
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        committed = holder->commit(1);
    });
    QElapsedTimer timer;
    timer.start();
    // Firebird words a row held by another transaction as an update conflict.
    const auto outcome = run(*waiter, "UPDATE POS_DAY SET TIME_OUT = '17:00:00'");
    const qint64 elapsed = timer.elapsed();
    release.join();
    QCOMPARE(committed, dbx::DBXERR_NONE);

    if (wait) {
        // Blocked until the holder ended; what follows the wait is the server's business.
        QVERIFY2(elapsed >= 800, qPrintable(QString::number(elapsed)));
    } else {
        QVERIFY2(elapsed < 800, qPrintable(QString::number(elapsed)));
        QCOMPARE(outcome.status, dbx::DBXERR_SERVER);
        QVERIFY2(outcome.error.find("update conflicts with concurrent update") != std::string::npos,
                 outcome.error.c_str());
        QCOMPARE(outcome.server.kind, dbx::ErrorKind::UpdateConflict);
    }
}

QTEST_GUILESS_MAIN(TestServerDriver)
#include "tst_srv_driver.moc"
