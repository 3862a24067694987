// pattern set / remove / import / list / export: which shift an employee or a department
// works on each weekday, from a date on, in WORK_PATTERN. A pattern is never changed in
// place: a new one from a later date takes over, so that the past keeps its schedule.
#include "data/Exceptions.h"
#include "tools/admin/Admin.h"
#include "tools/admin/ScheduleInput.h"
#include "tools/admin/Site.h"
#include "tools/admin/SiteParts.h"

#include <QCommandLineParser>

#include <array>
#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>
#include <variant>

namespace kordane::admin {
namespace {

const QStringList weekdays = {QStringLiteral("MON"), QStringLiteral("TUE"), QStringLiteral("WED"), QStringLiteral("THU"),
                              QStringLiteral("FRI"), QStringLiteral("SAT"), QStringLiteral("SUN")};
const QStringList patternColumns = QStringList {QStringLiteral("KIND"), QStringLiteral("SUBJECT"), QStringLiteral("VALID_FROM")} + weekdays;

// Whose pattern from which date: the key no two patterns share.
using Key = std::tuple<char, QByteArray, QDate>; // 'E' or 'D', the subject's bytes, the first day
using Week = std::array<QByteArray, 7>; // Monday first; empty for a rest day

struct Pattern {
    Key key;
    Week week;
};

struct Span {
    int start;
    int end;
};

QString kindName(char kind) { return kind == 'E' ? QStringLiteral("employee") : QStringLiteral("department"); }

QString describe(const Key& key, const TextCodec& codec)
{
    const QByteArray& subject = std::get<1>(key);
    return QStringLiteral("%1 %2 from %3").arg(kindName(std::get<0>(key)), codec.decode(subject), dateText(std::get<2>(key)));
}

// What a pattern is checked against: the site's employees, departments, shifts and patterns.
class Patterns {
public:
    Patterns(RawFirebird& db, const TextCodec& codec)
        : codec_(codec)
        , subjectWidth_(columnWidths(db, "WORK_PATTERN", {QStringLiteral("SUBJECT")}).at(QStringLiteral("SUBJECT")))
    {
        for (const auto& row : db.query("SELECT EMPLOYEE_ID FROM EMPLOYEE"))
            subjects_.insert({'E', QByteArray::fromStdString(row[0].value_or(""))});
        for (const auto& row : db.query("SELECT DISTINCT DEPARTMENT FROM EMPLOYEE_DEPARTMENT"))
            subjects_.insert({'D', QByteArray::fromStdString(row[0].value_or(""))});
        for (const auto& row : db.query("SELECT SHIFT_CODE, START_MINUTE, END_MINUTE FROM WORK_SHIFT"))
            shifts_[QByteArray::fromStdString(row[0].value_or(""))] = {std::stoi(row[1].value_or("0")), std::stoi(row[2].value_or("0"))};
        for (const auto& row : db.query("SELECT SUBJECT_KIND, SUBJECT, VALID_FROM, WEEKDAY, SHIFT_CODE FROM WORK_PATTERN")) {
            const Key key {row[0].value_or("E").front(), QByteArray::fromStdString(row[1].value_or("")), storedDate(row[2])};
            stored_[key][static_cast<std::size_t>(std::stoi(row[3].value_or("1")) - 1)] = QByteArray::fromStdString(row[4].value_or(""));
        }
    }

    // The pattern the texts give, or why there is none: `kind` employee or department, the
    // subject, the first day, and a shift code (or `rest`) for each weekday from Monday.
    std::variant<Pattern, QString> read(const QString& kind, const QString& subject, const QString& from, const QStringList& days, const QString& rest) const
    {
        Pattern p;
        if (kind != u"employee" && kind != u"department")
            return QStringLiteral("KIND is employee or department, not '%1'").arg(kind);
        const char k = kind == u"employee" ? 'E' : 'D';
        QByteArray bytes;
        const QString problem = nameProblem(k == 'E' ? QStringLiteral("EMPLOYEE_ID") : QStringLiteral("DEPARTMENT"), subject, codec_, subjectWidth_, bytes);
        if (!problem.isEmpty())
            return problem;
        if (!subjects_.count({k, bytes}))
            return k == 'E' ? QStringLiteral("there is no employee %1").arg(subject)
                            : QStringLiteral("no employee is in the department %1 (employees import gives them one)").arg(subject);
        const auto date = dateOf(from);
        if (!date)
            return QStringLiteral("VALID_FROM must be a real date written YYYY/MM/DD, not '%1'").arg(from);
        p.key = {k, bytes, *date};
        for (int d = 0; d < 7; ++d) {
            const QString& code = days[d];
            if (code == rest)
                continue;
            QByteArray shift;
            try {
                shift = codec_.encode(code);
            } catch (const EDatabaseError&) {
                shift.clear(); // no code of the site's
            }
            if (shift.isEmpty() || !shifts_.count(shift))
                return QStringLiteral("%1: there is no shift '%2' (%3 is a rest day)").arg(weekdays[d], code, rest.isEmpty() ? QStringLiteral("an empty cell") : rest);
            p.week[static_cast<std::size_t>(d)] = shift;
        }
        // A shift that ends the next day must be over before that day's starts.
        for (int d = 0; d < 7; ++d) {
            const int next = (d + 1) % 7;
            const QByteArray& a = p.week[static_cast<std::size_t>(d)];
            const QByteArray& b = p.week[static_cast<std::size_t>(next)];
            if (a.isEmpty() || b.isEmpty())
                continue;
            const Span first = shifts_.at(a);
            const Span second = shifts_.at(b);
            if (first.end < first.start && first.end > second.start)
                return QStringLiteral("%1's shift %2 ends at %3 on %4, after that day's shift %5 starts at %6")
                    .arg(weekdays[d], codec_.decode(a), timeText(first.end), weekdays[next],
                         codec_.decode(b), timeText(second.start));
        }
        return p;
    }

