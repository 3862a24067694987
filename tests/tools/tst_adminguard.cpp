// Admin commands that would leave a site wrong, on embedded databases: init never leaves
// a connections file naming another database (and makes nothing when it cannot finish),
// and audit refuses a date or time that does not exist instead of reading it as another.
#include "data/sql/EmbeddedEngine.h"
#include "tests/support/ToolRun.h"
#include "tools/rawfb/RawFirebird.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kordane;
using test::runTool;

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

class TestAdminGuard : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void initKeepsTheSiteItNames();
    void initMakesNothingItCannotFinish();
    void auditRefusesImpossibleTimes_data();
    void auditRefusesImpossibleTimes();
    void auditTakesRealTimes();

private:
    test::ToolRun init(const QString& site, const QString& database, const QStringList& more = {});
    test::ToolRun audit(const QStringList& arguments);

    QTemporaryDir dir_;
};

void TestAdminGuard::initTestCase()
{
    QVERIFY(dir_.isValid());
    engine::configure(dir_.filePath(QStringLiteral("any.fdb")));
    const auto run = init(dir_.filePath(QStringLiteral("audited")), dir_.filePath(QStringLiteral("audited.FDB")), {QStringLiteral("--rules")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    RawFirebird db(dir_.filePath(QStringLiteral("audited.FDB")).toStdString(), "SYSDBA", "x");
    db.execute({"INSERT INTO POS_DAY VALUES ('A001', '2026/12/07', '08:00:00', '', '', 'Amy', 'C1')",
                "UPDATE POS_DAY SET TIME_OUT = '17:00:00' WHERE EMPLOYEE_ID = 'A001'"});
}

test::ToolRun TestAdminGuard::init(const QString& site, const QString& database, const QStringList& more)
{
    return runTool(QStringLiteral("kordane-admin"),
                   QStringList {QStringLiteral("init"), QStringLiteral("--dir"), site, QStringLiteral("--database"), database,
                                QStringLiteral("--no-demo-rows")}
                       + more);
}

test::ToolRun TestAdminGuard::audit(const QStringList& arguments)
{
    return runTool(QStringLiteral("kordane-admin"), QStringList {QStringLiteral("audit")} + arguments + QStringList {QStringLiteral("--connections"), dir_.filePath(QStringLiteral("audited/dbxconnections.ini"))});
}

// A second init into a site's folder names the database its connections file names, by
// any path, or says to replace the file: otherwise nothing is made and the file stays.
void TestAdminGuard::initKeepsTheSiteItNames()
{
    const QString site = dir_.filePath(QStringLiteral("site"));
    const QString first = dir_.filePath(QStringLiteral("first.FDB"));
    const QString second = dir_.filePath(QStringLiteral("second.FDB"));
    const QString connections = site + QStringLiteral("/dbxconnections.ini");
    auto run = init(site, first);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QByteArray written = bytesOf(connections);

    run = init(site, second);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("kordane-admin: %1 names the database %2, not %3; nothing made (--replace-connections replaces the file)\n").arg(connections, first, second));
    QVERIFY(!QFile::exists(second));
    QCOMPARE(bytesOf(connections), written);

    // The same database by another path is the site's own: kept without a word.
    run = init(site, dir_.path() + QStringLiteral("/site/../first.FDB"));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("database %1 exists; left as it is\n").arg(first));
    QCOMPARE(bytesOf(connections), written);

    // Told to replace it, init writes it for the new database, for its owner only.
    run = init(site, second, {QStringLiteral("--replace-connections")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("created %1\nreplaced %2 (it named %3)\n").arg(second, connections, first));
    QVERIFY(bytesOf(connections).contains("\nDatabase=" + second.toUtf8() + '\n'));
    QCOMPARE(QFile::permissions(connections), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    QCOMPARE(QDir(site).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temporary left
}

// A folder that cannot take the files stops init before it makes the database, so that
// running it again where it can does not find a database without its files.
void TestAdminGuard::initMakesNothingItCannotFinish()
{
    const QString plain = dir_.filePath(QStringLiteral("plain"));
    QFile file(plain);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString database = dir_.filePath(QStringLiteral("unfinished.FDB"));
    const auto run = init(plain + QStringLiteral("/site"), database);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("kordane-admin: cannot make the directory %1/site\n").arg(plain));
    QVERIFY(!QFile::exists(database));
}

void TestAdminGuard::auditRefusesImpossibleTimes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    const auto row = [](const char* tag, const QStringList& arguments, const QString& error) {
        QTest::newRow(tag) << arguments << QStringLiteral("kordane-admin: ") + error + u'\n';
    };
    const QString since = QStringLiteral("--since");
    const QString date = QStringLiteral("--date");
    row("hour 25", {since, QStringLiteral("2026-12-10 25:00")}, QStringLiteral("--since 2026-12-10 25:00 is no real date and time"));
    row("February 29", {since, QStringLiteral("2026-02-29")}, QStringLiteral("--since 2026-02-29 is no real date and time"));
    row("time zone", {since, QStringLiteral("2026-12-10T08:00:00Z")}, QStringLiteral("--since takes YYYY-MM-DD or YYYY-MM-DD HH:MM[:SS], not 2026-12-10T08:00:00Z"));
    row("date 2024/13/45", {date, QStringLiteral("2024/13/45")}, QStringLiteral("--date 2024/13/45 is no real date"));
    row("date with dashes", {date, QStringLiteral("2026-12-07")}, QStringLiteral("--date takes YYYY/MM/DD, not 2026-12-07"));
}

// One line and exit status 2, and nothing listed.
void TestAdminGuard::auditRefusesImpossibleTimes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    const auto run = audit(arguments);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.err, error);
    QCOMPARE(run.out, QString());
}

void TestAdminGuard::auditTakesRealTimes()
{
    const auto title = [&](const QStringList& arguments) {
        const auto run = audit(arguments);
        return run.exitCode == 0 ? run.out.section(u'\n', 0, 0) : run.err;
    };
    const QString two = QStringLiteral("Audit trail of POS_DAY: 2 entries");
    const QString none = QStringLiteral("Audit trail of POS_DAY: 0 entries");
    QCOMPARE(title({QStringLiteral("--since"), QStringLiteral("2000-02-29 23:59:59")}), two);
    QCOMPARE(title({QStringLiteral("--since"), QStringLiteral("2999-12-31")}), none);
    QCOMPARE(title({QStringLiteral("--date"), QStringLiteral("2026/12/07")}), two);
}

QTEST_GUILESS_MAIN(TestAdminGuard)
#include "tst_adminguard.moc"
