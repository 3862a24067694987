#pragma once
// What the database's system tables say is there, for commands that add to it only what
// it lacks.
#include "tools/rawfb/RawFirebird.h"

#include <string>

namespace kordane::admin {

// True when the catalogue query returns a row.
bool exists(RawFirebird& db, const std::string& catalogueQuery);
bool tableExists(RawFirebird& db, const char* table);

} // namespace kordane::admin
