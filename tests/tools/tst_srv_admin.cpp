// Clerks' accounts on the private server, on a site with the rules: a clerk added by the
// admin tool runs what the window runs (every statement of its own, a removal from the grid) through the
// program's connection and nothing more, each write audited in the clerk's name, the audit
// trail out of the clerk's reach; removed, the account and its rights are gone. Failures
// leave nothing.
#include "attendance/Catalogue.h"
#include "data/sql/SqlConnection.h"
#include "data/sql/SqlStatement.h"
#include "tests/support/DayChain.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/ToolRun.h"
#include "tools/rawfb/RawFirebird.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kordane;
using test::runTool;

namespace {

QString errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

} // namespace

class TestServerAdmin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void clerkRunsTheWindowAndNoMore();
    void clerkRemoved();
    void failuresLeaveNothing();

private:
    test::ToolRun admin(QStringList arguments, bool withAccount = true);
    bool userExists(const QString& user);
    std::unique_ptr<SqlConnection> clerkConnection() const;

    QTemporaryDir site_;
    QString database_;
    QString password_;
    QString clerk_ = QStringLiteral("CLERK%1").arg(QCoreApplication::applicationPid());
    QString clerkFile_;
};

test::ToolRun TestServerAdmin::admin(QStringList arguments, bool withAccount)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ISC_PASSWORD"));
    if (withAccount) {
        env.insert(QStringLiteral("ISC_USER"), QStringLiteral("SYSDBA"));
        env.insert(QStringLiteral("ISC_PASSWORD"), password_);
    }
    if (arguments.value(0) != u"init")
        arguments << QStringLiteral("--connections") << site_.filePath(QStringLiteral("dbxconnections.ini"));
    return runTool(QStringLiteral("kordane-admin"), arguments, env);
}

bool TestServerAdmin::userExists(const QString& user)
{
    RawFirebird db(database_.toStdString(), "SYSDBA", password_.toStdString());
    return !db.query("SELECT 1 FROM SEC$USERS WHERE SEC$USER_NAME = '" + user.toStdString() + "'").empty();
}

std::unique_ptr<SqlConnection> TestServerAdmin::clerkConnection() const
{
    auto connection = std::make_unique<SqlConnection>();
    connection->setConnectionsFilePath(clerkFile_);
    connection->setDriversFilePath(site_.filePath(QStringLiteral("dbxdrivers.ini")));
    return connection;
}

