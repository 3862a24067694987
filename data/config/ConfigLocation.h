#pragma once
// Where the connections file and the drivers file are. The per-user settings store
// (QSettings, user scope, organisation "Kordane", application "dbExpress"; on Linux
// ~/.config/Kordane/dbExpress.conf) may name each file under the keys
// "Connection Registry File" and "Driver Registry File"; it is only read. Without a
// usable entry the file lies next to the executable; an installed program has none there,
// so a file of that name in the system configuration directory (/etc/kordane for a
// package) stands in, and when neither exists the path beside the executable is the
// answer (and the one an error names). Every file of the store is checked before QSettings
// opens it, as readConfigFile checks a file it reads. A hand-written store:
//   [General]
//   Connection Registry File=/etc/kordane/dbxconnections.ini
#include <QString>

namespace kordane::config {

inline constexpr char settingsOrganization[] = "Kordane";
inline constexpr char settingsApplication[] = "dbExpress";
inline constexpr char connectionsKey[] = "Connection Registry File";
inline constexpr char driversKey[] = "Driver Registry File";
inline constexpr char connectionsFileName[] = "dbxconnections.ini";
inline constexpr char driversFileName[] = "dbxdrivers.ini";
// How errors name the files.
inline constexpr char connectionsFileRole[] = "The connections file";
inline constexpr char driversFileRole[] = "The drivers file";
inline constexpr char settingsStoreRole[] = "The settings store";

// Empty when the settings store cannot be read. Throws EDatabaseError naming the file
// when a file of the store is no regular file of at most maxConfigFileBytes.
QString connectionsFilePath();
QString driversFilePath();

// Every place the look-up of the connections file went through, in order, as one line
// for the error that finds none there.
QString connectionsSearchReport();

// The directory of the running executable.
QString executableDir();

// The fall-back for a file the settings store does not name: `fileName` in
// `executableDir` if it exists there, else in `systemDir` if it exists there, else in
// `executableDir`.
QString fallbackPath(const QString& fileName, const QString& executableDir, const QString& systemDir);

} // namespace kordane::config
