// punches import / list / export / card: card terminals' files into records, what came
// of each punch, and whose a card is.
#include "tools/admin/Admin.h"
#include "tools/admin/Csv.h"
#include "tools/admin/PunchCards.h"
#include "tools/admin/PunchImport.h"
#include "tools/admin/PunchWatch.h"
#include "tools/admin/Site.h"
#include "tools/admin/SiteParts.h"
#include "tools/rawfb/RawPrepared.h"
#include "tools/sheet/SheetCsv.h"
#include "tools/sheet/TextTable.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QRegularExpression>

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
    const QCommandLineOption watchOption(QStringLiteral("watch"), QStringLiteral("Keep importing each new complete file put into DIR, moving it to DIR/done, or to DIR/refused with a .reason file."), QStringLiteral("DIR"));
    const QCommandLineOption intervalOption(QStringLiteral("interval"), QStringLiteral("With --watch: look every S seconds (default 5); a file is complete when it has not changed for that long."), QStringLiteral("S"), QStringLiteral("5"));
    const QCommandLineOption repeat = repeatOption();
    parser.addOptions({connectionsOption(), formatOption, dryRunOption, repeat, watchOption, intervalOption});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The terminal's file."), QStringLiteral("[FILE]"));
    if (!parseCommand(parser, arguments))
        return 0;
    const PunchImportOptions options = importOptions(parser, formatOption, dryRunOption, repeat);
    const Site site(parser);
    if (parser.isSet(watchOption)) {
        if (!parser.positionalArguments().isEmpty() || options.dryRun)
            throw UsageError("punches import --watch DIR takes no FILE and no --dry-run");
        bool ok = false;
        const double interval = parser.value(intervalOption).toDouble(&ok);
        if (!ok || interval < 0.1 || interval > 3600)
            throw UsageError("--interval takes seconds from 0.1 to 3600, not " + parser.value(intervalOption).toStdString());
        watchFolder(site, parser.value(watchOption), options, interval);
        return 0;
    }
    if (parser.positionalArguments().size() != 1)
        throw UsageError("punches import takes one FILE, or --watch DIR (kordane-admin punches import --help)");
    RawFirebird db = attachWithPart(site, "punches");
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

// What the listing and the export are kept to.
struct Filter {
    QString date; // YYYY-MM-DD
    QString employee;
    bool unpaired = false;
};

void addFilterOptions(QCommandLineParser& parser)
{
    parser.addOptions({connectionsOption(),
                       {QStringLiteral("date"), QStringLiteral("Only punches of the day D (YYYY/MM/DD or YYYY-MM-DD)."), QStringLiteral("D")},
                       {QStringLiteral("employee"), QStringLiteral("Only the punches taken for the employee CODE."), QStringLiteral("CODE")},
                       {QStringLiteral("unpaired"), QStringLiteral("Only punches that made no whole record: lone ins, outs with no in, outs left for a clerk.")}});
}

Filter filter(const QCommandLineParser& parser)
{
    Filter only;
    if (parser.isSet(QStringLiteral("date"))) {
        static const QRegularExpression shape(QStringLiteral("^(\\d{4})[/-](\\d{2})[/-](\\d{2})$"));
        const QString text = parser.value(QStringLiteral("date"));
        const QRegularExpressionMatch parts = shape.match(text);
        const QDate day = parts.hasMatch() ? QDate(parts.captured(1).toInt(), parts.captured(2).toInt(), parts.captured(3).toInt()) : QDate();
        if (!day.isValid())
            throw UsageError("--date takes a real date YYYY/MM/DD, not " + text.toStdString());
        only.date = day.toString(Qt::ISODate);
    }
    only.employee = parser.value(QStringLiteral("employee"));
    only.unpaired = parser.isSet(QStringLiteral("unpaired"));
    return only;
}

QString became(const QByteArray& role, bool paired)
{
    if (role == "I")
        return paired ? QStringLiteral("in") : QStringLiteral("lone in");
    if (role == "O")
        return QStringLiteral("out");
    if (role == "R")
        return QStringLiteral("repeat");
    if (role == "U")
        return QStringLiteral("out with no in");
    return QStringLiteral("out left for a clerk");
}

