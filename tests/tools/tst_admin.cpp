// The admin tool on embedded databases as an admin uses it: employees loaded from CSV
// and written back, each refusal with its line, all or nothing; every failure one line;
// the window and the tool on one database at once, also for a user outside the
// firebird group.
#include "data/sql/EmbeddedEngine.h"
#include "tests/support/SilentServer.h"
#include "tests/support/ToolRun.h"
#include "tools/rawfb/RawFirebird.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

#include <sys/resource.h>
#include <unistd.h>

using namespace kordane;
using test::runTool;

namespace {

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray cp950(const QString& text)
{
    QStringEncoder encoder("windows-950");
    return encoder.encode(text);
}

const QString header = QStringLiteral("EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID\n");
const QString keyLine = QStringLiteral("one record per INI_DATE, EMPLOYEE_ID, TIME_IN, TIME_OUT: ");

} // namespace

class TestAdmin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void roundTrip();
    void refusals_data();
    void refusals();
    void fileErrors_data();
    void fileErrors();
    void helpOnEachCommand();
    void rulesOnAnExistingSite();
    void duplicatesOnAnExistingSite();
    void auditListing();
    void twoProgramsOneDatabase();
    void deskWithoutRoot();
    void failedInitLeavesNoDatabase();
    void initOnASilentServerGivesUp();

private:
    // A new site's empty database in the test's directory, and its connections file.
    QString newSite(const QString& name);
    test::ToolRun admin(const QString& site, QStringList arguments);
    QString exported(const QString& site);

    QTemporaryDir dir_;
};

void TestAdmin::initTestCase()
{
    QVERIFY(dir_.isValid());
    // This process looks at the databases too: with the engine set up as the tools set it up.
    engine::configure(dir_.filePath(QStringLiteral("any.fdb")));
}

QString TestAdmin::newSite(const QString& name)
{
    const QString site = dir_.filePath(name);
    const auto run = runTool(QStringLiteral("kordane-admin"), {QStringLiteral("init"), QStringLiteral("--dir"), site, QStringLiteral("--database"), dir_.filePath(name + QStringLiteral(".FDB")), QStringLiteral("--no-demo-rows")});
    if (run.exitCode != 0)
        qWarning("%s", qPrintable(run.err));
    return site;
}

test::ToolRun TestAdmin::admin(const QString& site, QStringList arguments)
{
    arguments << QStringLiteral("--connections") << site + QStringLiteral("/dbxconnections.ini");
    return runTool(QStringLiteral("kordane-admin"), arguments);
}

QString TestAdmin::exported(const QString& site)
{
    const auto run = admin(site, {QStringLiteral("employees"), QStringLiteral("export")});
    return run.exitCode == 0 ? run.out : QStringLiteral("failed: ") + run.err;
}

