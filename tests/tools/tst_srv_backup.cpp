// Backups of a site on the private server: taken by the server while another program adds
// employees, streamed to this machine, restored on the server as a new database that keeps
// the rules, the audit trail and a clerk's rights; a truncated file, an existing database
// and --replace refused with nothing changed.
#include "tests/support/TestDatabase.h"
#include "tests/tools/BackupFixture.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace kordane;
using test::runTool;

class TestServerBackup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void backupWhileEmployeesAreAdded();
    void restoredCopyKeepsRulesAndClerk();
    void refusalsChangeNothing();

private:
    test::ToolRun admin(QStringList arguments);
    QProcessEnvironment environment() const;
    RawFirebird attach(const QString& database) const
    {
        return RawFirebird(database.toStdString(), "SYSDBA", password_.toStdString());
    }
    // A database name on the server, dropped at the end.
    QString newDatabase()
    {
        made_ << test::TestDatabase::newSharedServerDatabase();
        return made_.last();
    }

    QTemporaryDir site_;
    QString database_;
    QString password_;
    QString clerk_ = QStringLiteral("BACKUPCLERK%1").arg(QCoreApplication::applicationPid());
    QStringList made_;
    QString backup_; // taken while employees were added
};

QProcessEnvironment TestServerBackup::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ISC_USER"), QStringLiteral("SYSDBA"));
    env.insert(QStringLiteral("ISC_PASSWORD"), password_);
    return env;
}

test::ToolRun TestServerBackup::admin(QStringList arguments)
{
    if (arguments.value(0) != u"init" && arguments.value(0) != u"restore")
        arguments << QStringLiteral("--connections") << site_.filePath(QStringLiteral("dbxconnections.ini"));
    return runTool(QStringLiteral("kordane-admin"), arguments, environment());
}

