// What kordane-admin adds to Firebird's own backup and restore: `backup` (gbak -b with its
// counts, the file put on the disk, its checksum and manifest) beside `gbak -b` run by
// hand on the same database, and `restore` (gbak -c, gfix -v -full, the records counted,
// the copy renamed into place) beside `gbak -c` by hand, in interleaved rounds (order
// alternated), each side in the engine set-up kordane-admin env prints.
// Usage: bench_backup <dir made by bench_makedb> [rounds]
#include "bench/Timing.h"
#include "data/sql/EmbeddedEngine.h"
#include "data/sql/SqlConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kordane;
using kordane::bench::median;
using kordane::bench::timed;

namespace {

void run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error(program.toStdString() + " " + arguments.join(u' ').toStdString() + " failed");
}

struct Side {
    const char* name;
    std::vector<double> ours;
    std::vector<double> hand;
};

void report(const Side& side)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < side.ours.size(); ++i)
        ratios.push_back(side.ours[i] / side.hand[i]);
    std::printf("%-8s kordane-admin median %8.0f ms   by hand median %8.0f ms\n", side.name, median(side.ours), median(side.hand));
    std::printf("ratio %s min %.3f median %.3f\n", side.name, *std::min_element(ratios.begin(), ratios.end()), median(ratios));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: bench_backup <dir> [rounds]\n");
        return 2;
    }
    const int rounds = argc == 3 ? std::atoi(argv[2]) : 5;
    const QString database = QDir(QString::fromLocal8Bit(argv[1])).absoluteFilePath(QStringLiteral("POSDATA.FDB"));
    // Beside the database: the same disk, and kordane-admin keeps its copies there too.
    QTemporaryDir dir(QFileInfo(database).absolutePath() + QStringLiteral("/bench-backup-XXXXXX"));
    try {
        if (!QFileInfo::exists(database) || !dir.isValid())
            throw std::runtime_error("no database " + database.toStdString() + " (bench_makedb makes it)");
        // gbak by hand runs in what `eval "$(kordane-admin env)"` sets, as kordane-admin's own does.
        engine::configure(database);
        qputenv("ISC_USER", "SYSDBA");
        qputenv("ISC_PASSWORD", storedPassword.toUtf8());
        const QString admin = QCoreApplication::applicationDirPath() + QStringLiteral("/kordane-admin");
        const QString connections = dir.filePath(QStringLiteral("dbxconnections.ini"));
        QFile file(connections);
        if (!file.open(QIODevice::WriteOnly) || file.write(connectionsFileText({QStringLiteral("Database=") + database})) < 0)
            throw std::runtime_error("cannot write " + connections.toStdString());
        file.close();

        Side backup {"backup", {}, {}};
        Side restore {"restore", {}, {}};
        const QString ours = dir.filePath(QStringLiteral("ours.fbk"));
        const QString hand = dir.filePath(QStringLiteral("hand.fbk"));
        const QString oursRestored = database + QStringLiteral(".bench-ours.fdb");
        const QString handRestored = database + QStringLiteral(".bench-hand.fdb");
        for (int round = 0; round < rounds; ++round) {
            for (const QString& f : {ours, ours + QStringLiteral(".manifest"), hand, oursRestored, handRestored})
                QFile::remove(f);
            const auto oursBackup = [&] { backup.ours.push_back(timed([&] { run(admin, {QStringLiteral("backup"), QStringLiteral("--to"), ours, QStringLiteral("--connections"), connections}); })); };
            const auto handBackup = [&] { backup.hand.push_back(timed([&] { run(QStringLiteral("gbak"), {QStringLiteral("-b"), database, hand}); })); };
            const auto oursRestore = [&] { restore.ours.push_back(timed([&] { run(admin, {QStringLiteral("restore"), ours, QStringLiteral("--to"), oursRestored}); })); };
            const auto handRestore = [&] { restore.hand.push_back(timed([&] { run(QStringLiteral("gbak"), {QStringLiteral("-c"), hand, handRestored}); })); };
            if (round % 2) {
                handBackup();
                oursBackup();
                handRestore();
                oursRestore();
            } else {
                oursBackup();
                handBackup();
                oursRestore();
                handRestore();
            }
            std::fprintf(stderr, "round %d: backup %.0f / %.0f ms, restore %.0f / %.0f ms\n", round + 1, backup.ours.back(),
                         backup.hand.back(), restore.ours.back(), restore.hand.back());
        }
        std::printf("%s, %lld bytes; its backup %lld bytes; %d rounds\n", qPrintable(database), QFileInfo(database).size(),
                    QFileInfo(ours).size(), rounds);
        report(backup);
        report(restore);
        for (const QString& f : {oursRestored, handRestored})
            QFile::remove(f);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_backup: %s\n", e.what());
        return 1;
    }
    return 0;
}
