// shift add / remove / list / export: the site's shifts in WORK_SHIFT. A shift is never
// changed in place, as the days already worked on it would be read by the new one: a
// site adds another code and sets patterns to it from a date.
#include "tools/admin/Admin.h"
#include "tools/admin/ScheduleInput.h"
#include "tools/admin/Site.h"
#include "tools/admin/SiteParts.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace kordane::admin {
namespace {

const QStringList shiftColumns = {QStringLiteral("SHIFT_CODE"), QStringLiteral("START"), QStringLiteral("END"),
                                  QStringLiteral("BREAK_MINUTES"), QStringLiteral("LATE_GRACE"), QStringLiteral("EARLY_GRACE")};

// The minutes an option gives, none by default.
int minutesOption(const QCommandLineParser& parser, const QString& name)
{
    const QString text = parser.value(name);
    const auto value = minutes(text, 1440);
    if (!value)
        throw UsageError("--" + name.toStdString() + " takes a number of minutes from 0 to 1440, not " + text.toStdString());
    return *value;
}

int add(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Adds the shift CODE from START to END (HH:MM; an END before START ends the "
                                                    "next day), with its unpaid break and the minutes of grace before an "
                                                    "arrival counts as late and a leave as early."));
    parser.addOptions({connectionsOption(),
                       {QStringLiteral("break"), QStringLiteral("Unpaid break minutes (default 0)."), QStringLiteral("MINUTES"), QStringLiteral("0")},
                       {QStringLiteral("late-grace"), QStringLiteral("Minutes after START an arrival is not late (default 0)."), QStringLiteral("MINUTES"), QStringLiteral("0")},
                       {QStringLiteral("early-grace"), QStringLiteral("Minutes before END a leave is not early (default 0)."), QStringLiteral("MINUTES"), QStringLiteral("0")}});
    parser.addPositionalArgument(QStringLiteral("CODE"), QStringLiteral("The shift's code."));
    parser.addPositionalArgument(QStringLiteral("START"), QStringLiteral("When it starts, HH:MM."));
    parser.addPositionalArgument(QStringLiteral("END"), QStringLiteral("When it ends, HH:MM."));
    if (!parseCommand(parser, arguments))
        return 0;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 3)
        throw UsageError("shift add takes CODE START END (kordane-admin shift add --help)");
    const auto start = minuteOfDay(positional[1]);
    const auto end = minuteOfDay(positional[2]);
    if (!start || !end)
        throw UsageError("a shift starts and ends at a time HH:MM from 00:00 to 23:59, not " + (start ? positional[2] : positional[1]).toStdString());
    const int pause = minutesOption(parser, QStringLiteral("break"));
    const int late = minutesOption(parser, QStringLiteral("late-grace"));
    const int early = minutesOption(parser, QStringLiteral("early-grace"));
    if (*start == *end)
        throw std::runtime_error("a shift of zero length: it starts and ends at " + positional[1].toStdString());
    const int length = (*end - *start + 1440) % 1440;
    if (pause >= length)
        throw std::runtime_error("the break of " + std::to_string(pause) + " minutes is not shorter than the shift's "
                                 + std::to_string(length));
    if (late >= length || early >= length)
        throw std::runtime_error("a grace of " + std::to_string(std::max(late, early)) + " minutes is not shorter than the shift's "
                                 + std::to_string(length));

    const Site site(parser);
    RawFirebird db = attachWithPart(site, "schedules");
    QByteArray code;
    const QString problem = nameProblem(QStringLiteral("SHIFT_CODE"), positional[0], site.codec(),
                                        columnWidths(db, "WORK_SHIFT", {QStringLiteral("SHIFT_CODE")}).at(QStringLiteral("SHIFT_CODE")), code);
    if (!problem.isEmpty())
        throw std::runtime_error(problem.toStdString());
    if (positional[0] == u"-")
        throw std::runtime_error("- stands for a rest day in a pattern; a shift takes another code");
    for (const auto& row : db.query("SELECT SHIFT_CODE FROM WORK_SHIFT")) {
        if (row[0] == code.toStdString())
            throw std::runtime_error("the shift " + positional[0].toStdString() + " exists; a changed shift takes another code");
    }
    db.executePrepared("INSERT INTO WORK_SHIFT (SHIFT_CODE, START_MINUTE, END_MINUTE, BREAK_MINUTES, LATE_GRACE, EARLY_GRACE)"
                       " VALUES (?, ?, ?, ?, ?, ?)",
                       {code.toStdString(), std::to_string(*start), std::to_string(*end), std::to_string(pause), std::to_string(late),
                        std::to_string(early)});
    std::printf("added shift %s: %s to %s%s, %d paid minutes\n", qPrintable(positional[0]), qPrintable(positional[1]),
                qPrintable(positional[2]), *end < *start ? " the next day" : "", length - pause);
    return 0;
}