report::Table punchTable(const Site& site, RawFirebird& db, const Filter& only)
{
    std::string sql = "SELECT SUBSTRING(CAST(PUNCHED_AT AS VARCHAR(24)) FROM 1 FOR 19), CARD_ID, EMPLOYEE_ID, TERMINAL,"
                      " DIRECTION, ROLE, PAIRED_AT, SOURCE_FILE, SOURCE_LINE,"
                      " SUBSTRING(CAST(IMPORTED_AT AS VARCHAR(24)) FROM 1 FOR 19), IMPORTED_BY FROM PUNCH WHERE 1 = 1";
    std::vector<RawFirebird::Value> params;
    if (!only.date.isEmpty()) {
        sql += " AND PUNCHED_AT >= CAST(? AS DATE) AND PUNCHED_AT < DATEADD(1 DAY TO CAST(? AS DATE))";
        params.insert(params.end(), 2, only.date.toStdString());
    }
    if (!only.employee.isEmpty()) {
        sql += " AND EMPLOYEE_ID = ?";
        params.emplace_back(site.codec().encode(only.employee).toStdString());
    }
    if (only.unpaired)
        sql += " AND ((ROLE = 'I' AND PAIRED_AT IS NULL) OR ROLE IN ('U', 'C'))";
    sql += " ORDER BY PUNCHED_AT, CARD_ID";
    RawTransaction tr(db.handle(), true);
    const auto rows = RawPrepared(db, tr, sql).rows(params);
    tr.commit();

    const auto text = [&](const RawFirebird::Value& value) {
        return value ? site.codec().decode(value->data(), value->size()) : QString();
    };
    report::Table table;
    table.title = QStringLiteral("Punches: %1").arg(rows.size());
    table.headers = {QStringLiteral("CARD_ID"), QStringLiteral("PUNCHED_AT"), QStringLiteral("TERMINAL"),
                     QStringLiteral("DIRECTION"), QStringLiteral("EMPLOYEE_ID"), QStringLiteral("BECAME"),
                     QStringLiteral("SOURCE_FILE"), QStringLiteral("SOURCE_LINE"), QStringLiteral("IMPORTED_AT"),
                     QStringLiteral("IMPORTED_BY")};
    for (const auto& row : rows) {
        const QString direction = row[4] == "I" ? QStringLiteral("in") : row[4] == "O" ? QStringLiteral("out")
                                                                                       : QString();
        table.rows.push_back({text(row[1]), text(row[0]), text(row[3]), direction, text(row[2]),
                              became(QByteArray::fromStdString(row[5].value_or("")), row[6].has_value()),
                              QString::fromUtf8(row[7].value_or("")), QString::fromStdString(row[8].value_or("")),
                              text(row[9]), QString::fromUtf8(row[10].value_or(""))});
    }
    return table;
}

int listCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lists the imported punches by time: whose each was taken for, what it became, and the file and line it came from."));
    addFilterOptions(parser);
    if (!parseCommand(parser, arguments))
        return 0;
    if (!parser.positionalArguments().isEmpty())
        throw UsageError("punches list takes no arguments (kordane-admin punches list --help)");
    const Filter only = filter(parser);
    const Site site(parser);
    RawFirebird db = attachWithPart(site, "punches");
    csv::write({}, report::textTable(punchTable(site, db, only)).toUtf8());
    return 0;
}

int exportCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes the imported punches as a UTF-8 CSV file (standard output by default), with the columns "
                       "of the listing; punches import takes it back. A cell a spreadsheet would run as a formula gets "
                       "an apostrophe in front."));
    addFilterOptions(parser);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Where to write (default: standard output)."), QStringLiteral("[FILE]"));
    if (!parseCommand(parser, arguments))
        return 0;
    if (parser.positionalArguments().size() > 1)
        throw UsageError("punches export takes at most one FILE");
    const Filter only = filter(parser);
    const Site site(parser);
    RawFirebird db = attachWithPart(site, "punches");
    csv::write(parser.positionalArguments().value(0), report::csv(punchTable(site, db, only), false));
    return 0;
}

} // namespace

int punches(const QStringList& arguments)
{
    return dispatch(arguments, "import FILE [--format csv|text] [--dry-run] [--repeat-minutes N] | import --watch DIR [--interval S] | list [--date D] [--employee CODE] [--unpaired] | export [FILE] | card CARD EMPLOYEE --from D",
                    {{"import", importCommand}, {"list", listCommand}, {"export", exportCommand}, {"card", cardCommand}});
}

} // namespace kordane::admin
