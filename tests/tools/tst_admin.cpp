// The admin tool on embedded databases as an admin uses it: employees loaded from CSV
// and written back, each refusal with its line, all or nothing; every failure one line;
// the window and the tool on one database at once, also for a user outside the
// firebird group.
#include "EmbeddedEngine.h"
#include "RawFirebird.h"
#include "ToolRun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

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
    void twoProgramsOneDatabase();
    void deskWithoutRoot();

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
    const auto run = runTool(QStringLiteral("kordane-admin"), {QStringLiteral("init"), QStringLiteral("--dir"), site,
                                                               QStringLiteral("--database"), dir_.filePath(name + QStringLiteral(".FDB")),
                                                               QStringLiteral("--no-demo-rows")});
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
                                            "0023456701,B101,黃雅婷\r\n").toUtf8()));
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
                              << "line 4: EMPLOYEE_NAME '" + QString(21, QChar(u'陳')) + "' is 42 bytes, wider than the column's 40";
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
        << QStringList{QStringLiteral("employees"), QStringLiteral("export"), QStringLiteral("--connections"), QStringLiteral("%1/none.ini")}
        << "kordane-admin: connections file %1/none.ini not found";
    QTest::newRow("header") << QStringList{QStringLiteral("employees"), QStringLiteral("import"), QStringLiteral("%1/badheader.csv"),
                                           QStringLiteral("--connections"), QStringLiteral("%1/errors/dbxconnections.ini")}
                            << "kordane-admin: %1/badheader.csv line 1: the header must name EMPLOYEE_ID, EMPLOYEE_NAME and CARD_ID, each once";
    QTest::newRow("clerk on a file") << QStringList{QStringLiteral("clerk"), QStringLiteral("add"), QStringLiteral("mary"),
                                                    QStringLiteral("--connections"), QStringLiteral("%1/errors/dbxconnections.ini")}
                                     << "kordane-admin: clerks' accounts are for a database on a server; %1/errors.FDB is a file, "
                                        "and the embedded engine checks no password";
    QTest::newRow("unknown command") << QStringList{QStringLiteral("employee")}
                                     << "kordane-admin: unknown command employee (kordane-admin --help lists them)";
    QTest::newRow("unknown option") << QStringList{QStringLiteral("init"), QStringLiteral("--force")}
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
    const QList<QStringList> commands = {{}, {QStringLiteral("init")}, {QStringLiteral("employees")},
                                         {QStringLiteral("employees"), QStringLiteral("import")},
                                         {QStringLiteral("employees"), QStringLiteral("export")},
                                         {QStringLiteral("clerk")}, {QStringLiteral("clerk"), QStringLiteral("add")},
                                         {QStringLiteral("clerk"), QStringLiteral("remove")}};
    for (const QStringList& command : commands) {
        const auto run = runTool(QStringLiteral("kordane-admin"), command + QStringList{QStringLiteral("--help")});
        QVERIFY2(run.exitCode == 0 && run.out.startsWith(QStringLiteral("Usage: ")), qPrintable(command.join(u' ')));
        QVERIFY2(run.out.contains(command.join(u' ')), qPrintable(run.out));
    }
    // The earlier name is init.
    const auto run = runTool(QStringLiteral("kordane-makedb"), {QStringLiteral("--help")});
    QVERIFY(run.out.contains(QStringLiteral("--no-demo-rows")));
}

void TestAdmin::twoProgramsOneDatabase()
{
    const QString site = newSite(QStringLiteral("shared"));
    const QString database = dir_.filePath(QStringLiteral("shared.FDB"));
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral(".config/Kordane"));
    QVERIFY(writeBytes(home.filePath(QStringLiteral(".config/Kordane/dbExpress.conf")),
                       QStringLiteral("[General]\nConnection Registry File=%1/dbxconnections.ini\nDriver Registry File=%1/dbxdrivers.ini\n")
                           .arg(site).toUtf8()));
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
        "kill $pid; wait $pid; trap - EXIT\n").arg(bin);
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

QTEST_GUILESS_MAIN(TestAdmin)
#include "tst_admin.moc"
