#include "tests/support/ToolRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>

namespace kordane::test {
namespace {

bool holdsOpen(qint64 pid, const QString& file)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (QFile::symLinkTarget(fds.filePath(fd)) == file)
            return true;
    }
    return false;
}

} // namespace

ToolRun runTool(const QString& program, const QStringList& arguments, const QProcessEnvironment& env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QCoreApplication::applicationDirPath() + u'/' + program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

bool waitUntilAttached(QProcess& process, const QString& file)
{
    process.waitForStarted();
    for (int i = 0; i < 150; ++i) {
        if (process.state() != QProcess::Running)
            return false;
        if (holdsOpen(process.processId(), file))
            return true;
        QThread::msleep(100);
    }
    return false;
}

} // namespace kordane::test