    // Whether the pattern is new, the same as stored, or another stored on its date.
    enum class Stored { New,
                        Same,
                        Other };
    Stored stored(const Pattern& p) const
    {
        const auto it = stored_.find(p.key);
        if (it == stored_.end())
            return Stored::New;
        return it->second == p.week ? Stored::Same : Stored::Other;
    }

    const std::map<Key, Week>& all() const { return stored_; }

private:
    const TextCodec& codec_;
    const Width subjectWidth_;
    std::set<std::pair<char, QByteArray>> subjects_;
    std::map<QByteArray, Span> shifts_;
    std::map<Key, Week> stored_;
};

std::vector<std::vector<RawFirebird::Value>> writtenRows(const Pattern& p)
{
    std::vector<std::vector<RawFirebird::Value>> rows;
    for (std::size_t d = 0; d < 7; ++d) {
        const QByteArray& shift = p.week[d];
        rows.push_back({std::string(1, std::get<0>(p.key)), std::get<1>(p.key).toStdString(), serverDate(std::get<2>(p.key)),
                        std::to_string(d + 1), shift.isEmpty() ? RawFirebird::Value() : RawFirebird::Value(shift.toStdString())});
    }
    return rows;
}

const std::string insertPattern = "INSERT INTO WORK_PATTERN (SUBJECT_KIND, SUBJECT, VALID_FROM, WEEKDAY, SHIFT_CODE) VALUES (?, ?, ?, ?, ?)";

// --employee CODE or --department NAME, and --from DATE: kind and subject, and the date.
struct Subject {
    QString kind;
    QString name;
    QString from;
};

Subject subjectOptions(const QCommandLineParser& parser, const char* command)
{
    const bool employee = parser.isSet(QStringLiteral("employee"));
    if (employee == parser.isSet(QStringLiteral("department")) || !parser.isSet(QStringLiteral("from")))
        throw UsageError(std::string(command) + " takes --employee CODE or --department NAME, and --from YYYY/MM/DD");
    return {employee ? QStringLiteral("employee") : QStringLiteral("department"),
            parser.value(employee ? QStringLiteral("employee") : QStringLiteral("department")), parser.value(QStringLiteral("from"))};
}

void addSubjectOptions(QCommandLineParser& parser)
{
    parser.addOptions({connectionsOption(),
                       {QStringLiteral("employee"), QStringLiteral("The employee's pattern."), QStringLiteral("CODE")},
                       {QStringLiteral("department"), QStringLiteral("The department's pattern, for its employees who have none of their own."), QStringLiteral("NAME")},
                       {QStringLiteral("from"), QStringLiteral("The first day it applies."), QStringLiteral("YYYY/MM/DD")}});
}

int set(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Sets the weekly pattern of an employee or a department from a date on: a "
                                                    "shift code, or - for a rest day, for each weekday from Monday to Sunday. "
                                                    "The pattern holds until the subject's next one; an employee's own comes "
                                                    "before the department's. One pattern a subject and date."));
    addSubjectOptions(parser);
    parser.addPositionalArgument(QStringLiteral("MON..SUN"), QStringLiteral("Seven shift codes or -."), QStringLiteral("MON TUE WED THU FRI SAT SUN"));
    if (!parseCommand(parser, arguments))
        return 0;
    const Subject subject = subjectOptions(parser, "pattern set");
    if (parser.positionalArguments().size() != 7)
        throw UsageError("pattern set takes seven shift codes or -, Monday to Sunday");
    const Site site(parser);
    RawFirebird db = attachWithPart(site, "schedules");
    const Patterns patterns(db, site.codec());
    const auto read = patterns.read(subject.kind, subject.name, subject.from, parser.positionalArguments(), QStringLiteral("-"));
    if (const QString* problem = std::get_if<QString>(&read))
        throw std::runtime_error(problem->toStdString());
    const Pattern& p = std::get<Pattern>(read);
    switch (patterns.stored(p)) {
    case Patterns::Stored::Same:
        std::printf("%s: unchanged\n", qPrintable(describe(p.key, site.codec())));
        return 0;
    case Patterns::Stored::Other:
        throw std::runtime_error(describe(p.key, site.codec()).toStdString() + " has another pattern already (pattern remove takes it away)");
    case Patterns::Stored::New:
        break;
    }
    db.executeEach(insertPattern, writtenRows(p));
    std::printf("set the pattern of %s\n", qPrintable(describe(p.key, site.codec())));
    return 0;
}

