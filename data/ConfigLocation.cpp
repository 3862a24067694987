#include "ConfigLocation.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

namespace kordane::config {
namespace {

QString lookUp(const char* key, const char* fileName)
{
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                             QString::fromLatin1(settingsOrganization), QString::fromLatin1(settingsApplication));
    if (settings.status() != QSettings::NoError)
        return {};
    const QString named = settings.value(QString::fromLatin1(key)).toString();
    if (!named.isEmpty())
        return named;
    return executableDir() + u'/' + QString::fromLatin1(fileName);
}

} // namespace

QString executableDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Before the application object exists Qt cannot tell; the kernel can.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

QString connectionsFilePath() { return lookUp(connectionsKey, connectionsFileName); }
QString driversFilePath() { return lookUp(driversKey, driversFileName); }

} // namespace kordane::config
