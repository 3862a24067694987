// The clerk commands on the private server touch clerks only and leave nothing half-done:
// no rights for everyone, the admin, a role or another's account; an output that cannot
// be written stops `clerk add` before the server changes; rights a dropped account left
// are cleaned; a removed clerk's open session ends; a clerk's file names the server as
// the desks reach it.
#include "tests/support/TestDatabase.h"
#include "tests/support/ToolRun.h"
#include "tools/rawfb/RawFirebird.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kordane;
using test::runTool;

namespace {

QString fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString entry(const QString& text, const QString& name)
{
    return text.section(u'\n' + name + u'=', 1).section(u'\n', 0, 0);
}

} // namespace

class TestClerkGuard : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void noRightsForWhoIsNoClerk();
    void addIsAllOrNothing();
    void leftRightsAreCleaned();
    void removeEndsOpenSessions();
    void hostAsTheDesksReachIt();

private:
    test::ToolRun clerk(const QStringList& arguments);
    RawFirebird sysdba() const { return RawFirebird(database_.toStdString(), "SYSDBA", password_.toStdString()); }
    bool userExists(const QString& user) const;
    // The user's rights here as "TABLE P" lines, sorted.
    QStringList rights(const QString& user) const;
    QString name(const char* suffix) const { return QStringLiteral("CG%1%2").arg(QCoreApplication::applicationPid()).arg(QLatin1String(suffix)); }
    QString output(const QString& user) const { return site_.filePath(user + QStringLiteral(".ini")); }

    QTemporaryDir site_;
    QString database_;
    QString password_;
    bool publicUserBefore_ = false;
    const QStringList clerkRights_ = {QStringLiteral("EMPLOYEE S"), QStringLiteral("POS_DAY D"), QStringLiteral("POS_DAY I"),
                                      QStringLiteral("POS_DAY S"), QStringLiteral("POS_DAY U")};
};

test::ToolRun TestClerkGuard::clerk(const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ISC_USER"), QStringLiteral("SYSDBA"));
    env.insert(QStringLiteral("ISC_PASSWORD"), password_);
    return runTool(QStringLiteral("kordane-admin"), QStringList {QStringLiteral("clerk")} + arguments + QStringList {QStringLiteral("--connections"), site_.filePath(QStringLiteral("dbxconnections.ini"))},
                   env);
}

bool TestClerkGuard::userExists(const QString& user) const
{
    return !sysdba().query("SELECT 1 FROM SEC$USERS WHERE SEC$USER_NAME = '" + user.toStdString() + "'").empty();
}

QStringList TestClerkGuard::rights(const QString& user) const
{
    QStringList held;
    for (const auto& row : sysdba().query("SELECT TRIM(RDB$RELATION_NAME) || ' ' || TRIM(RDB$PRIVILEGE) FROM RDB$USER_PRIVILEGES"
                                          " WHERE RDB$USER_TYPE = 8 AND RDB$USER = '"
                                          + user.toStdString() + "' AND RDB$RELATION_NAME IN ('POS_DAY', 'EMPLOYEE', 'SPARE')"))
        held << QString::fromStdString(row[0].value_or("null"));
    held.sort();
    return held;
}

void TestClerkGuard::initTestCase()
{
    database_ = test::TestDatabase::newSharedServerDatabase();
    password_ = test::TestDatabase::sharedServerPassword();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ISC_USER"), QStringLiteral("SYSDBA"));
    env.insert(QStringLiteral("ISC_PASSWORD"), password_);
    const auto run = runTool(QStringLiteral("kordane-admin"),
                             {QStringLiteral("init"), QStringLiteral("--dir"), site_.path(), QStringLiteral("--database"), database_, QStringLiteral("--no-demo-rows")}, env);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    publicUserBefore_ = userExists(QStringLiteral("PUBLIC"));
    sysdba().execute({"CREATE ROLE " + name("R").toStdString(), "CREATE TABLE SPARE (X INTEGER)",
                      "CREATE USER " + name("O").toStdString() + " PASSWORD 'other' USING PLUGIN Srp",
                      "GRANT SELECT ON EMPLOYEE TO USER " + name("O").toStdString()});
}