int remove(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Removes the pattern of an employee or a department from a date; the "
                                                    "one before it then holds on."));
    addSubjectOptions(parser);
    if (!parseCommand(parser, arguments))
        return 0;
    const Subject subject = subjectOptions(parser, "pattern remove");
    if (!parser.positionalArguments().isEmpty())
        throw UsageError("pattern remove takes no arguments");
    const auto date = dateOf(subject.from);
    if (!date)
        throw UsageError("--from takes a real date written YYYY/MM/DD, not " + subject.from.toStdString());
    const Site site(parser);
    RawFirebird db = attachWithPart(site, "schedules");
    const Key key {subject.kind == u"employee" ? 'E' : 'D', site.codec().encode(subject.name), *date};
    if (!Patterns(db, site.codec()).all().count(key))
        throw std::runtime_error(describe(key, site.codec()).toStdString() + " has no pattern");
    db.executePrepared("DELETE FROM WORK_PATTERN WHERE SUBJECT_KIND = ? AND SUBJECT = ? AND VALID_FROM = ?",
                       {std::string(1, std::get<0>(key)), std::get<1>(key).toStdString(), serverDate(*date)});
    std::printf("removed the pattern of %s\n", qPrintable(describe(key, site.codec())));
    return 0;
}

int importFile(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Adds patterns from a UTF-8 CSV file whose header names ") + patternColumns.join(u',')
                                     + QStringLiteral(" in any order: KIND employee or department, VALID_FROM YYYY/MM/DD, "
                                                      "a shift code or an empty cell (a rest day) for each weekday. All or "
                                                      "nothing: a line refused writes nothing, and the exit status is 1."));
    parser.addOption(connectionsOption());
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The CSV file."));
    if (!parseCommand(parser, arguments))
        return 0;
    if (parser.positionalArguments().size() != 1)
        throw UsageError("pattern import takes one FILE");
    const std::vector<csv::Record> records = importRecords(parser.positionalArguments().first(), patternColumns);
    const Site site(parser);
    RawFirebird db = attachWithPart(site, "schedules");
    const Patterns patterns(db, site.codec());
    Refusals refusals;
    std::map<Key, int> seen; // -> line
    std::vector<std::vector<RawFirebird::Value>> rows;
    int added = 0;
    int unchanged = 0;
    for (const csv::Record& record : records) {
        if (!record.malformed.isEmpty()) {
            refusals.add(record.line, QStringLiteral("malformed CSV: ") + record.malformed);
            continue;
        }
        const auto read = patterns.read(record.fields[0], record.fields[1], record.fields[2], record.fields.mid(3), QString());
        if (const QString* problem = std::get_if<QString>(&read)) {
            refusals.add(record.line, *problem);
            continue;
        }
        const Pattern& p = std::get<Pattern>(read);
        const auto [first, isNew] = seen.emplace(p.key, record.line);
        if (!isNew) {
            refusals.add(record.line, QStringLiteral("a second pattern of %1 (the first on line %2)").arg(describe(p.key, site.codec())).arg(first->second));
            continue;
        }
        switch (patterns.stored(p)) {
        case Patterns::Stored::Same:
            ++unchanged;
            break;
        case Patterns::Stored::Other:
            refusals.add(record.line, describe(p.key, site.codec()) + QStringLiteral(" has another pattern already (pattern remove takes it away)"));
            break;
        case Patterns::Stored::New:
            ++added;
            for (auto& row : writtenRows(p))
                rows.push_back(std::move(row));
            break;
        }
    }
    std::fflush(stderr);
    refusals.check();
    db.executeEach(insertPattern, rows);
    std::printf("added %d, unchanged %d\n", added, unchanged);
    return 0;
}

std::vector<QStringList> listedRows(RawFirebird& db, const TextCodec& codec)
{
    std::vector<QStringList> rows;
    const Patterns patterns(db, codec);
    for (const auto& [key, week] : patterns.all()) {
        const QByteArray& subject = std::get<1>(key);
        QStringList row = {kindName(std::get<0>(key)), codec.decode(subject), dateText(std::get<2>(key))};
        for (const QByteArray& shift : week)
            row << codec.decode(shift);
        rows.push_back(row);
    }
    return rows;
}

Listing listing()
{
    return {QStringLiteral("Writes the patterns as UTF-8 CSV, as pattern import reads them: ") + patternColumns.join(u','), patternColumns, listedRows};
}

int list(const QStringList& arguments) { return runListing(arguments, listing(), false); }
int exportFile(const QStringList& arguments) { return runListing(arguments, listing(), true); }

} // namespace

int pattern(const QStringList& arguments)
{
    return dispatch(arguments, "set (--employee CODE | --department NAME) --from DATE MON..SUN | remove (--employee CODE | --department NAME) --from DATE | import FILE | list | export [FILE]",
                    {{"set", set}, {"remove", remove}, {"import", importFile}, {"list", list}, {"export", exportFile}});
}

} // namespace kordane::admin
