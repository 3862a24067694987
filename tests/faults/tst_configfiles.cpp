// What may stand in place of the three files the program reads (a FIFO, a link to
// /dev/zero, a file over the limit), and a server that takes the connection and never
// answers: the window's start-up, kordane-report and kordane-admin each say which file or
// server and why, and a termination signal ends a tool while it waits for the server.
#include "tests/support/SilentServer.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/ToolRun.h"
#include "tests/support/UnusableFile.h"
#include "tests/support/WindowFixture.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTest>

#include <csignal>

using namespace kordane;
using namespace kordane::test;

namespace {

const QString window = QStringLiteral("the window");
const QString report = QStringLiteral("kordane-report");
const QString admin = QStringLiteral("kordane-admin");
const QString connections = QStringLiteral("The connections file");
const QString drivers = QStringLiteral("The drivers file");
const QString settings = QStringLiteral("The settings store");

QStringList argumentsOf(const QString& tool)
{
    return tool == report ? QStringList {QStringLiteral("day"), QStringLiteral("2024/03/05")}
                          : QStringList {QStringLiteral("employees"), QStringLiteral("export")};
}

// A database and a settings store of a tool's own, the store naming the database's files.
struct ToolSite {
    TestDatabase db;
    QTemporaryDir storeDir;
    ToolSite()
    {
        db.release();
        pointSettingsAt(storeDir.path(), db.connectionsFile(), db.driversFile());
    }
    QString storeFile() const { return storeDir.filePath(QStringLiteral("Kordane/dbExpress.conf")); }
    // With an admin's password, which a server's database needs.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), storeDir.path());
        env.insert(QStringLiteral("ISC_PASSWORD"), QStringLiteral("x"));
        return env;
    }
};

QString silentServerText(const SilentServer& server, int timeout)
{
    return TestDatabase::connectionsTextFor(server.database(), QStringLiteral("x"))
        + (timeout ? QStringLiteral("Connection Timeout=%1\n").arg(timeout) : QString());
}

} // namespace

class TestConfigFiles : public QObject {
    Q_OBJECT
private slots:
    void saysWhichFile_data();
    void saysWhichFile();
    void unansweredServer_data();
    void unansweredServer();
    void signalEndsToolWaitingForServer_data();
    void signalEndsToolWaitingForServer();
};

void TestConfigFiles::saysWhichFile_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("file");
    QTest::addColumn<Unusable>("kind");
    for (const QString& where : {window, report, admin}) {
        // The admin tool reads no drivers file.
        for (const QString& file : where == admin ? QStringList {connections, settings} : QStringList {connections, drivers, settings}) {
            const QByteArray row = (where + u',' + file.toLower().mid(3)).toUtf8();
            QTest::addRow("%s a FIFO", row.constData()) << where << file << Unusable::Fifo;
            QTest::addRow("%s a link to /dev/zero", row.constData()) << where << file << Unusable::Zero;
            QTest::addRow("%s 1 MB and a byte", row.constData()) << where << file << Unusable::OverLimit;
        }
    }
}

// In the window the error reaches the one error display as any failed connect does; a
// tool prints it as its one line.
void TestConfigFiles::saysWhichFile()
{
    QFETCH(QString, where);
    QFETCH(QString, file);
    QFETCH(Unusable, kind);
    const auto pathOf = [&](const TestDatabase& db, const QString& storeFile) {
        return file == connections ? db.connectionsFile() : file == drivers ? db.driversFile()
                                                                            : storeFile;
    };
    if (where == window) {
        WindowFixture f;
        // Where the fixture has pointed the store.
        const QString path = pathOf(f.db(), QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kordane"), QStringLiteral("dbExpress")).fileName());
        QVERIFY(makeUnusable(path, kind));
        f.window();
        QCOMPARE(f.errors(), QStringList {QStringLiteral("%1 %2 %3.").arg(file, path, refusalOf(kind))});
        return;
    }
    ToolSite site;
    const QString path = pathOf(site.db, site.storeFile());
    QVERIFY(makeUnusable(path, kind));
    const ToolRun run = runTool(where, argumentsOf(where), site.environment());
    QCOMPARE(run.err, QStringLiteral("%1: %2 %3 %4\n").arg(where, file, path, refusalOf(kind)));
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
}

void TestConfigFiles::unansweredServer_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("timeout"); // 0: no Connection Timeout in the file
    QTest::newRow("the window's start-up") << window << 1;
    QTest::newRow("kordane-report") << report << 1;
    QTest::newRow("kordane-admin") << admin << 1;
    QTest::newRow("kordane-report, by default") << report << 0;
}

// Given up on after the connections file's Connection Timeout (15 s without one), and
// said so, instead of the client's own 180 s and its "connection rejected by remote
// interface".
void TestConfigFiles::unansweredServer()
{
    QFETCH(QString, where);
    QFETCH(int, timeout);
    SilentServer server;
    const QString said = QStringLiteral("The server %1 did not answer within %2 s").arg(server.address()).arg(timeout ? timeout : 15);
    if (where == window) {
        WindowFixture f;
        f.db().writeConnectionsFile(silentServerText(server, timeout));
        f.window();
        QCOMPARE(f.errors(), QStringList {said + u'.'});
        return;
    }
    ToolSite site;
    site.db.writeConnectionsFile(silentServerText(server, timeout));
    const ToolRun run = runTool(where, argumentsOf(where), site.environment());
    QCOMPARE(run.err, where + QStringLiteral(": ") + said + u'\n');
    QCOMPARE(run.exitCode, 1);
}

void TestConfigFiles::signalEndsToolWaitingForServer_data()
{
    QTest::addColumn<QString>("tool");
    QTest::newRow("kordane-report") << report;
    QTest::newRow("kordane-admin") << admin;
}

// The Firebird client takes SIGTERM for itself: the tool waited out the whole timeout and
// then went on as if nothing had come.
void TestConfigFiles::signalEndsToolWaitingForServer()
{
    QFETCH(QString, tool);
    SilentServer server;
    ToolSite site;
    site.db.writeConnectionsFile(silentServerText(server, 120));
    QProcess process;
    process.setProcessEnvironment(site.environment());
    process.start(QCoreApplication::applicationDirPath() + u'/' + tool, argumentsOf(tool));
    QVERIFY(process.waitForStarted());
    QVERIFY(server.waitForClient());
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    QVERIFY2(process.waitForFinished(20000), "still running after the signal");
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
}

QTEST_MAIN(TestConfigFiles)
#include "tst_configfiles.moc"