void TestClerkGuard::cleanupTestCase()
{
    RawFirebird db = sysdba();
    QStringList users = {name("A"), name("B"), name("C"), name("D"), name("H"), name("O")};
    if (!publicUserBefore_)
        users << QStringLiteral("PUBLIC");
    for (const QString& user : users) {
        if (userExists(user))
            db.execute("DROP USER " + user.toStdString() + " USING PLUGIN Srp");
    }
    db.drop();
}

// PUBLIC, the admin, a role, another's account and a clerk already there: each refused
// by `clerk add` and `clerk remove`, saying which, and nothing granted, made or taken.
void TestClerkGuard::noRightsForWhoIsNoClerk()
{
    const QString mary = name("A");
    auto run = clerk({QStringLiteral("add"), mary, QStringLiteral("--output"), output(mary)});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    // The site's file names the server as 127.0.0.1: the clerk's does too, and says so.
    QVERIFY2(run.out.endsWith(QStringLiteral("note: the file names the server 127.0.0.1, which reaches it from the server itself only; "
                                             "--host names it as the desks reach it\n")),
             qPrintable(run.out));
    const QString role = name("R");
    const QString other = name("O");
    const QList<QPair<QString, QString>> refused = {
        {QStringLiteral("public"), QStringLiteral("PUBLIC stands for every account on the server, not a clerk's")},
        {QStringLiteral("Public"), QStringLiteral("PUBLIC stands for every account on the server, not a clerk's")},
        {QStringLiteral("sysdba"), QStringLiteral("SYSDBA is the admin account, not a clerk's")},
        {role.toLower(), role + QStringLiteral(" is a role of this database, not a clerk's account")},
        {other, QStringLiteral("the server has a user %1 already, who is not a clerk of this site").arg(other)},
        {mary, QStringLiteral("the server has a user %1 already, a clerk of this site").arg(mary)},
    };
    for (const auto& [who, why] : refused) {
        const QString file = output(QStringLiteral("refused-") + who);
        run = clerk({QStringLiteral("add"), who, QStringLiteral("--output"), file});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, QStringLiteral("kordane-admin: ") + why + u'\n');
        QVERIFY2(!QFile::exists(file), qPrintable(who));
    }
    const QList<QPair<QString, QString>> kept = {
        {QStringLiteral("public"), QStringLiteral("PUBLIC stands for every account on the server, not a clerk's")},
        {role, role + QStringLiteral(" is a role of this database, not a clerk's account")},
        {other, other + QStringLiteral(" is a user of the server but not a clerk of this site; left as it is")},
    };
    for (const auto& [who, why] : kept) {
        run = clerk({QStringLiteral("remove"), who});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, QStringLiteral("kordane-admin: ") + why + u'\n');
    }
    QCOMPARE(rights(QStringLiteral("PUBLIC")), QStringList());
    QVERIFY(publicUserBefore_ || !userExists(QStringLiteral("PUBLIC")));
    QVERIFY(sysdba().query("SELECT 1 FROM RDB$USER_PRIVILEGES WHERE RDB$USER = '" + role.toStdString() + "'").empty());
    QVERIFY(userExists(other));
    QCOMPARE(rights(other), QStringList {QStringLiteral("EMPLOYEE S")});
    QCOMPARE(rights(mary), clerkRights_);
}

// An output that cannot be written stops the command before the server changes: no
// account, no rights, and the same name is added afterwards as if never tried.
void TestClerkGuard::addIsAllOrNothing()
{
    const QString user = name("B");
    const QString plain = site_.filePath(QStringLiteral("plain"));
    QFile file(plain);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    auto run = clerk({QStringLiteral("add"), user, QStringLiteral("--output"), plain + QStringLiteral("/b.ini")});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("kordane-admin: cannot write %1/b.ini: Not a directory\n").arg(plain));
    QVERIFY(!userExists(user));
    QCOMPARE(rights(user), QStringList());
    run = clerk({QStringLiteral("add"), user, QStringLiteral("--output"), output(user)});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(!run.out.contains(QStringLiteral("earlier account")), qPrintable(run.out));
    QCOMPARE(rights(user), clerkRights_);
}

