#pragma once
// A program of the build (bin/ beside the test) run to its end.
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

} // namespace kordane::test