void TestServerBackup::initTestCase()
{
    password_ = test::TestDatabase::sharedServerPassword();
    database_ = newDatabase();
    auto run = admin({QStringLiteral("init"), QStringLiteral("--dir"), site_.path(), QStringLiteral("--database"), database_,
                      QStringLiteral("--no-demo-rows"), QStringLiteral("--rules")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    RawFirebird db = attach(database_);
    db.executeEach("INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT, BILL_WEEK, EMPLOYEE_NAME, CARD_ID)"
                   " VALUES (?, ?, ?, ?, ?, ?, ?)",
                   test::trickyRecords());
    db.execute({"CREATE TABLE FILLER (N INTEGER, T VARCHAR(200))",
                "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 40000) DO BEGIN"
                " INSERT INTO FILLER VALUES (:I, LPAD('', 200, 'x')); I = I + 1; END END"});
    run = admin({QStringLiteral("clerk"), QStringLiteral("add"), clerk_.toLower(), QStringLiteral("--output"), site_.filePath(QStringLiteral("clerk.ini"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
}

void TestServerBackup::cleanupTestCase()
{
    admin({QStringLiteral("clerk"), QStringLiteral("remove"), clerk_});
    for (const QString& database : made_) {
        try {
            attach(database).drop();
        } catch (const std::runtime_error&) {
            // Never made: a refused restore.
        }
    }
}

void TestServerBackup::backupWhileEmployeesAreAdded()
{
    constexpr int perFile = 20;
    test::ImportLoop imports(site_.path(), {QStringLiteral("--connections"), site_.filePath(QStringLiteral("dbxconnections.ini"))},
                             environment(), 10, perFile);
    QVERIFY(imports.waitFor(2));
    const int before = imports.committed();
    const auto run = admin({QStringLiteral("backup"), QStringLiteral("--to"), site_.filePath(QStringLiteral("backups")), QStringLiteral("--verify")});
    QVERIFY2(imports.finish(), "an import failed beside the backup");
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    // Streamed here: the file is on this machine, named for the server's host and the database.
    backup_ = test::backupFileIn(run.out);
    QVERIFY2(QFileInfo(backup_).fileName().startsWith(QStringLiteral("127.0.0.1-").replace(u'.', u'_')), qPrintable(backup_));
    QVERIFY2(run.out.contains(QStringLiteral("\nverified ")), qPrintable(run.out));

    const QString restored = newDatabase();
    const auto back = admin({QStringLiteral("restore"), backup_, QStringLiteral("--to"), restored});
    QVERIFY2(back.exitCode == 0, qPrintable(back.err));
    QVERIFY2(back.out.contains(QStringLiteral("as the backup holds them")), qPrintable(back.out));
    RawFirebird copy = attach(restored);
    QCOMPARE(test::missingImported(copy, before, perFile), 0);
    QCOMPARE(std::stoi(copy.query("SELECT COUNT(*) FROM EMPLOYEE").at(0).at(0).value()) % perFile, 0);
}

void TestServerBackup::restoredCopyKeepsRulesAndClerk()
{
    QVERIFY(!backup_.isEmpty());
    const QString restored = newDatabase();
    const auto run = admin({QStringLiteral("restore"), backup_, QStringLiteral("--to"), restored});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    RawFirebird copy = attach(restored);
    RawFirebird db = attach(database_);
    for (const char* table : {"POS_DAY", "POS_DAY_AUDIT", "FILLER"})
        QVERIFY2(test::storedRows(copy, table) == test::storedRows(db, table), table);

    // The clerk works on the copy with the rights the site gave, and no more.
    QFile file(site_.filePath(QStringLiteral("clerk.ini")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    RawFirebird clerk(restored.toStdString(), clerk_.toStdString(), text.section(QStringLiteral("\nPassword="), 1).section(u'\n', 0, 0).toStdString());
    clerk.execute("INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, TIME_IN) VALUES ('A9', '2024/03/06', '08:00:00')");
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, clerk.execute("INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, TIME_IN) VALUES ('A9', '2024/13/06', '08:00:00')"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, clerk.query("SELECT COUNT(*) FROM POS_DAY_AUDIT"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, clerk.execute("DELETE FROM EMPLOYEE"));
    QCOMPARE(copy.query("SELECT TRIM(USER_NAME), ACTION FROM POS_DAY_AUDIT ORDER BY AUDIT_ID DESC ROWS 1"),
             (test::Rows {{clerk_.toStdString(), std::string("INSERT")}}));
}

void TestServerBackup::refusalsChangeNothing()
{
    QVERIFY(!backup_.isEmpty());
    const QString truncated = site_.filePath(QStringLiteral("truncated.fbk"));
    QFile source(backup_);
    QVERIFY(source.open(QIODevice::ReadOnly));
    QVERIFY(test::writeFile(truncated, source.read(source.size() - 1)));
    QVERIFY(QFile::copy(backup_ + QStringLiteral(".manifest"), truncated + QStringLiteral(".manifest")));
    const QString never = newDatabase();
    auto run = admin({QStringLiteral("restore"), truncated, QStringLiteral("--to"), never});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("is truncated or damaged")), qPrintable(run.err));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, attach(never));

    // The site's own database: gbak refuses it, and it is not dropped.
    const test::Rows rows = [&] {
        RawFirebird db = attach(database_);
        return test::storedRows(db, "POS_DAY");
    }();
    run = admin({QStringLiteral("restore"), backup_, QStringLiteral("--to"), database_});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("kordane-admin: %1 exists: restore never writes over a database (on a server, restore to a new name)\n").arg(database_));
    run = admin({QStringLiteral("restore"), backup_, QStringLiteral("--to"), database_, QStringLiteral("--replace")});
    QCOMPARE(run.exitCode, 2);
    RawFirebird db = attach(database_);
    QVERIFY(test::storedRows(db, "POS_DAY") == rows);
}

QTEST_GUILESS_MAIN(TestServerBackup)
#include "tst_srv_backup.moc"
