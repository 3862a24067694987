#pragma once
// Where the connections file and the drivers file are. The per-user settings store
// (QSettings, user scope, organisation "Kordane", application "dbExpress"; on Linux
// ~/.config/Kordane/dbExpress.conf) may name each file under the keys
// "Connection Registry File" and "Driver Registry File"; it is only read. Without a
// usable entry the file lies next to the executable. A hand-written store:
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

// Empty when the settings store cannot be read.
QString connectionsFilePath();
QString driversFilePath();

// The directory of the running executable.
QString executableDir();

} // namespace kordane::config
