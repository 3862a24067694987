#include "data/sql/EmbeddedEngine.h"

#include "data/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <dlfcn.h>
#include <unistd.h>

#ifndef KORDANE_FIREBIRD_ROOT
#define KORDANE_FIREBIRD_ROOT "/usr/lib/x86_64-linux-gnu/firebird/3.0"
#endif

namespace kordane::engine {
namespace {

constexpr char lockDirectoryName[] = ".kordane-lock";
constexpr char systemLockDirectory[] = "/tmp/firebird";

const QByteArray configText = "# Written by Kordane for its embedded engine; rewritten at each start.\n"
                              "# Shared mode: several programs may open one database file, each\n"
                              "# keeping its locks in the directory FIREBIRD_LOCK names.\n"
                              "ServerMode = SuperClassic\n";

struct State {
    bool decided = false;
    QString lockDirectory; // empty: the engine runs as the system configures it
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
    const QString root = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/kordane/firebird");
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

void configure(const QString& database)
{
    State& s = state();
    s.decided = true;
    if (!isDatabaseFile(database))
        return;
    const QString root = configurationRoot();
    if (root.isEmpty())
        return;
    const QString lockDirectory = lockDirectoryFor(database);
    makeLockDirectory(lockDirectory, database.trimmed());
    qputenv("FIREBIRD", QFile::encodeName(root));
    qputenv("FIREBIRD_LOCK", QFile::encodeName(lockDirectory));
    s.lockDirectory = lockDirectory;
}

void prepareForConnect(const QString& database, const QString& clientLibrary)
{
    State& s = state();
    if (!s.decided) {
        if (clientInUse(clientLibrary))
            s.decided = true;
        else
            configure(database);
        return;
    }
    if (s.lockDirectory.isEmpty() || !isDatabaseFile(database))
        return;
    const QString wanted = lockDirectoryFor(database);
    if (wanted != s.lockDirectory) {
        throw EDatabaseError(QStringLiteral("This program's embedded engine keeps its locks in %1, and %2 needs "
                                            "them in %3: start the program again to open it")
                                 .arg(s.lockDirectory, database.trimmed(), wanted));
    }
}

QString lockRefusalAdvice(const QString& engineError)
{
    if (!engineError.contains(QStringLiteral("Permission denied")))
        return {};
    const QString ours = state().lockDirectory;
    if (!ours.isEmpty() && engineError.contains(ours)) {
        return QStringLiteral("Every user of a database needs write access to its lock directory %1 and the files "
                              "in it: give them a common group (chgrp -R GROUP %1 && chmod -R g+rwX %1), or remove "
                              "the directory while no program uses the database.")
            .arg(ours);
    }
    if (engineError.contains(QLatin1String(systemLockDirectory))) {
        return QStringLiteral("The embedded engine may not use the system's lock directory %1: add this user to the "
                              "firebird group (sudo adduser $USER firebird, then log in again).")
            .arg(QLatin1String(systemLockDirectory));
    }
    return {};
}

} // namespace kordane::engine
