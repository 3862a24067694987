#pragma once
// Who holds a file lock on what, as the kernel lists it in /proc/locks. An embedded
// Firebird engine holds a lock on the database file and on its lock table in the
// directory it keeps its locks in, for as long as it has the database open; so the
// holders of both tell which processes share a lock directory for a file.
#include <QString>

#include <sys/types.h>

#include <set>

namespace kordane::filelocks {

// The processes other than this one holding a lock on `file` and on no file in
// `directory`; empty when the file is not there.
std::set<pid_t> holdersOutside(const QString& file, const QString& directory);

// The processes other than this one holding a lock on `file`: those that have it open.
std::set<pid_t> holders(const QString& file);

} // namespace kordane::filelocks
