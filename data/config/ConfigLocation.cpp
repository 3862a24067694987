#include "data/config/ConfigLocation.h"

#include "data/config/ConfigFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#ifndef KORDANE_SYSCONFDIR
#define KORDANE_SYSCONFDIR "/etc/kordane"
#endif

namespace kordane::config {
namespace {

// Where the installation keeps its system-wide configuration files.
QString systemConfigDir() { return QStringLiteral(KORDANE_SYSCONFDIR); }

// Where QSettings keeps a scope's files (QSettings::setPath may have moved them), as it
// names them for a store no file holds.
QString settingsDirectory(QSettings::Scope scope)
{
    const QSettings probe(QSettings::NativeFormat, scope, QStringLiteral("kordane-no-such-store"), QStringLiteral("none"));
    return QFileInfo(QFileInfo(probe.fileName()).path()).path();
}

// The files QSettings reads for the store, in its order: the application's and the
// organisation's, the user's and then the system's.
QStringList settingsStoreFiles()
{
    const QString organization = QString::fromLatin1(settingsOrganization);
    QStringList files;
    for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope}) {
        const QString dir = settingsDirectory(scope);
        files << dir + u'/' + organization + u'/' + QString::fromLatin1(settingsApplication) + QStringLiteral(".conf")
              << dir + u'/' + organization + QStringLiteral(".conf");
    }
    return files;
}

struct LookUp {
    QString path;
    QStringList places; // every place looked in, in order
};

LookUp lookUp(const char* key, const char* fileName)
{
    // QSettings would open a FIFO and wait, or read a device without end, before any check.
    for (const QString& file : settingsStoreFiles())
        checkConfigFile(file, QString::fromLatin1(settingsStoreRole));
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                             QString::fromLatin1(settingsOrganization), QString::fromLatin1(settingsApplication));
    if (settings.status() != QSettings::NoError)
        return {{}, {QStringLiteral("the settings store %1 (unreadable)").arg(settings.fileName())}};
    const QString named = settings.value(QString::fromLatin1(key)).toString();
    if (!named.isEmpty())
        return {named, {QStringLiteral("the settings store %1, which names it").arg(settings.fileName())}};
    const QString name = QString::fromLatin1(fileName);
    return {fallbackPath(name, executableDir(), systemConfigDir()),
            {QStringLiteral("the settings store %1 (no \"%2\")").arg(settings.fileName(), QLatin1String(key)),
             executableDir() + u'/' + name, systemConfigDir() + u'/' + name}};
}

} // namespace

QString executableDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Before the application object exists Qt cannot tell; the kernel can.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

QString fallbackPath(const QString& fileName, const QString& executableDir, const QString& systemDir)
{
    const QString beside = executableDir + u'/' + fileName;
    if (QFileInfo::exists(beside))
        return beside;
    const QString system = systemDir + u'/' + fileName;
    return QFileInfo::exists(system) ? system : beside;
}

QString connectionsFilePath() { return lookUp(connectionsKey, connectionsFileName).path; }
QString driversFilePath() { return lookUp(driversKey, driversFileName).path; }

QString connectionsSearchReport()
{
    return QStringLiteral("Looked in: ") + lookUp(connectionsKey, connectionsFileName).places.join(QStringLiteral("; "));
}

} // namespace kordane::config
