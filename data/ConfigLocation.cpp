#include "ConfigLocation.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

#ifndef KORDANE_SYSCONFDIR
#define KORDANE_SYSCONFDIR "/etc/kordane"
#endif

namespace kordane::config {
namespace {

// Where the installation keeps its system-wide configuration files.
QString systemConfigDir() { return QStringLiteral(KORDANE_SYSCONFDIR); }

QString lookUp(const char* key, const char* fileName)
{
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                             QString::fromLatin1(settingsOrganization), QString::fromLatin1(settingsApplication));
    if (settings.status() != QSettings::NoError)
        return {};
    const QString named = settings.value(QString::fromLatin1(key)).toString();
    if (!named.isEmpty())
        return named;
    return fallbackPath(QString::fromLatin1(fileName), executableDir(), systemConfigDir());
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

QString connectionsFilePath() { return lookUp(connectionsKey, connectionsFileName); }
QString driversFilePath() { return lookUp(driversKey, driversFileName); }

} // namespace kordane::config
