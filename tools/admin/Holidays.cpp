// holiday add / remove / import / list / export: the site's calendar of holidays in HOLIDAY.
#include "tools/admin/Admin.h"
#include "tools/admin/ScheduleInput.h"
#include "tools/admin/Site.h"
#include "tools/admin/SiteParts.h"

#include <QCommandLineParser>

#include <cstdio>
#include <map>
#include <stdexcept>

namespace kordane::admin {
namespace {

const QStringList holidayColumns = {QStringLiteral("HOLIDAY_DATE"), QStringLiteral("HOLIDAY_NAME")};
const std::string storeHoliday = "UPDATE OR INSERT INTO HOLIDAY (HOLIDAY_DATE, HOLIDAY_NAME) VALUES (?, ?) MATCHING (HOLIDAY_DATE)";

// The stored holidays: date -> name's bytes.
std::map<QDate, QByteArray> storedHolidays(RawFirebird& db)
{
    std::map<QDate, QByteArray> stored;
    for (const auto& row : db.query("SELECT HOLIDAY_DATE, HOLIDAY_NAME FROM HOLIDAY"))
        stored[storedDate(row[0])] = QByteArray::fromStdString(row[1].value_or(""));
    return stored;
}

// Why a holiday's name cannot be stored; empty when it can (an empty name among them).
QString holidayNameProblem(RawFirebird& db, const Site& site, const QString& name, QByteArray& bytes)
{
    if (name.isEmpty())
        return {};
    return nameProblem(QStringLiteral("HOLIDAY_NAME"), name, site.codec(), columnWidths(db, "HOLIDAY", holidayColumns).at(holidayColumns[1]), bytes);
}

int add(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Makes DATE (YYYY/MM/DD) a holiday, with a name or none."));
    parser.addOption(connectionsOption());
    parser.addPositionalArgument(QStringLiteral("DATE"), QStringLiteral("The day, YYYY/MM/DD."));
    parser.addPositionalArgument(QStringLiteral("NAME"), QStringLiteral("What it is called."), QStringLiteral("[NAME]"));
    if (!parseCommand(parser, arguments))
        return 0;
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty() || positional.size() > 2)
        throw UsageError("holiday add takes DATE and a NAME or none");
    const auto date = dateOf(positional[0]);
    if (!date)
        throw UsageError("a holiday's date is a real date written YYYY/MM/DD, not " + positional[0].toStdString());
    const Site site(parser);
    RawFirebird db = attachWithPart(site, "schedules");
    QByteArray name;
    if (const QString problem = holidayNameProblem(db, site, positional.value(1), name); !problem.isEmpty())
        throw std::runtime_error(problem.toStdString());
    if (storedHolidays(db).count(*date))
        throw std::runtime_error(positional[0].toStdString() + " is a holiday already");
    db.executePrepared(storeHoliday, {serverDate(*date), name.isEmpty() ? RawFirebird::Value() : RawFirebird::Value(name.toStdString())});
    std::printf("added the holiday %s\n", qPrintable(positional[0]));
    return 0;
}

int remove(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Makes DATE (YYYY/MM/DD) a working day again."));
    parser.addOption(connectionsOption());
    parser.addPositionalArgument(QStringLiteral("DATE"), QStringLiteral("The day, YYYY/MM/DD."));
    if (!parseCommand(parser, arguments))
        return 0;
    if (parser.positionalArguments().size() != 1)
        throw UsageError("holiday remove takes one DATE");
    const QString text = parser.positionalArguments().first();
    const auto date = dateOf(text);
    if (!date)
        throw UsageError("a holiday's date is a real date written YYYY/MM/DD, not " + text.toStdString());
    const Site site(parser);
    RawFirebird db = attachWithPart(site, "schedules");
    if (!storedHolidays(db).count(*date))
        throw std::runtime_error(text.toStdString() + " is no holiday");
    db.executePrepared("DELETE FROM HOLIDAY WHERE HOLIDAY_DATE = ?", {serverDate(*date)});
    std::printf("removed the holiday %s\n", qPrintable(text));
    return 0;
}

int importFile(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Adds holidays, or renames them, from a UTF-8 CSV file whose header names "
                                                    "HOLIDAY_DATE and HOLIDAY_NAME (YYYY/MM/DD; a name may be empty). All or "
                                                    "nothing: a line refused writes nothing, and the exit status is 1."));
    parser.addOption(connectionsOption());
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The CSV file."));
    if (!parseCommand(parser, arguments))
        return 0;
    if (parser.positionalArguments().size() != 1)
        throw UsageError("holiday import takes one FILE");
    const std::vector<csv::Record> records = importRecords(parser.positionalArguments().first(), holidayColumns);
    const Site site(parser);
    RawFirebird db = attachWithPart(site, "schedules");
    const std::map<QDate, QByteArray> stored = storedHolidays(db);
    Refusals refusals;
    std::map<QDate, int> seen; // -> line
    std::vector<std::vector<RawFirebird::Value>> rows;
    int added = 0;
    int changed = 0;
    int unchanged = 0;
    for (const csv::Record& record : records) {
        if (!record.malformed.isEmpty()) {
            refusals.add(record.line, QStringLiteral("malformed CSV: ") + record.malformed);
            continue;
        }
        const auto date = dateOf(record.fields[0]);
        if (!date) {
            refusals.add(record.line, QStringLiteral("HOLIDAY_DATE must be a real date written YYYY/MM/DD, not '%1'").arg(record.fields[0]));
            continue;
        }
        QByteArray name;
        if (const QString problem = holidayNameProblem(db, site, record.fields[1], name); !problem.isEmpty()) {
            refusals.add(record.line, problem);
            continue;
        }
        const auto [first, isNew] = seen.emplace(*date, record.line);
        if (!isNew) {
            refusals.add(record.line, QStringLiteral("%1 repeated (first on line %2)").arg(record.fields[0]).arg(first->second));
            continue;
        }
        const auto it = stored.find(*date);
        if (it != stored.end() && it->second == name) {
            ++unchanged;
            continue;
        }
        ++(it == stored.end() ? added : changed);
        rows.push_back({serverDate(*date), name.isEmpty() ? RawFirebird::Value() : RawFirebird::Value(name.toStdString())});
    }
    std::fflush(stderr);
    refusals.check();
    db.executeEach(storeHoliday, rows);
    std::printf("added %d, changed %d, unchanged %d\n", added, changed, unchanged);
    return 0;
}

std::vector<QStringList> holidayRows(RawFirebird& db, const TextCodec& codec)
{
    std::vector<QStringList> rows;
    for (const auto& [date, name] : storedHolidays(db))
        rows.push_back({dateText(date), codec.decode(name)});
    return rows;
}

Listing listing()
{
    return {QStringLiteral("Writes the holidays as UTF-8 CSV, as holiday import reads them: HOLIDAY_DATE,HOLIDAY_NAME."), holidayColumns, holidayRows};
}

int list(const QStringList& arguments) { return runListing(arguments, listing(), false); }
int exportFile(const QStringList& arguments) { return runListing(arguments, listing(), true); }

} // namespace

int holiday(const QStringList& arguments)
{
    return dispatch(arguments, "add DATE [NAME] | remove DATE | import FILE | list | export [FILE]",
                    {{"add", add}, {"remove", remove}, {"import", importFile}, {"list", list}, {"export", exportFile}});
}

} // namespace kordane::admin
