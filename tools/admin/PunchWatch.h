#pragma once
// A folder that card terminals drop their files into, for sites whose terminals write to
// a share: each new file, once complete, imported once and moved out of the way.
#include "tools/admin/PunchImport.h"

#include <QString>

namespace kordane::admin {

class Site;

// Runs until the process is ended. A file counts as complete when neither its size nor
// its time has changed for `interval` seconds; names that start with a dot, and those
// ending in .tmp or .part, are being written and wait. An imported file goes to DIR/done;
// one the import refuses to DIR/refused, with NAME.reason telling why. When the database
// cannot be reached the file stays where it is, for the next look.
[[noreturn]] void watchFolder(const Site& site, const QString& dir, const PunchImportOptions& options, double interval);

} // namespace kordane::admin
