// punches import: card terminals' files into records.
#include "tools/admin/Admin.h"
#include "tools/admin/Catalog.h"
#include "tools/admin/PunchImport.h"
#include "tools/admin/Site.h"

#include <QCommandLineParser>
#include <QDateTime>

#include <cstdio>
#include <stdexcept>

namespace kordane::admin {
namespace {

QCommandLineOption repeatOption()
{
    return {QStringLiteral("repeat-minutes"), QStringLiteral("A punch less than N minutes after the one before it counts once (default 2)."), QStringLiteral("N"), QStringLiteral("2")};
}

PunchImportOptions importOptions(const QCommandLineParser& parser, const QCommandLineOption& format,
                                 const QCommandLineOption& dryRun, const QCommandLineOption& repeat)
{
    PunchImportOptions options;
    if (parser.isSet(format))
        options.format = punchFormatNamed(parser.value(format));
    options.dryRun = parser.isSet(dryRun);
    bool ok = false;
    options.rules.repeatMinutes = parser.value(repeat).toInt(&ok);
    if (!ok || options.rules.repeatMinutes < 0 || options.rules.repeatMinutes > 60)
        throw UsageError("--repeat-minutes takes a number of minutes from 0 to 60, not " + parser.value(repeat).toStdString());
    return options;
}

void requirePunches(RawFirebird& db)
{
    if (!tableExists(db, "PUNCH"))
        throw std::runtime_error("the database has no table PUNCH (kordane-admin upgrade adds it)");
}

int importCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Imports a card terminal's punches: a CSV file whose header names CARD_ID (or EMPLOYEE_ID) and "
                       "PUNCHED_AT, with TERMINAL and DIRECTION if the terminal gives them, or a text file of badge, "
                       "date and time (then terminal and direction) apart by tabs or blanks. Each punch is kept in "
                       "PUNCH once; the new ones are paired per employee into POS_DAY records, a lone in completed by "
                       "a later out unless a clerk has changed its record. All or nothing: when a line is refused, "
                       "nothing is written and the exit status is 1."));
    const QCommandLineOption formatOption(QStringLiteral("format"), QStringLiteral("csv or text (default: recognised from the first line)."), QStringLiteral("FORMAT"));
    const QCommandLineOption dryRunOption(QStringLiteral("dry-run"), QStringLiteral("Check, pair and count; write nothing."));
    const QCommandLineOption repeat = repeatOption();
    parser.addOptions({connectionsOption(), formatOption, dryRunOption, repeat});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The terminal's file."));
    if (!parseCommand(parser, arguments))
        return 0;
    const PunchImportOptions options = importOptions(parser, formatOption, dryRunOption, repeat);
    const Site site(parser);
    if (parser.positionalArguments().size() != 1)
        throw UsageError("punches import takes one FILE (kordane-admin punches import --help)");
    RawFirebird db = site.attach();
    requirePunches(db);
    const PunchImport result = importPunches(site, db, parser.positionalArguments().first(), options, QDateTime::currentDateTime());
    for (const LineRefusal& refusal : result.refused)
        std::fprintf(stderr, "line %d: %s\n", refusal.line, qPrintable(refusal.reason));
    for (const QString& note : result.notes)
        std::printf("%s\n", qPrintable(note));
    std::printf("%s\n", qPrintable(result.summary()));
    if (result.loneOuts > 0)
        std::printf("%d out punches with no in before them made no record (punches list --unpaired)\n", result.loneOuts);
    std::fflush(stdout);
    if (!result.refused.empty()) {
        const auto n = result.refused.size();
        throw std::runtime_error("nothing written: " + std::to_string(n) + (n == 1 ? " line" : " lines") + " refused");
    }
    if (options.dryRun)
        std::printf("dry run: nothing written\n");
    return 0;
}

} // namespace

int punches(const QStringList& arguments)
{
    return dispatch(arguments, "import FILE [--format csv|text] [--dry-run] [--repeat-minutes N]",
                    {{"import", importCommand}});
}

} // namespace kordane::admin
