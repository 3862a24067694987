// A closed pay period on the private server, met by a clerk's own account: the clerk is
// refused a record dated in it with the trigger's text, not a missing right; takes the
// name backfill and the days outside it; and can neither read nor change the closed
// periods or their audit trail, so only the admin reopens.
#include "tests/support/TestDatabase.h"
#include "tests/support/ToolRun.h"
#include "tools/rawfb/RawFirebird.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kordane;
using test::runTool;

namespace {

const QString closedText = QStringLiteral("INI_DATE 2026/11/05 is in the pay period 2026/10/26 to 2026/11/25, which is closed: its records cannot be added, changed or removed");

// The server's text when the statement is refused, else empty.
QString refusal(RawFirebird& db, const std::string& sql)
{
    try {
        if (sql.rfind("SELECT", 0) == 0)
            db.query(sql);
        else
            db.execute(sql);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

} // namespace

class TestSrvPeriodLock : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void clerkIsRefusedAClosedDay();

private:
    test::ToolRun admin(const QStringList& arguments);
    RawFirebird sysdba() const { return RawFirebird(database_.toStdString(), "SYSDBA", password_.toStdString()); }
    QString clerk_;
    QString clerkPassword_;
    QTemporaryDir site_;
    QString database_;
    QString password_;
};

test::ToolRun TestSrvPeriodLock::admin(const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ISC_USER"), QStringLiteral("SYSDBA"));
    env.insert(QStringLiteral("ISC_PASSWORD"), password_);
    return runTool(QStringLiteral("kordane-admin"), arguments + QStringList {QStringLiteral("--connections"), site_.filePath(QStringLiteral("dbxconnections.ini"))}, env);
}

void TestSrvPeriodLock::initTestCase()
{
    database_ = test::TestDatabase::newSharedServerDatabase();
    password_ = test::TestDatabase::sharedServerPassword();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ISC_USER"), QStringLiteral("SYSDBA"));
    env.insert(QStringLiteral("ISC_PASSWORD"), password_);
    auto run = runTool(QStringLiteral("kordane-admin"), {QStringLiteral("init"), QStringLiteral("--dir"), site_.path(), QStringLiteral("--database"), database_, QStringLiteral("--no-demo-rows"), QStringLiteral("--rules")}, env);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    clerk_ = QStringLiteral("PL%1").arg(QCoreApplication::applicationPid());
    const QString file = site_.filePath(QStringLiteral("clerk.ini"));
    run = admin({QStringLiteral("clerk"), QStringLiteral("add"), clerk_, QStringLiteral("--output"), file});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QFile ini(file);
    QVERIFY(ini.open(QIODevice::ReadOnly));
    clerkPassword_ = QString::fromUtf8(ini.readAll()).section(QStringLiteral("\nPassword="), 1).section(u'\n', 0, 0);
    QVERIFY(!clerkPassword_.isEmpty());
}

void TestSrvPeriodLock::cleanupTestCase()
{
    RawFirebird db = sysdba();
    if (!db.query("SELECT 1 FROM SEC$USERS WHERE SEC$USER_NAME = '" + clerk_.toStdString() + "'").empty())
        db.execute("DROP USER " + clerk_.toStdString() + " USING PLUGIN Srp");
    db.drop();
}

void TestSrvPeriodLock::clerkIsRefusedAClosedDay()
{
    sysdba().execute({"INSERT INTO POS_DAY VALUES ('E1', '2026/11/05', '08:00:00', '17:00:00', '', NULL, 'C1')",
                      "INSERT INTO EMPLOYEE VALUES ('E1', 'Amy', 'C1')"});
    QCOMPARE(admin({QStringLiteral("setting"), QStringLiteral("set"), QStringLiteral("PAY_PERIOD_FIRST_DAY"), QStringLiteral("26")}).exitCode, 0);
    auto run = admin({QStringLiteral("period"), QStringLiteral("close"), QStringLiteral("2026/11")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    RawFirebird desk(database_.toStdString(), clerk_.toStdString(), clerkPassword_.toStdString());
    const auto refusedClosed = [&](const std::string& sql) {
        const QString text = refusal(desk, sql);
        QVERIFY2(text.contains(closedText), qPrintable(QString::fromStdString(sql) + u'\n' + text));
    };
    refusedClosed("INSERT INTO POS_DAY VALUES ('E1', '2026/11/05', '18:00:00', '', '', 'Amy', 'C1')");
    refusedClosed("UPDATE POS_DAY SET TIME_OUT = '16:00:00' WHERE INI_DATE = '2026/11/05'");
    refusedClosed("DELETE FROM POS_DAY WHERE INI_DATE = '2026/11/05'");
    // The backfill's update, which only names the record, is taken.
    QCOMPARE(refusal(desk, "UPDATE POS_DAY SET EMPLOYEE_NAME = (SELECT EMPLOYEE_NAME FROM EMPLOYEE WHERE EMPLOYEE_ID = POS_DAY.EMPLOYEE_ID)"
                           " WHERE EMPLOYEE_NAME IS NULL OR EMPLOYEE_NAME = ''"),
             QString());
    // A name once there is changed no more.
    refusedClosed("UPDATE POS_DAY SET EMPLOYEE_NAME = 'Zed' WHERE INI_DATE = '2026/11/05'");
    // The day after the period is open.
    QCOMPARE(refusal(desk, "INSERT INTO POS_DAY VALUES ('E1', '2026/11/26', '08:00:00', '17:00:00', '', 'Amy', 'C1')"), QString());

    // No more than that: the clerk cannot see or change the periods or their trail.
    for (const std::string& sql : {std::string("DELETE FROM PAY_PERIOD_CLOSED"), std::string("SELECT COUNT(*) FROM PAY_PERIOD_CLOSED"),
                                   std::string("INSERT INTO PAY_PERIOD_AUDIT VALUES (0, CURRENT_TIMESTAMP, 'x', 'x', 'REOPEN', DATE '2026-10-26', DATE '2026-11-25')"),
                                   std::string("UPDATE PAY_PERIOD_CLOSED SET PERIOD_LAST = DATE '2026-10-27'")}) {
        const QString text = refusal(desk, sql);
        QVERIFY2(text.contains(QStringLiteral("no permission")), qPrintable(QString::fromStdString(sql) + u'\n' + text));
    }
    RawFirebird db = sysdba();
    QCOMPARE(db.query("SELECT EMPLOYEE_NAME, TIME_OUT FROM POS_DAY WHERE INI_DATE = '2026/11/05'"), (std::vector<RawFirebird::Row> {{"Amy", "17:00:00"}}));

    // The admin reopens; the clerk's change is taken then; both are in the trail with who.
    QCOMPARE(admin({QStringLiteral("period"), QStringLiteral("reopen"), QStringLiteral("2026/11")}).exitCode, 0);
    QCOMPARE(refusal(desk, "UPDATE POS_DAY SET TIME_OUT = '16:00:00' WHERE INI_DATE = '2026/11/05'"), QString());
    QCOMPARE(db.query("SELECT TRIM(ACTION), USER_NAME, PERIOD_FIRST, PERIOD_LAST FROM PAY_PERIOD_AUDIT ORDER BY AUDIT_ID"),
             (std::vector<RawFirebird::Row> {{"CLOSE", "SYSDBA", "2026-10-26", "2026-11-25"}, {"REOPEN", "SYSDBA", "2026-10-26", "2026-11-25"}}));
    run = admin({QStringLiteral("period"), QStringLiteral("status"), QStringLiteral("2026/11")});
    QVERIFY2(run.out.startsWith(QStringLiteral("2026/11 (2026/10/26 to 2026/11/25): open\n  ")), qPrintable(run.out));
    QVERIFY2(run.out.contains(QStringLiteral(" reopen 2026/10/26 to 2026/11/25 by SYSDBA\n")), qPrintable(run.out));
}

QTEST_MAIN(TestSrvPeriodLock)
#include "tst_srv_periodlock.moc"