void TestServerAdmin::initTestCase()
{
    database_ = test::TestDatabase::newSharedServerDatabase();
    password_ = test::TestDatabase::sharedServerPassword();
    clerkFile_ = site_.filePath(QStringLiteral("clerk.ini"));
    auto run = admin({QStringLiteral("init"), QStringLiteral("--dir"), site_.path(), QStringLiteral("--database"), database_,
                      QStringLiteral("--no-demo-rows"), QStringLiteral("--rules")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString csv = site_.filePath(QStringLiteral("employees.csv"));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID\nA001,陳志明,0012345678\n").toUtf8());
    file.close();
    run = admin({QStringLiteral("employees"), QStringLiteral("import"), csv});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
}

void TestServerAdmin::cleanupTestCase()
{
    if (userExists(clerk_))
        admin({QStringLiteral("clerk"), QStringLiteral("remove"), clerk_});
    RawFirebird(database_.toStdString(), "SYSDBA", password_.toStdString()).drop();
}

void TestServerAdmin::clerkRunsTheWindowAndNoMore()
{
    const auto run = admin({QStringLiteral("clerk"), QStringLiteral("add"), clerk_.toLower(), QStringLiteral("--output"), clerkFile_});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(run.out.contains(clerkFile_));
    QCOMPARE(QFile::permissions(clerkFile_), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    QFile file(clerkFile_);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.contains(QStringLiteral("\nUser_Name=") + clerk_ + u'\n'));
    QVERIFY(text.contains(QStringLiteral("\nDatabase=") + database_ + u'\n'));
    QVERIFY(!text.contains(password_));

    // The window's statements, as the window's connection sends them.
    test::DayChain chain(clerkConnection());
    SqlQuery query(QStringLiteral("SQLQuery1"), chain.connection);
    const QString date = QStringLiteral("2026/01/05");
    const auto insert = [&] {
        query.setSql(catalogue::insertRecord());
        const QStringList values = {date, QStringLiteral("A001"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00"),
                                    QStringLiteral("0012345678"), QString(), QStringLiteral("一")};
        for (int i = 0; i < values.size(); ++i)
            query.paramByName(catalogue::insertParamNames()[i]).setAsString(values[i]);
        query.execSql();
        return query.rowsAffected();
    };
    QCOMPARE(insert(), 1);
    query.setSql(catalogue::backfillNames(QStringLiteral("2000/01/01")));
    query.execSql();
    QCOMPARE(query.rowsAffected(), 1);
    query.setSql(catalogue::employeeSelect(QStringLiteral("A001")));
    query.open();
    QCOMPARE(query.asString(1), QStringLiteral("陳志明"));
    query.setSql(catalogue::duplicateCheck(date, QStringLiteral("A001"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00")));
    query.open();
    QVERIFY(!query.isEmpty());
    chain.dataSet.setCommandText(catalogue::joinLines(catalogue::employeeDaySelect(QStringLiteral("A001"), date)));
    chain.dataSet.open();
    QCOMPARE(chain.dataSet.recordCount(), 1);
    query.setSql(catalogue::deleteByValues(date, QStringLiteral("A001"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00")));
    query.execSql();
    QCOMPARE(query.rowsAffected(), 1);
    QCOMPARE(insert(), 1);
    chain.load(date); // then a removal from the grid
    chain.go(QStringLiteral("A001"));
    chain.dataSet.deleteRecord();
    QCOMPARE(chain.dataSet.applyUpdates(0), 0);
    chain.load(date);
    QCOMPARE(chain.dataSet.recordCount(), 0);

    // Nothing beyond: no schema change, no other table written, no users, no security database.
    const QString forbidden[] = {
        QStringLiteral("ALTER TABLE POS_DAY ADD NOTE VARCHAR(10)"),
        QStringLiteral("DROP TABLE EMPLOYEE"),
        QStringLiteral("INSERT INTO EMPLOYEE VALUES ('Z9', 'x', 'y')"),
        QStringLiteral("CREATE USER INTRUDER PASSWORD 'x'"),
        QStringLiteral("CREATE TABLE MINE (X INTEGER)"),
        QStringLiteral("UPDATE POS_DAY_AUDIT SET USER_NAME = 'SYSDBA'"),
        QStringLiteral("DELETE FROM POS_DAY_AUDIT"),
        QStringLiteral("INSERT INTO POS_DAY_AUDIT (AUDIT_ID, CHANGED_AT) VALUES (0, CURRENT_TIMESTAMP)"),
        QStringLiteral("ALTER TRIGGER POS_DAY_AUDITED INACTIVE"),
        QStringLiteral("DROP TRIGGER POS_DAY_CHECK"),
    };
    for (const QString& sql : forbidden) {
        query.setSql({sql});
        QVERIFY2(!errorOf([&] { query.execSql(); }).isEmpty(), qPrintable(sql));
    }
    query.setSql({QStringLiteral("SELECT COUNT(*) FROM POS_DAY_AUDIT")});
    QVERIFY(!errorOf([&] { query.open(); }).isEmpty());
    // The rules hold for the clerk, with the server's text and not a want of rights.
    query.setSql(catalogue::insertRecord());
    const QStringList bad = {date, QStringLiteral("A001"), QStringLiteral("24:00:00"), QString(), QString(), QString(), QString()};
    for (int i = 0; i < bad.size(); ++i)
        query.paramByName(catalogue::insertParamNames()[i]).setAsString(bad[i]);
    const QString refusal = errorOf([&] { query.execSql(); });
    QVERIFY2(refusal.contains(QStringLiteral("TIME_IN must be a time HH:MM:SS")), qPrintable(refusal));
    // Every write of the clerk's is in the audit trail, in the clerk's name, from the desk.
    RawFirebird db(database_.toStdString(), "SYSDBA", password_.toStdString());
    std::string actions;
    for (const auto& row : db.query("SELECT ACTION, USER_NAME, CLIENT_ADDRESS, CLIENT_PROCESS FROM POS_DAY_AUDIT ORDER BY AUDIT_ID")) {
        actions += row[0].value_or("-") + " ";
        QCOMPARE(row[1], std::optional<std::string>(clerk_.toStdString()));
        QVERIFY2(row[2].value_or("").rfind("127.0.0.1", 0) == 0, row[2].value_or("null").c_str());
        QVERIFY(row[3].value_or("").find("tools_tst_srv_admin") != std::string::npos);
    }
    QCOMPARE(actions, std::string("INSERT UPDATE DELETE INSERT DELETE "));
    query.setSql({QStringLiteral("SELECT COUNT(*) FROM SEC$USERS WHERE SEC$USER_NAME <> CURRENT_USER")});
    query.open();
    QCOMPARE(query.asString(0), QStringLiteral("0"));
    const QString server = database_.left(database_.indexOf(u':'));
    QVERIFY(!errorOf([&] {
                 RawFirebird((server + QStringLiteral(":security.db")).toStdString(), clerk_.toStdString(),
                             text.section(QStringLiteral("\nPassword="), 1).section(u'\n', 0, 0).toStdString());
             }).isEmpty());
    QVERIFY(!userExists(QStringLiteral("INTRUDER")));
}

void TestServerAdmin::clerkRemoved()
{
    QVERIFY(userExists(clerk_));
    auto run = admin({QStringLiteral("clerk"), QStringLiteral("remove"), clerk_});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(!userExists(clerk_));
    RawFirebird db(database_.toStdString(), "SYSDBA", password_.toStdString());
    QVERIFY(db.query("SELECT 1 FROM RDB$USER_PRIVILEGES WHERE RDB$USER = '" + clerk_.toStdString() + "'").empty());
    auto connection = clerkConnection();
    QVERIFY(!errorOf([&] { connection->open(); }).isEmpty());

    run = admin({QStringLiteral("clerk"), QStringLiteral("remove"), clerk_});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("kordane-admin: the server has no user %1\n").arg(clerk_));
}

void TestServerAdmin::failuresLeaveNothing()
{
    const QString name = clerk_ + QStringLiteral("B");
    // No admin account in the environment.
    auto run = admin({QStringLiteral("clerk"), QStringLiteral("add"), name}, false);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("kordane-admin: the server's admin account comes from ISC_USER and ISC_PASSWORD: set them\n"));
    // A connections file that would be overwritten.
    run = admin({QStringLiteral("clerk"), QStringLiteral("add"), name, QStringLiteral("--output"), clerkFile_});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.err.contains(QStringLiteral("exists")));
    // Not a plain name, and the admin itself.
    run = admin({QStringLiteral("clerk"), QStringLiteral("add"), QStringLiteral("x'; DROP")});
    QCOMPARE(run.exitCode, 1);
    run = admin({QStringLiteral("clerk"), QStringLiteral("remove"), QStringLiteral("sysdba")});
    QCOMPARE(run.err, QStringLiteral("kordane-admin: SYSDBA is the admin account, not a clerk's\n"));
    QVERIFY(!userExists(name));
    QVERIFY(userExists(QStringLiteral("SYSDBA")));
}

QTEST_GUILESS_MAIN(TestServerAdmin)
#include "tst_srv_admin.moc"