void TestAdmin::roundTrip()
{
    const QString site = newSite(QStringLiteral("roundtrip"));
    const QString file = dir_.filePath(QStringLiteral("employees.csv"));
    // Columns in another order, a BOM, CRLF, a quoted comma and quote, an empty card.
    QVERIFY(writeBytes(file, QStringLiteral("\uFEFFCARD_ID,EMPLOYEE_ID,EMPLOYEE_NAME\r\n"
                                            "0012345678,A001,陳志明\r\n"
                                            ",A002,\"林, \"\"美玲\"\"\"\r\n"
                                            "0023456701,B101,黃雅婷\r\n")
                                 .toUtf8()));
    auto run = admin(site, {QStringLiteral("employees"), QStringLiteral("import"), file});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("added 3, changed 0, unchanged 0, refused 0\n"));

    // Stored as the program reads them: code page 950 bytes.
    RawFirebird db(dir_.filePath(QStringLiteral("roundtrip.FDB")).toStdString(), "SYSDBA", "x");
    const auto rows = db.query("SELECT EMPLOYEE_NAME, CARD_ID FROM EMPLOYEE WHERE EMPLOYEE_ID = 'A001'");
    QCOMPARE(rows.size(), std::size_t(1));
    QCOMPARE(QByteArray::fromStdString(rows[0][0].value()), cp950(QStringLiteral("陳志明")));

    const QString text = exported(site);
    QCOMPARE(text, header + QStringLiteral("A001,陳志明,0012345678\n"
                                           "A002,\"林, \"\"美玲\"\"\",\n"
                                           "B101,黃雅婷,0023456701\n"));
    // Export then import changes nothing; the same file in Big5 neither.
    QVERIFY(writeBytes(file, text.toUtf8()));
    run = admin(site, {QStringLiteral("employees"), QStringLiteral("import"), file});
    QCOMPARE(run.out, QStringLiteral("added 0, changed 0, unchanged 3, refused 0\n"));
    QVERIFY(writeBytes(file, cp950(text)));
    run = admin(site, {QStringLiteral("employees"), QStringLiteral("import"), file, QStringLiteral("--encoding"), QStringLiteral("big5")});
    QCOMPARE(run.out, QStringLiteral("added 0, changed 0, unchanged 3, refused 0\n"));

    // A dry run counts and writes nothing; then the change is made.
    QVERIFY(writeBytes(file, (header + QStringLiteral("A001,陳志明,999\nC001,新人,\n")).toUtf8()));
    run = admin(site, {QStringLiteral("employees"), QStringLiteral("import"), QStringLiteral("--dry-run"), file});
    QCOMPARE(run.out, QStringLiteral("added 1, changed 1, unchanged 0, refused 0\ndry run: nothing written\n"));
    QCOMPARE(exported(site), text);
    run = admin(site, {QStringLiteral("employees"), QStringLiteral("import"), file});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(exported(site).contains(QStringLiteral("A001,陳志明,999\n")));
    QVERIFY(exported(site).contains(QStringLiteral("C001,新人,\n")));
}

void TestAdmin::refusals_data()
{
    QTest::addColumn<QByteArray>("line3"); // after a valid new employee and a valid change
    QTest::addColumn<QString>("reason");
    QTest::newRow("code page") << QStringLiteral("C9,😀,1\n").toUtf8()
                               << "line 4: EMPLOYEE_NAME: Character '😀' (U+1F600) cannot be represented in the character set windows-950";
    QTest::newRow("too wide") << QStringLiteral("C9,%1,1\n").arg(QString(21, QChar(u'陳'))).toUtf8()
                              << QStringLiteral("line 4: EMPLOYEE_NAME '") + QString(21, QChar(u'陳')) + QStringLiteral("' is 42 bytes, wider than the column's 40");
    QTest::newRow("no code") << QByteArray(",nobody,1\n") << "line 4: no EMPLOYEE_ID";
    QTest::newRow("repeated") << QByteArray("A001,again,1\n") << "line 4: EMPLOYEE_ID 'A001' repeated (first on line 3)";
    QTest::newRow("field count") << QByteArray("C9,x\n") << "line 4: malformed CSV: 2 fields, not 3";
    QTest::newRow("quote not closed") << QByteArray("C9,\"x,1\n") << "line 4: malformed CSV: a quoted field is not closed";
    QTest::newRow("stray quote") << QByteArray("C9,x\"y,1\n") << "line 4: malformed CSV: a quote inside a field that does not start with one";
    QTest::newRow("not UTF-8") << QByteArray("C9,\xB3\xAF,1\n") << "line 4: malformed CSV: bytes that are no text in the file's encoding";
}

