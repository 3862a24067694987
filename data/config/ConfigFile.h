#pragma once
// Reading a configuration file whose path anyone may have set: only a regular file (a
// symbolic link to one is fine) of at most maxConfigFileBytes, opened without blocking.
// A FIFO, a device or a huge file is refused with an error naming it, instead of a hang
// before any window or a read until memory runs out.
#include <QByteArray>
#include <QString>

#include <optional>

namespace kordane::config {

// Far above any real configuration file, which holds a few dozen lines.
inline constexpr qint64 maxConfigFileBytes = 1024 * 1024;

// The file's bytes; nullopt when it does not exist. Throws EDatabaseError
// "<role> <path> is ..." for one that is not a regular file, is larger than
// maxConfigFileBytes or cannot be read. `role` starts the sentence: "The drivers file".
std::optional<QByteArray> readConfigFile(const QString& path, const QString& role);

// For a file another reader opens (the settings store, which QSettings reads): throws as
// readConfigFile would for one that exists; does nothing when it does not exist.
void checkConfigFile(const QString& path, const QString& role);

} // namespace kordane::config
