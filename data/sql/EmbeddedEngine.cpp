#include "data/sql/EmbeddedEngine.h"

#include "data/Exceptions.h"
#include "data/sql/FileLocks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#ifndef KORDANE_FIREBIRD_ROOT
#define KORDANE_FIREBIRD_ROOT "/usr/lib/x86_64-linux-gnu/firebird/3.0"
#endif

namespace kordane::engine {
namespace {

constexpr char lockDirectoryName[] = ".kordane-lock";
constexpr char systemLockDirectory[] = "/tmp/firebird";
constexpr char ownRootName[] = "/kordane/firebird"; // in the user's cache directory

const QByteArray configText = "# Written by Kordane for its embedded engine; rewritten at each start.\n"
                              "# Shared mode: several programs may open one database file, each\n"
                              "# keeping its locks in the directory FIREBIRD_LOCK names.\n"
                              "ServerMode = SuperClassic\n";

struct State {
    bool decided = false;
    QString lockDirectory; // where this process's engine keeps its locks; empty: not known
    bool perDatabase = false; // ours, beside the database: one directory's databases only
};

State& state()
{
    static State s;
    return s;
}

// The installed engine's root, for the plugins and messages the configuration root links to.
QString installRoot() { return QStringLiteral(KORDANE_FIREBIRD_ROOT); }

void linkInto(const QString& root, const QString& name)
{
    const QString target = installRoot() + u'/' + name;
    const QString link = root + u'/' + name;
    if (!QFileInfo::exists(target) || QFileInfo(link).symLinkTarget() == target)
        return;
    QFile::remove(link);
    if (!QFile::link(target, link))
        throw EDatabaseError(QStringLiteral("Cannot link %1 to %2").arg(link, target));
}

// firebird.conf and the links, in the user's cache directory; empty when the engine is
// not installed where this build expects it (the system's configuration then applies).
QString configurationRoot()
{
    if (!QFileInfo::exists(installRoot() + QStringLiteral("/plugins")))
        return {};
    const QString root = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QLatin1String(ownRootName);
    const QString conf = root + QStringLiteral("/firebird.conf");
    if (!QDir().mkpath(root))
        throw EDatabaseError(QStringLiteral("Cannot make the embedded engine's configuration directory %1").arg(root));
    QFile current(conf);
    if (!current.open(QIODevice::ReadOnly) || current.readAll() != configText) {
        QSaveFile file(conf);
        if (!file.open(QIODevice::WriteOnly) || file.write(configText) != configText.size() || !file.commit())
            throw EDatabaseError(QStringLiteral("Cannot write %1: %2").arg(conf, file.errorString()));
    }
    for (const char* name : {"plugins", "intl", "UDF", "firebird.msg", "plugins.conf"})
        linkInto(root, QString::fromLatin1(name));
    return root;
}

[[noreturn]] void refuseLockDirectory(const QString& lockDirectory, const QString& database, const QString& why)
{
    throw EDatabaseError(
        QStringLiteral("The embedded engine cannot keep its locks for %1 in %2 (%3). Every user of the database "
                       "needs write access to that directory: create it for them (mkdir %2, then chgrp GROUP and "
                       "chmod 2770 it), or reach the database through a server.")
            .arg(database, lockDirectory, why));
}

// The lock directory, made with the permissions of the database's own directory so that
// whoever may use the database there may lock it too.
void makeLockDirectory(const QString& lockDirectory, const QString& database)
{
    const QFileInfo dir(QFileInfo(lockDirectory).absolutePath());
    if (!dir.isDir())
        throw EDatabaseError(QStringLiteral("Cannot open %1: the directory %2 does not exist")
                                 .arg(database, dir.filePath()));
    if (!QFileInfo(lockDirectory).isDir()) {
        if (QDir().mkdir(lockDirectory))
            QFile::setPermissions(lockDirectory, dir.permissions());
        else if (!QFileInfo(lockDirectory).isDir()) // another program may have just made it
            refuseLockDirectory(lockDirectory, database, QStringLiteral("it cannot be made"));
    }
    if (::access(QFile::encodeName(lockDirectory).constData(), W_OK | X_OK) != 0)
        refuseLockDirectory(lockDirectory, database, QStringLiteral("this user may not write in it"));
}

bool clientInUse(const QString& clientLibrary)
{
    void* handle = dlopen(QFile::encodeName(clientLibrary).constData(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

} // namespace

bool isServerDatabase(const QString& database)
{
    const QString name = database.trimmed();
    if (name.contains(QStringLiteral("://")))
        return true;
    return name.indexOf(u':') > 0 && !name.startsWith(u'/') && !name.startsWith(u'.');
}

bool isDatabaseFile(const QString& database)
{
    return !isServerDatabase(database) && database.contains(u'/');
}

QString lockDirectoryFor(const QString& databaseFile)
{
    const QFileInfo dir(QFileInfo(databaseFile.trimmed()).absolutePath());
    const QString canonical = dir.canonicalFilePath();
    return (canonical.isEmpty() ? dir.absoluteFilePath() : canonical) + u'/' + QLatin1String(lockDirectoryName);
}

Setup setupFor(const QString& database)
{
    if (!isDatabaseFile(database))
        return {};
    QString siteLock = qEnvironmentVariable("FIREBIRD_LOCK");
    QString siteRoot = qEnvironmentVariable("FIREBIRD");
    // What a Kordane program set for itself reaches the programs it starts: not the site's.
    if (QFileInfo(siteLock).fileName() == QLatin1String(lockDirectoryName)
        && (siteRoot.isEmpty() || siteRoot.endsWith(QLatin1String(ownRootName)))) {
        siteLock.clear();
        siteRoot.clear();
    }
    // A site that set up the engine itself keeps its set-up, so that its other tools and
    // this program share one lock directory.
    if (!siteLock.isEmpty())
        return {siteRoot.isEmpty() ? configurationRoot() : siteRoot, siteLock, false};
    if (!siteRoot.isEmpty())
        return {siteRoot, QLatin1String(systemLockDirectory), false};
    const QString root = configurationRoot();
    if (root.isEmpty())
        return {{}, QLatin1String(systemLockDirectory), false};
    return {root, lockDirectoryFor(database), true};
}

void configure(const QString& database)
{
    State& s = state();
    if (s.decided) {
        refuseForeignEngines(database);
        return;
    }
    s.decided = true;
    const Setup setup = setupFor(database);
    if (setup.lockDirectory.isEmpty())
        return;
    if (setup.perDatabase)
        makeLockDirectory(setup.lockDirectory, database.trimmed());
    if (!setup.root.isEmpty())
        qputenv("FIREBIRD", QFile::encodeName(setup.root));
    qputenv("FIREBIRD_LOCK", QFile::encodeName(setup.lockDirectory));
    s.lockDirectory = setup.lockDirectory;
    s.perDatabase = setup.perDatabase;
    refuseForeignEngines(database);
}

void prepareForConnect(const QString& database, const QString& clientLibrary)
{
    State& s = state();
    if (!s.decided) {
        if (!clientInUse(clientLibrary)) {
            configure(database);
            return;
        }
        // Set up before us, as the environment then said.
        s.decided = true;
        const QString lock = qEnvironmentVariable("FIREBIRD_LOCK");
        s.lockDirectory = lock.isEmpty() ? QLatin1String(systemLockDirectory) : lock;
    }
    if (!s.perDatabase || !isDatabaseFile(database)) {
        refuseForeignEngines(database);
        return;
    }
    const QString wanted = lockDirectoryFor(database);
    if (wanted != s.lockDirectory) {
        throw EDatabaseError(QStringLiteral("This program's embedded engine keeps its locks in %1, and %2 needs "
                                            "them in %3: start the program again to open it")
                                 .arg(s.lockDirectory, database.trimmed(), wanted));
    }
    refuseForeignEngines(database);
}

void refuseForeignEngines(const QString& database)
{
    const State& s = state();
    if (s.lockDirectory.isEmpty() || !isDatabaseFile(database))
        return;
    const QString file = database.trimmed();
    const std::set<pid_t> outside = filelocks::holdersOutside(file, s.lockDirectory);
    if (outside.empty())
        return;
    const pid_t pid = *outside.begin();
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QString name = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
    throw EDatabaseError(
        QStringLiteral("%1 is open in process %2%3, which keeps its locks elsewhere than in %4: two lock "
                       "directories on one database file let each program overwrite the other's changes. End "
                       "that program and start it again with this program's engine settings (kordane-admin env "
                       "prints them; kordane-admin sql runs isql-fb with them), or reach the database through a "
                       "server.")
            .arg(file, QString::number(pid), name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(name),
                 s.lockDirectory));
}

QString lockRefusalAdvice(const dbx::ServerError& engineError)
{
    if (engineError.systemError != EACCES)
        return {};
    // The engine names the directory (or a file in it) it could not open.
    const auto names = [&](const QString& directory) {
        return !directory.isEmpty() && std::any_of(engineError.arguments.begin(), engineError.arguments.end(), [&](const std::string& argument) {
            const QString path = QFile::decodeName(QByteArray::fromStdString(argument));
            return path == directory || path.startsWith(directory.endsWith(u'/') ? directory : directory + u'/');
        });
    };
    const QString ours = state().lockDirectory;
    if (names(ours)) {
        return QStringLiteral("Every user of a database needs write access to its lock directory %1 and the files "
                              "in it: give them a common group (chgrp -R GROUP %1 && chmod -R g+rwX %1), or remove "
                              "the directory while no program uses the database.")
            .arg(ours);
    }
    if (names(QLatin1String(systemLockDirectory))) {
        return QStringLiteral("The embedded engine may not use the system's lock directory %1: add this user to the "
                              "firebird group (sudo adduser $USER firebird, then log in again).")
            .arg(QLatin1String(systemLockDirectory));
    }
    return {};
}

} // namespace kordane::engine
