#pragma once
// A program of the build (bin/ beside the test) run to its end.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace kordane::test {

struct ToolRun {
    int exitCode = -1; // -1: crashed or did not end within a minute
    QString out;
    QString err;
};

ToolRun runTool(const QString& program, const QStringList& arguments,
                const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

// Waits (up to 15 s) until the started `process` holds the database `file` open: it has
// attached it. False when it ended or never did.
bool waitUntilAttached(QProcess& process, const QString& file);

} // namespace kordane::test