int remove(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Removes the shift CODE, which no pattern may name."));
    parser.addOption(connectionsOption());
    parser.addPositionalArgument(QStringLiteral("CODE"), QStringLiteral("The shift's code."));
    if (!parseCommand(parser, arguments))
        return 0;
    if (parser.positionalArguments().size() != 1)
        throw UsageError("shift remove takes one CODE");
    const QString name = parser.positionalArguments().first();
    const Site site(parser);
    RawFirebird db = attachWithPart(site, "schedules");
    const std::string code = site.codec().encode(name).toStdString();
    bool found = false;
    for (const auto& row : db.query("SELECT SHIFT_CODE FROM WORK_SHIFT"))
        found = found || row[0] == code;
    if (!found)
        throw std::runtime_error("there is no shift " + name.toStdString());
    QStringList users;
    for (const auto& row : db.query("SELECT DISTINCT SUBJECT_KIND, SUBJECT, VALID_FROM, SHIFT_CODE FROM WORK_PATTERN ORDER BY 1, 2, 3")) {
        if (row[3] == code)
            users << QStringLiteral("%1 %2 from %3").arg(row[0] == "E" ? QStringLiteral("employee") : QStringLiteral("department"), decoded(site.codec(), row[1]), dateText(storedDate(row[2])));
    }
    if (!users.isEmpty())
        throw std::runtime_error("the shift " + name.toStdString() + " is in the patterns of " + users.join(QStringLiteral(", ")).toStdString()
                                 + "; left as it is");
    db.executePrepared("DELETE FROM WORK_SHIFT WHERE SHIFT_CODE = ?", {code});
    std::printf("removed shift %s\n", qPrintable(name));
    return 0;
}

std::vector<QStringList> shiftRows(RawFirebird& db, const TextCodec& codec)
{
    std::vector<QStringList> rows;
    for (const auto& row : db.query("SELECT SHIFT_CODE, START_MINUTE, END_MINUTE, BREAK_MINUTES, LATE_GRACE, EARLY_GRACE"
                                    " FROM WORK_SHIFT ORDER BY SHIFT_CODE")) {
        const auto number = [&](std::size_t i) { return std::stoi(row[i].value_or("0")); };
        rows.push_back({decoded(codec, row[0]), timeText(number(1)), timeText(number(2)), QString::number(number(3)),
                        QString::number(number(4)), QString::number(number(5))});
    }
    return rows;
}

Listing listing()
{
    return {QStringLiteral("Writes the shifts as UTF-8 CSV: ") + shiftColumns.join(u',') + QStringLiteral(" (times HH:MM, an END before START the next day; minutes whole)."), shiftColumns, shiftRows};
}

int list(const QStringList& arguments) { return runListing(arguments, listing(), false); }
int exportFile(const QStringList& arguments) { return runListing(arguments, listing(), true); }

} // namespace

int shift(const QStringList& arguments)
{
    return dispatch(arguments, "add CODE START END [--break M] [--late-grace M] [--early-grace M] | remove CODE | list | export [FILE]",
                    {{"add", add}, {"remove", remove}, {"list", list}, {"export", exportFile}});
}

} // namespace kordane::admin