// Rights a name holds here without an account (an account dropped without them): a new
// clerk of the name holds the clerk's only, and `clerk remove` takes them away.
void TestClerkGuard::leftRightsAreCleaned()
{
    const QString again = name("C");
    sysdba().execute({"GRANT ALL ON SPARE TO USER " + again.toStdString(), "GRANT SELECT ON POS_DAY TO USER " + again.toStdString()});
    auto run = clerk({QStringLiteral("add"), again, QStringLiteral("--output"), output(again)});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(QStringLiteral("the rights an earlier account %1 left on this database were taken away first").arg(again)), qPrintable(run.out));
    QCOMPARE(rights(again), clerkRights_);

    const QString gone = name("G");
    std::vector<std::string> grants = {"GRANT SELECT, INSERT, UPDATE, DELETE ON POS_DAY TO USER " + gone.toStdString(),
                                       "GRANT SELECT ON EMPLOYEE TO USER " + gone.toStdString()};
    sysdba().execute(grants);
    run = clerk({QStringLiteral("remove"), gone});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("the server has no user %1; took away the clerk's rights it left on this database\n").arg(gone));
    QCOMPARE(rights(gone), QStringList());
    run = clerk({QStringLiteral("remove"), gone});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("kordane-admin: the server has no user %1\n").arg(gone));
}

// A window still attached as the clerk would go on writing with the rights just revoked.
void TestClerkGuard::removeEndsOpenSessions()
{
    const QString user = name("D");
    auto run = clerk({QStringLiteral("add"), user, QStringLiteral("--output"), output(user)});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    RawFirebird desk(database_.toStdString(), user.toStdString(), entry(fileText(output(user)), QStringLiteral("Password")).toStdString());
    QCOMPARE(desk.query("SELECT COUNT(*) FROM POS_DAY")[0][0], std::optional<std::string>("0"));
    RawFirebird admin = sysdba(); // the admin's own attachment is not ended

    run = clerk({QStringLiteral("remove"), user});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("removed clerk %1; ended 1 open session\n").arg(user));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, desk.execute("INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE) VALUES ('x', '2026/12/07')"));
    QCOMPARE(admin.query("SELECT COUNT(*) FROM POS_DAY")[0][0], std::optional<std::string>("0"));
    QVERIFY(!userExists(user));
    QCOMPARE(rights(user), QStringList());
}

// The admin's file may name the server as this machine does; the clerk's names it as the
// desks do, and says so when it cannot.
void TestClerkGuard::hostAsTheDesksReachIt()
{
    const QString user = name("H");
    const QString path = database_.section(u':', 1);
    const QString port = database_.section(u':', 0, 0).section(u'/', 1);
    auto run = clerk({QStringLiteral("add"), user, QStringLiteral("--output"), output(user), QStringLiteral("--host"), QStringLiteral("bad host")});
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.err, QStringLiteral("kordane-admin: --host takes a host name or address, not bad host\n"));
    QVERIFY(!userExists(user));

    run = clerk({QStringLiteral("add"), user, QStringLiteral("--output"), output(user), QStringLiteral("--host"), QStringLiteral("db-1.example.org")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(!run.out.contains(QStringLiteral("note:")), qPrintable(run.out));
    const QString text = fileText(output(user));
    QCOMPARE(entry(text, QStringLiteral("Database")), QStringLiteral("db-1.example.org/%1:%2").arg(port, path));
    QCOMPARE(entry(text, QStringLiteral("User_Name")), user);
}

QTEST_GUILESS_MAIN(TestClerkGuard)
#include "tst_srv_clerkguard.moc"
