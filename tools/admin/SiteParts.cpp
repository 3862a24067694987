// upgrade, and the list of a site's parts.
#include "tools/admin/SiteParts.h"

#include "tools/admin/Admin.h"
#include "tools/admin/PeriodsPart.h"
#include "tools/admin/PunchesPart.h"
#include "tools/admin/SchedulesPart.h"
#include "tools/admin/Site.h"

#include <QCommandLineParser>

#include <cstdio>
#include <stdexcept>
#include <string_view>

namespace kordane::admin {

const std::vector<SitePart>& siteParts()
{
    static const std::vector<SitePart> parts = {
        {"schedules", schedulesMissing},
        {"periods", periodsMissing},
        {"punches", punchesMissing},
    };
    return parts;
}

RawFirebird attachWithPart(const Site& site, const char* name)
{
    RawFirebird db = site.attach();
    for (const SitePart& part : siteParts()) {
        if (std::string_view(part.name) == name && !part.missing(db, site.codec()).empty())
            throw std::runtime_error(std::string("the database lacks the ") + name + "' tables (kordane-admin upgrade adds them)");
    }
    return db;
}

std::vector<std::string> addMissingParts(RawFirebird& db, const TextCodec& codec)
{
    std::vector<std::string> added;
    std::vector<std::string> sql;
    for (const SitePart& part : siteParts()) {
        const std::vector<std::string> statements = part.missing(db, codec);
        if (statements.empty())
            continue;
        added.emplace_back(part.name);
        sql.insert(sql.end(), statements.begin(), statements.end());
    }
    if (!sql.empty())
        db.executeTogether(sql);
    return added;
}

int upgrade(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Adds to the site's database the tables of the parts it lacks (the "
                                                    "program's records are never changed), in one "
                                                    "transaction. Running it again adds nothing."));
    const QCommandLineOption checkOption(QStringLiteral("check"), QStringLiteral("Say which parts are missing; add nothing."));
    parser.addOptions({connectionsOption(), checkOption});
    if (!parseCommand(parser, arguments))
        return 0;
    if (!parser.positionalArguments().isEmpty())
        throw UsageError("upgrade takes no arguments (kordane-admin upgrade --help)");
    const Site site(parser);
    RawFirebird db = site.attach();
    if (parser.isSet(checkOption)) {
        bool complete = true;
        for (const SitePart& part : siteParts()) {
            const bool there = part.missing(db, site.codec()).empty();
            complete = complete && there;
            std::printf("%s: %s\n", part.name, there ? "there" : "missing");
        }
        return complete ? 0 : 1;
    }
    const std::vector<std::string> added = addMissingParts(db, site.codec());
    for (const std::string& name : added)
        std::printf("added %s\n", name.c_str());
    if (added.empty())
        std::printf("%s is up to date\n", qPrintable(site.database()));
    return 0;
}

} // namespace kordane::admin
