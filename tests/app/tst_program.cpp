// The built program as a process: where its libraries come from, and how a signal ends it,
// also while a database call blocks.
#include "tests/support/SilentServer.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/WindowFixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace kordane;

namespace {

QString binDir()
{
    return QCoreApplication::applicationDirPath();
}

QByteArray procFile(qint64 pid, const char* name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1StringView(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The Firebird client's file as the process mapped it, once the start-up has loaded it.
QString mappedClient(qint64 pid)
{
    for (const QByteArray& line : procFile(pid, "maps").split('\n')) {
        const qsizetype at = line.indexOf('/');
        if (at >= 0 && line.contains("/libfbclient.so"))
            return QString::fromLocal8Bit(line.mid(at));
    }
    return {};
}

// Fields 14 and 15 of stat: the CPU time used so far.
QByteArray cpuTime(qint64 pid)
{
    const QByteArray stat = procFile(pid, "stat");
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 13 ? fields[11] + ' ' + fields[12] : QByteArray();
}

// Started offscreen in `workDir`, with the settings store pointed at `db`'s files.
class Program {
public:
    Program(const test::TestDatabase& db, const QString& workDir)
    {
        test::pointSettingsAt(settings_.path(), db.connectionsFile(), db.driversFile());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), settings_.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(workDir);
        process_.start(binDir() + QStringLiteral("/Kordane"), {});
    }
    ~Program()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    QProcess& process() { return process_; }
    qint64 pid() const { return process_.processId(); }

    // Once the Firebird client is loaded and the process has stopped using the CPU:
    // the start-up is over, and its window or its error box waits for the user.
    QString waitUntilIdle()
    {
        QString client;
        QByteArray before;
        for (QDeadlineTimer deadline(60000); !deadline.hasExpired(); QTest::qWait(200)) {
            if (process_.state() != QProcess::Running)
                return client;
            if (client.isEmpty())
                client = mappedClient(pid());
            const QByteArray now = cpuTime(pid());
            if (!client.isEmpty() && now == before)
                return client;
            before = now;
        }
        return client;
    }

private:
    QTemporaryDir settings_;
    QProcess process_;
};

} // namespace

class TestProgram : public QObject {
    Q_OBJECT
private slots:
    void noLibraryFromWorkingDirectory();
    void signalEndsStartupErrorBox();
    void signalEndsUnansweredConnect();
};

void TestProgram::noLibraryFromWorkingDirectory()
{
    test::TestDatabase db;
    db.release(); // the program refuses a file this process holds under another engine set-up
    QTemporaryDir work;
    QVERIFY(QFile::copy(binDir() + QStringLiteral("/libplanted_fbclient.so"), work.filePath(QStringLiteral("libfbclient.so.2"))));
    Program program(db, work.path());
    QVERIFY(program.process().waitForStarted());
    const QString client = program.waitUntilIdle();
    QVERIFY2(!client.isEmpty(), "the program never loaded the Firebird client");
    QVERIFY2(!client.startsWith(work.path()), qPrintable(client));
    ::kill(static_cast<pid_t>(program.pid()), SIGTERM);
    QVERIFY(program.process().waitForFinished(20000));
    QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.process().exitCode(), 0);
}

// A failed start-up shows its error before the window; one signal there ends the program.
void TestProgram::signalEndsStartupErrorBox()
{
    test::TestDatabase db;
    db.writeConnectionsFile(test::TestDatabase::connectionsTextFor(db.dir() + QStringLiteral("/missing.fdb"), {}));
    QTemporaryDir work;
    Program program(db, work.path());
    QVERIFY(program.process().waitForStarted());
    QVERIFY(!program.waitUntilIdle().isEmpty());
    QCOMPARE(program.process().state(), QProcess::Running);
    ::kill(static_cast<pid_t>(program.pid()), SIGTERM);
    QVERIFY2(program.process().waitForFinished(20000), "still running after the signal");
    QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.process().exitCode(), 0);
}

// The connect to a server that never answers blocks the start-up in the Firebird client;
// the signal still ends the program, by itself once the orderly end has had its time.
void TestProgram::signalEndsUnansweredConnect()
{
    test::SilentServer server;
    test::TestDatabase db;
    db.writeConnectionsFile(test::TestDatabase::connectionsTextFor(server.database(), QStringLiteral("x"))
                            + QStringLiteral("Connection Timeout=120\n"));
    QTemporaryDir work;
    Program program(db, work.path());
    QVERIFY(program.process().waitForStarted());
    QVERIFY(server.waitForClient());
    ::kill(static_cast<pid_t>(program.pid()), SIGTERM);
    QVERIFY2(program.process().waitForFinished(20000), "still running after the signal");
    QCOMPARE(program.process().exitStatus(), QProcess::CrashExit);
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
