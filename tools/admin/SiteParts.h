#pragma once
// The tables a site may hold beside the program's two (schedules, pay periods, punches),
// each part made by the admin tool: init makes them all, upgrade adds to an older database
// what it lacks. The window never makes a table, and sees no change from a part it does
// not use.
#include "data/sql/TextCodec.h"
#include "tools/rawfb/RawFirebird.h"

#include <string>
#include <vector>

namespace kordane::admin {

class Site;

struct SitePart {
    const char* name;
    // The statements that bring the database up to this part: none when it is there.
    std::vector<std::string> (*missing)(RawFirebird& db, const TextCodec& codec);
};

const std::vector<SitePart>& siteParts();

// Attaches to the site's database; throws, pointing at upgrade, when it lacks the tables
// of the part `name`.
RawFirebird attachWithPart(const Site& site, const char* name);

// Adds what every part lacks, all in one transaction; the names of the parts added.
std::vector<std::string> addMissingParts(RawFirebird& db, const TextCodec& codec);

} // namespace kordane::admin