void TestAdmin::refusals()
{
    QFETCH(QByteArray, line3);
    QFETCH(QString, reason);
    const QString site = newSite(QStringLiteral("refusals_") + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_'));
    const QString file = dir_.filePath(QStringLiteral("refusals.csv"));
    QVERIFY(writeBytes(file, (header + QStringLiteral("A001,陳志明,1\n")).toUtf8()));
    QCOMPARE(admin(site, {QStringLiteral("employees"), QStringLiteral("import"), file}).exitCode, 0);
    const QString before = exported(site);

    QVERIFY(writeBytes(file, (header + QStringLiteral("B001,林美玲,2\nA001,陳志明,3\n")).toUtf8() + line3));
    const auto run = admin(site, {QStringLiteral("employees"), QStringLiteral("import"), file});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.startsWith(QStringLiteral("added 1, changed 1, unchanged 0, refused 1")), qPrintable(run.out));
    const QStringList lines = run.err.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), reason);
    QCOMPARE(lines.value(1), QStringLiteral("kordane-admin: nothing written: 1 line refused"));
    QCOMPARE(lines.size(), 2);
    // All or nothing: neither the new employee nor the change was written.
    QCOMPARE(exported(site), before);
}

void TestAdmin::fileErrors_data()
{
    QTest::addColumn<QStringList>("arguments"); // %1: the test's directory
    QTest::addColumn<QString>("error");
    QTest::newRow("no connections file")
        << QStringList {QStringLiteral("employees"), QStringLiteral("export"), QStringLiteral("--connections"), QStringLiteral("%1/none.ini")}
        << "kordane-admin: connections file %1/none.ini not found";
    QTest::newRow("header") << QStringList {QStringLiteral("employees"), QStringLiteral("import"), QStringLiteral("%1/badheader.csv"),
                                            QStringLiteral("--connections"), QStringLiteral("%1/errors/dbxconnections.ini")}
                            << "kordane-admin: %1/badheader.csv line 1: the header must name EMPLOYEE_ID, EMPLOYEE_NAME and CARD_ID, each once, and may name DEPARTMENT once";
    QTest::newRow("clerk on a file") << QStringList {QStringLiteral("clerk"), QStringLiteral("add"), QStringLiteral("mary"),
                                                     QStringLiteral("--connections"), QStringLiteral("%1/errors/dbxconnections.ini")}
                                     << "kordane-admin: clerks' accounts are for a database on a server; %1/errors.FDB is a file, "
                                        "and the embedded engine checks no password";
    QTest::newRow("unknown command") << QStringList {QStringLiteral("employee")}
                                     << "kordane-admin: unknown command employee (kordane-admin --help lists them)";
    QTest::newRow("unknown option") << QStringList {QStringLiteral("init"), QStringLiteral("--force")}
                                    << "kordane-admin: Unknown option 'force'. (%2/kordane-admin init --help)";
}

void TestAdmin::fileErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    if (!QFile::exists(dir_.filePath(QStringLiteral("errors"))))
        newSite(QStringLiteral("errors"));
    QVERIFY(writeBytes(dir_.filePath(QStringLiteral("badheader.csv")), "EMPLOYEE_ID,NAME,CARD_ID\nA1,x,1\n"));
    for (QString& argument : arguments)
        argument.replace(QStringLiteral("%1"), dir_.path());
    const auto run = runTool(QStringLiteral("kordane-admin"), arguments);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QString(error).replace(QStringLiteral("%1"), dir_.path()).replace(QStringLiteral("%2"), QCoreApplication::applicationDirPath()) + u'\n');
}

void TestAdmin::helpOnEachCommand()
{
    const QList<QStringList> commands = {{}, {QStringLiteral("init")}, {QStringLiteral("employees")}, {QStringLiteral("employees"), QStringLiteral("import")}, {QStringLiteral("employees"), QStringLiteral("export")}, {QStringLiteral("clerk")}, {QStringLiteral("clerk"), QStringLiteral("add")}, {QStringLiteral("clerk"), QStringLiteral("remove")}, {QStringLiteral("rules")}, {QStringLiteral("rules"), QStringLiteral("install")}, {QStringLiteral("rules"), QStringLiteral("remove")}, {QStringLiteral("rules"), QStringLiteral("status")}, {QStringLiteral("audit")}};
    for (const QStringList& command : commands) {
        const auto run = runTool(QStringLiteral("kordane-admin"), command + QStringList {QStringLiteral("--help")});
        QVERIFY2(run.exitCode == 0 && run.out.startsWith(QStringLiteral("Usage: ")), qPrintable(command.join(u' ')));
        QVERIFY2(run.out.contains(command.join(u' ')), qPrintable(run.out));
    }
    // The earlier name is init.
    const auto run = runTool(QStringLiteral("kordane-makedb"), {QStringLiteral("--help")});
    QVERIFY(run.out.contains(QStringLiteral("--no-demo-rows")));
}

