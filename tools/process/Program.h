#pragma once
// Another program run to its end, for the tools that put Firebird's own programs (gbak,
// gfix) behind their commands.
#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

namespace kordane::tools {

struct ProgramRun {
    int exitCode = 0;
    QByteArray out; // empty when it went elsewhere
    QByteArray err;
};

// Where the program's standard streams go: input from a file or from nothing (a program
// that asks a question then meets its end instead of waiting), output kept, or handed to
// `output` as it comes. `meanwhile` is work of this process's own while the program runs.
// When either throws, the program is ended and the exception goes on.
struct ProgramStreams {
    QString inputFile;
    std::function<void(const QByteArray&)> output;
    std::function<void()> meanwhile;
};

// Throws when the program cannot be started (naming `package`, which holds it) or when a
// signal ended it; a non-zero exit status is the caller's to read.
ProgramRun runProgram(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                      const ProgramStreams& streams, const char* package);

} // namespace kordane::tools
