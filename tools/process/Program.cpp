#include "tools/process/Program.h"

#include <QProcess>

#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>

namespace kordane::tools {
namespace {

// Ends the program unless it ended by itself: nothing it does outlives the command.
struct Ending {
    QProcess& process;
    ~Ending()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(-1);
        }
    }
};

} // namespace

ProgramRun runProgram(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                      const ProgramStreams& streams, const char* package)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(streams.inputFile.isEmpty() ? QProcess::nullDevice() : streams.inputFile);
    // Output taken as it comes flows through a pipe: a large one lets the program write on
    // while this process handles what came before.
    if (streams.output)
        process.setChildProcessModifier([] { ::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20); });
    process.start(program, arguments);
    if (!process.waitForStarted(-1)) {
        throw std::runtime_error("cannot run " + program.toStdString() + " (install " + package
                                 + "): " + process.errorString().toStdString());
    }
    const Ending ending {process};
    if (streams.meanwhile)
        streams.meanwhile();
    ProgramRun run;
    const auto take = [&] {
        if (streams.output)
            streams.output(process.readAllStandardOutput());
        else
            run.out += process.readAllStandardOutput();
        run.err += process.readAllStandardError();
    };
    // Read as it comes, so that the program never blocks on a full pipe.
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(1000);
        take();
    }
    take();
    if (process.exitStatus() != QProcess::NormalExit)
        throw std::runtime_error(program.toStdString() + " was ended by a signal");
    run.exitCode = process.exitCode();
    return run;
}

} // namespace kordane::tools