// Records stored before the rules that break them stop an install unless forced, and are
// never changed; installing twice changes nothing; removing keeps the audit trail.
void TestAdmin::rulesOnAnExistingSite()
{
    const QString site = newSite(QStringLiteral("rules"));
    RawFirebird db(dir_.filePath(QStringLiteral("rules.FDB")).toStdString(), "SYSDBA", "x");
    db.execute({"INSERT INTO POS_DAY VALUES ('A001', '2026/12/07', '08:00:00', '17:00:00', '\xA4\x40', 'Amy', 'C1')",
                "INSERT INTO POS_DAY VALUES ('A002', '2026/12/07', '08:00:00', '17:00:00', '\xA4\x47', 'Bob', 'C2')",
                "INSERT INTO POS_DAY VALUES ('A003', '2026/2/7', '8:00', '', '', 'Cy', 'C3')"});
    const auto rules = [&](const QStringList& arguments) { return admin(site, QStringList {QStringLiteral("rules")} + arguments); };
    const QString listing = QStringLiteral(
        "Stored records that break the rules:\n"
        "EMPLOYEE_ID  INI_DATE    TIME_IN   TIME_OUT  BILL_WEEK  BREAKS\n"
        "-----------  ----------  --------  --------  ---------  -----------------\n"
        "A002         2026/12/07  08:00:00  17:00:00  二         BILL_WEEK\n"
        "A003         2026/2/7    8:00                           INI_DATE, TIME_IN\n");
    const QString notInstalled = QStringLiteral("checks: not installed\n%1not installed\naudit trail: not installed\n").arg(keyLine);

    auto run = rules({QStringLiteral("install"), QStringLiteral("--check")});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, listing);
    QCOMPARE(run.err, QStringLiteral("kordane-admin: 2 stored records break the rules\n"));
    run = rules({QStringLiteral("install")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("nothing installed")), qPrintable(run.err));
    QCOMPARE(rules({QStringLiteral("status")}).out, notInstalled);

    for (int time = 0; time < 2; ++time) {
        run = rules({QStringLiteral("install"), QStringLiteral("--force")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(run.out.startsWith(listing));
        QVERIFY(run.out.endsWith(QStringLiteral("2 stored records break the rules and stays as it is; the rules hold for new writes\n")));
        db.execute("INSERT INTO POS_DAY VALUES ('A004', '2026/12/08', '0" + std::to_string(8 + time) + ":00:00', '', '', 'Di', 'C4')");
    }
    QCOMPARE(rules({QStringLiteral("status")}).out,
             QStringLiteral("checks: installed\n%1installed\naudit trail: installed, POS_DAY_AUDIT with 2 entries\n").arg(keyLine));
    QCOMPARE(db.query("SELECT COUNT(*) FROM RDB$TRIGGERS WHERE RDB$RELATION_NAME = 'POS_DAY' AND RDB$TRIGGER_NAME <> 'POS_DAY_PERIOD_LOCK'")[0][0], std::optional<std::string>("2"));
    QCOMPARE(db.query("SELECT COUNT(*) FROM POS_DAY WHERE INI_DATE = '2026/2/7' AND TIME_IN = '8:00'")[0][0], std::optional<std::string>("1"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.execute("INSERT INTO POS_DAY VALUES ('A005', '2026/12/08', '8:00', '', '', '', '')"));

    // A clean database installs without --force.
    db.execute("DELETE FROM POS_DAY WHERE EMPLOYEE_ID IN ('A002', 'A003')");
    run = rules({QStringLiteral("install"), QStringLiteral("--check")});
    QCOMPARE(run.out, QStringLiteral("no stored record breaks the rules\n"));
    QCOMPARE(rules({QStringLiteral("install")}).exitCode, 0);

    run = rules({QStringLiteral("remove")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("rules removed; POS_DAY_AUDIT kept with 4 entries\n"));
    QCOMPARE(rules({QStringLiteral("status")}).out,
             QStringLiteral("checks: not installed\n%1not installed\naudit trail: not installed, POS_DAY_AUDIT with 4 entries\n").arg(keyLine));
    QCOMPARE(rules({QStringLiteral("remove")}).out, QStringLiteral("no rules installed; nothing to remove\n"));
    db.execute("INSERT INTO POS_DAY VALUES ('A005', '2026/12/08', '8:00', '', '', '', '')");
    QCOMPARE(db.query("SELECT COUNT(*) FROM POS_DAY_AUDIT")[0][0], std::optional<std::string>("4"));
}

// Records stored twice (as the window's check compares them: trailing blanks aside, no null
// equal to another) are listed and stop an install unless forced; forced, the other rules
// hold for them, and the unique key waits until each is stored once.
void TestAdmin::duplicatesOnAnExistingSite()
{
    const QString site = newSite(QStringLiteral("duplicates"));
    RawFirebird db(dir_.filePath(QStringLiteral("duplicates.FDB")).toStdString(), "SYSDBA", "x");
    const std::string amy = "INSERT INTO POS_DAY VALUES ('A001', '2026/12/07', '08:00:00', '17:00:00', '', 'Amy', 'C1')";
    db.execute({amy, "INSERT INTO POS_DAY VALUES ('A001 ', '2026/12/07', '08:00:00', '17:00:00', '', NULL, 'C1')",
                "INSERT INTO POS_DAY VALUES ('A002', '2026/12/07', '08:00:00', NULL, '', 'Bob', 'C2')",
                "INSERT INTO POS_DAY VALUES ('A002', '2026/12/07', '08:00:00', NULL, '', 'Bob', 'C2')",
                "INSERT INTO POS_DAY VALUES ('A002', '2026/12/07', '08:00:00', '', '', 'Bob', 'C2')"});
    const auto rules = [&](const QStringList& arguments) { return admin(site, QStringList {QStringLiteral("rules")} + arguments); };
    const QString twice = QStringLiteral("A001         2026/12/07  08:00:00  17:00:00             DUPLICATE\n");
    auto run = rules({QStringLiteral("install"), QStringLiteral("--check")});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QStringLiteral("Stored records that break the rules:\n"
                                     "EMPLOYEE_ID  INI_DATE    TIME_IN   TIME_OUT  BILL_WEEK  BREAKS\n"
                                     "-----------  ----------  --------  --------  ---------  ---------\n")
                 + twice + twice);
    QCOMPARE(run.err, QStringLiteral("kordane-admin: 2 stored records break the rules\n"));
    QCOMPARE(rules({QStringLiteral("install")}).exitCode, 1);

    run = rules({QStringLiteral("install"), QStringLiteral("--force")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(keyLine + QStringLiteral("not installed while stored records are duplicates")), qPrintable(run.out));
    QCOMPARE(rules({QStringLiteral("status")}).out,
             QStringLiteral("checks: installed\n%1not installed, 2 stored records are duplicates (rules install --check lists "
                            "them)\naudit trail: installed, POS_DAY_AUDIT with 0 entries\n")
                 .arg(keyLine));
    db.execute("UPDATE POS_DAY SET EMPLOYEE_NAME = 'Amy' WHERE EMPLOYEE_NAME IS NULL"); // as the start-up's backfill
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.execute(amy));

    db.execute("DELETE FROM POS_DAY WHERE OCTET_LENGTH(EMPLOYEE_ID) = 5");
    run = rules({QStringLiteral("install")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(rules({QStringLiteral("status")}).out.contains(u'\n' + keyLine + QStringLiteral("installed\n")));
    QCOMPARE(rules({QStringLiteral("remove")}).exitCode, 0);
    QVERIFY(rules({QStringLiteral("status")}).out.contains(u'\n' + keyLine + QStringLiteral("not installed\n")));
    db.execute(amy);
}

void TestAdmin::auditListing()
{
    const QString site = dir_.filePath(QStringLiteral("audited"));
    auto run = runTool(QStringLiteral("kordane-admin"), {QStringLiteral("init"), QStringLiteral("--dir"), site, QStringLiteral("--database"), dir_.filePath(QStringLiteral("audited.FDB")), QStringLiteral("--no-demo-rows"), QStringLiteral("--rules")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    RawFirebird db(dir_.filePath(QStringLiteral("audited.FDB")).toStdString(), "SYSDBA", "x");
    db.execute({"INSERT INTO POS_DAY VALUES ('A001', '2026/12/07', '08:00:00', '', '\xA4\x40', NULL, 'C1')",
                "INSERT INTO POS_DAY VALUES ('A002', '2026/12/08', '09:00:00', '18:00:00', '', 'Bob', 'C2')",
                "UPDATE POS_DAY SET TIME_OUT = '17:00:00', EMPLOYEE_NAME = '" + cp950(QStringLiteral("陳志明")).toStdString() + "' WHERE EMPLOYEE_ID = 'A001'",
                "DELETE FROM POS_DAY WHERE EMPLOYEE_ID = 'A002'"});
    const auto audit = [&](const QStringList& arguments) {
        return admin(site, QStringList {QStringLiteral("audit")} + arguments);
    };
    run = audit({});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QStringList lines = run.out.split(u'\n');
    QCOMPARE(lines.value(0), QStringLiteral("Audit trail of POS_DAY: 4 entries"));
    QVERIFY(lines.value(1).startsWith(QStringLiteral("CHANGED_AT           USER_NAME  CLIENT_ADDRESS  CLIENT_PROCESS")));
    // Oldest first; an update shows what changed, and texts come back as UTF-8.
    QStringList actions;
    for (int i = 3; i < 7; ++i)
        actions << lines.value(i).mid(lines.value(1).indexOf(QStringLiteral(" ACTION")) + 1, 6);
    QVERIFY2(actions == (QStringList {QStringLiteral("INSERT"), QStringLiteral("INSERT"), QStringLiteral("UPDATE"), QStringLiteral("DELETE")}), qPrintable(run.out));
    QVERIFY2(lines.value(5).contains(QStringLiteral("UPDATE  A001         2026/12/07  08:00:00  → 17:00:00  一         → 陳志明")), qPrintable(run.out));
    QVERIFY2(lines.value(6).contains(QStringLiteral("DELETE  A002         2026/12/08  09:00:00  18:00:00")), qPrintable(run.out));

    run = audit({QStringLiteral("--csv"), QStringLiteral("--employee"), QStringLiteral("A001")});
    lines = run.out.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 4); // header, two entries, the empty end
    QVERIFY(lines.value(0).startsWith(QStringLiteral("CHANGED_AT,USER_NAME,CLIENT_ADDRESS,CLIENT_PROCESS,TRANSACTION_ID,ACTION,OLD_EMPLOYEE_ID,NEW_EMPLOYEE_ID,")));
    // The embedded engine is told the program that wrote, as a server is.
    QVERIFY2(lines.value(2).contains(QStringLiteral(",SYSDBA,embedded,%1,").arg(QCoreApplication::applicationFilePath())), qPrintable(lines.value(2)));
    QVERIFY2(lines.value(2).endsWith(QStringLiteral(",UPDATE,A001,A001,2026/12/07,2026/12/07,08:00:00,08:00:00,,17:00:00,一,一,,陳志明,C1,C1")),
             qPrintable(lines.value(2)));
    QCOMPARE(audit({QStringLiteral("--date"), QStringLiteral("2026/12/08")}).out.section(u'\n', 0, 0),
             QStringLiteral("Audit trail of POS_DAY: 2 entries"));
    QCOMPARE(audit({QStringLiteral("--since"), QStringLiteral("2999-01-01 00:00")}).out.section(u'\n', 0, 0),
             QStringLiteral("Audit trail of POS_DAY: 0 entries"));
    QCOMPARE(audit({QStringLiteral("--since"), QStringLiteral("2000-01-01")}).out.section(u'\n', 0, 0),
             QStringLiteral("Audit trail of POS_DAY: 4 entries"));
    run = audit({QStringLiteral("--since"), QStringLiteral("yesterday")});
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.err, QStringLiteral("kordane-admin: --since takes YYYY-MM-DD or YYYY-MM-DD HH:MM[:SS], not yesterday\n"));
    run = admin(newSite(QStringLiteral("unaudited")), {QStringLiteral("audit")});
    QCOMPARE(run.err, QStringLiteral("kordane-admin: the database keeps no audit trail (kordane-admin rules install starts one)\n"));
}

void TestAdmin::twoProgramsOneDatabase()
{
    const QString site = newSite(QStringLiteral("shared"));
    const QString database = dir_.filePath(QStringLiteral("shared.FDB"));
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral(".config/Kordane"));
    QVERIFY(writeBytes(home.filePath(QStringLiteral(".config/Kordane/dbExpress.conf")),
                       QStringLiteral("[General]\nConnection Registry File=%1/dbxconnections.ini\nDriver Registry File=%1/dbxdrivers.ini\n")
                           .arg(site)
                           .toUtf8()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral(".cache")));

    // The window twice, this process attached too, and the admin tool writing meanwhile.
    RawFirebird mine(database.toStdString(), "SYSDBA", "x");
    QProcess windows[2];
    for (QProcess& window : windows) {
        window.setProcessEnvironment(env);
        window.start(QCoreApplication::applicationDirPath() + QStringLiteral("/Kordane"), {});
        QVERIFY2(test::waitUntilAttached(window, database), window.readAllStandardError().constData());
    }
    const QString file = dir_.filePath(QStringLiteral("shared.csv"));
    QVERIFY(writeBytes(file, (header + QStringLiteral("A001,陳志明,1\n")).toUtf8()));
    const auto run = admin(site, {QStringLiteral("employees"), QStringLiteral("import"), file});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(mine.query("SELECT COUNT(*) FROM EMPLOYEE")[0][0].value(), std::string("1"));
    for (QProcess& window : windows) {
        QVERIFY(window.state() == QProcess::Running);
        window.terminate();
        QVERIFY(window.waitForFinished(10000));
        QCOMPARE(window.exitCode(), 0);
    }
}

void TestAdmin::deskWithoutRoot()
{
    if (::geteuid() != 0)
        QSKIP("needs root to make a throwaway user");
    const QString user = QStringLiteral("kordane-t%1").arg(QCoreApplication::applicationPid());
    QTemporaryDir parent(QStringLiteral("/tmp/kordane-desk-XXXXXX"));
    QFile::setPermissions(parent.path(), QFile::permissions(parent.path()) | QFile::ExeOther | QFile::ReadOther);
    const QString home = parent.filePath(QStringLiteral("home"));
    if (QProcess::execute(QStringLiteral("useradd"), {QStringLiteral("-m"), QStringLiteral("-d"), home, user}) != 0)
        QSKIP("useradd failed: cannot make a throwaway user here");
    const auto cleanup = qScopeGuard([&] { QProcess::execute(QStringLiteral("userdel"), {QStringLiteral("-r"), user}); });
    // Neither root nor in the firebird group; the program's directory must be reachable.
    const QString bin = QCoreApplication::applicationDirPath();
    const QString script = QStringLiteral(
                               "set -e; cd; export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache\n"
                               "%1/kordane-admin init --dir site --database $HOME/site/KORDANE.FDB\n"
                               "mkdir -p .config/Kordane\n"
                               "printf '[General]\\nConnection Registry File=%s\\nDriver Registry File=%s\\n' $HOME/site/dbxconnections.ini "
                               "$HOME/site/dbxdrivers.ini > .config/Kordane/dbExpress.conf\n"
                               "%1/Kordane & pid=$!; trap 'kill $pid 2>/dev/null' EXIT\n"
                               "for i in $(seq 100); do ls -l /proc/$pid/fd 2>/dev/null | grep -q KORDANE.FDB && break; sleep 0.1; done\n"
                               "ls -l /proc/$pid/fd | grep -q KORDANE.FDB || { echo 'the window did not attach'; exit 1; }\n"
                               "%1/kordane-admin employees export | head -2\n"
                               "kill $pid; wait $pid; trap - EXIT\n")
                               .arg(bin);
    QProcess desk;
    desk.setProcessChannelMode(QProcess::MergedChannels);
    desk.start(QStringLiteral("runuser"), {QStringLiteral("-u"), user, QStringLiteral("--"), QStringLiteral("bash"), QStringLiteral("-c"), script});
    QVERIFY(desk.waitForFinished(120000));
    const QString output = QString::fromUtf8(desk.readAll());
    if (output.contains(QStringLiteral("Permission denied")) && output.contains(bin))
        QSKIP("the build directory is not reachable by another user");
    QVERIFY2(desk.exitCode() == 0, qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID\nA001,")), qPrintable(output));
}

// An init that fails once the database is made (here the file may grow no further than
// the tables' first pages) removes it: the next init makes it whole rather than taking
// the half-made one for the site's.
void TestAdmin::failedInitLeavesNoDatabase()
{
    const QString site = dir_.filePath(QStringLiteral("cut"));
    const QString database = dir_.filePath(QStringLiteral("cut.FDB"));
    const QStringList init = {QStringLiteral("init"), QStringLiteral("--dir"), site, QStringLiteral("--database"), database};
    QProcess cut;
    cut.setChildProcessModifier([] {
        const rlimit limit {1900 * 1024, 1900 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
    });
    cut.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kordane-admin"), init);
    QVERIFY(cut.waitForFinished(60000));
    const QString err = QString::fromUtf8(cut.readAllStandardError());
    QCOMPARE(cut.exitCode(), 1);
    QVERIFY2(err.contains(QStringLiteral("File too large")), qPrintable(err));
    QVERIFY(!QFileInfo::exists(database));
    const auto again = runTool(QStringLiteral("kordane-admin"), init);
    QVERIFY2(again.exitCode == 0 && again.out.startsWith(QStringLiteral("created ")), qPrintable(again.err + again.out));
    RawFirebird made(database.toStdString(), "SYSDBA", "x");
    QVERIFY(!made.query("SELECT FIRST 1 1 FROM POS_DAY").empty());
}

// A server that takes the connection and never answers holds init no longer than an
// attach would be held, and is named; nothing is written.
void TestAdmin::initOnASilentServerGivesUp()
{
    test::SilentServer silent;
    const QString site = dir_.filePath(QStringLiteral("silent"));
    QElapsedTimer clock;
    clock.start();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ISC_USER"), QStringLiteral("SYSDBA"));
    env.insert(QStringLiteral("ISC_PASSWORD"), QStringLiteral("x"));
    const auto run = runTool(QStringLiteral("kordane-admin"), {QStringLiteral("init"), QStringLiteral("--dir"), site, QStringLiteral("--database"), silent.database()}, env);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("kordane-admin: The server %1 did not answer within 15 s\n").arg(silent.address()));
    QVERIFY2(clock.elapsed() < 40000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!QFileInfo::exists(site + QStringLiteral("/dbxconnections.ini")));
}

QTEST_GUILESS_MAIN(TestAdmin)
#include "tst_admin.moc"
