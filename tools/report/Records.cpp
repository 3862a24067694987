#include "tools/report/Records.h"

#include "attendance/Catalogue.h"
#include "attendance/DateConversion.h"
#include "data/sql/SqlConnection.h"
#include "data/sql/SqlStatement.h"
#include "tools/report/OutlyingDates.h"
#include "tools/report/Progress.h"
#include "tools/report/Spells.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <tuple>

namespace kordane::report {
namespace {

const QString columns = QStringLiteral("EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT, BILL_WEEK, EMPLOYEE_NAME, CARD_ID");
enum Column { EmployeeId,
              Date,
              TimeIn,
              TimeOut,
              Weekday,
              Name,
              Card };
const char* const columnNames[] = {"EMPLOYEE_ID", "INI_DATE", "TIME_IN", "TIME_OUT", "BILL_WEEK", "EMPLOYEE_NAME", "CARD_ID"};

QString quoted(const QString& text) { return u'\'' + catalogue::literalText(text) + u'\''; }

// Bytes for a message: printable ASCII as it is, anything else as \xNN.
QString escaped(std::string_view bytes)
{
    QString text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F)
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0'));
    }
    return text;
}

bool asciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

const QString monthFormat = QStringLiteral("yyyy/MM");

} // namespace

QDate placedDate(const QString& dateText)
{
    // Most texts are complete: read without an exception.
    if (const QDate exact = exactDate(dateText); exact.isValid())
        return exact;
    try {
        return strToDate(dateText, RegionalSettings::current());
    } catch (const EConvertError&) {
        return {};
    }
}

QDate placedDate(Text dateText)
{
    const Text::Entry& entry = dateText.entry();
    if (!entry.placed)
        entry.placed = placedDate(entry.text);
    return *entry.placed;
}

QString namedMonth(const QString& dateText)
{
    if (dateText.size() < 8 || dateText[4] != u'/' || dateText[7] != u'/')
        return {};
    for (const int i : {0, 1, 2, 3, 5, 6}) {
        if (!asciiDigit(dateText[i]))
            return {};
    }
    const QString month = dateText.left(7);
    if (!QDate::fromString(month, monthFormat).isValid())
        return {};
    const QStringView day = QStringView(dateText).sliced(7);
    return day >= u"/00" && day <= u"/99" ? month : QString();
}

void sortRecords(std::vector<Record>& records, bool dateFirst)
{
    // Keys of the texts' ranks and the place, which keeps equal records in their order; the
    // records are then moved into place along each cycle, with no second copy of them.
    std::vector<std::pair<std::array<int, 3>, std::size_t>> order(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        const int code = r.employeeCode.rank(), date = r.date.rank();
        order[i] = {{dateFirst ? date : code, dateFirst ? code : date, r.timeIn.rank()}, i};
    }
    std::sort(order.begin(), order.end());
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i].second == i)
            continue;
        Record first = std::move(records[i]);
        std::size_t to = i;
        while (order[to].second != i) {
            const std::size_t from = order[to].second;
            records[to] = std::move(records[from]);
            order[to].second = to;
            to = from;
        }
        records[to] = std::move(first);
        order[to].second = to;
    }
}

std::pair<QString, QString> heldNameAndCard(const Employees& employees, const QString& code, const Record* latest)
{
    const auto held = employees.find(code);
    if (held != employees.end() && held->second.readable)
        return {held->second.name, held->second.card};
    return latest ? std::pair<QString, QString>(latest->name, latest->card) : std::pair<QString, QString>();
}

Reader::Reader(SqlConnection& connection, Progress& progress)
    : connection_(connection)
    , progress_(progress)
{
}

std::optional<Text> Reader::text(SqlQuery& query, int column, const char* name)
{
    const std::string_view bytes = query.rawText(column);
    auto read = texts_[static_cast<std::size_t>(column)].intern(bytes, [&](std::string_view b) { return connection_.decodeExactly(b.data(), b.size()); });
    if (!read)
        unreadable(bytes, name);
    return read;
}

std::optional<QString> Reader::ownText(SqlQuery& query, int column, const char* name)
{
    const std::string_view bytes = query.rawText(column);
    auto read = connection_.decodeExactly(bytes.data(), bytes.size());
    if (!read)
        unreadable(bytes, name);
    return read;
}

void Reader::unreadable(std::string_view bytes, const char* name)
{
    if (problem_.isEmpty()) {
        if (charSet_.isEmpty()) {
            const QString set = connection_.paramValue(QStringLiteral("ServerCharSet")).value_or(QString()).trimmed();
            charSet_ = set.isEmpty() ? QStringLiteral("code page 950") : QStringLiteral("character set ") + set;
        }
        problem_ = QStringLiteral("%1 is not %2 text (%3)").arg(QLatin1String(name), charSet_, escaped(bytes));
    }
}

void Reader::skip(const QString& rowName)
{
    skipped_ << QStringLiteral("%1: %2; skipped").arg(rowName, problem_);
}

template<class Place>
void Reader::readRecords(SqlQuery& query, Stretch& into, Place place)
{
    for (query.open(); !query.eof(); query.next()) {
        progress_.row();
        problem_.clear();
        Record r;
        Text* const fields[] = {&r.employeeCode, &r.date, &r.timeIn, &r.timeOut, &r.weekday, &r.name};
        bool dateRead = true;
        for (int c = EmployeeId; c < Card; ++c) {
            if (auto value = text(query, c, columnNames[c]))
                *fields[c] = *value;
            else if (c == Date)
                dateRead = false;
        }
        if (auto card = ownText(query, Card, columnNames[Card]))
            r.card = cards_.add(*card);
        // A row that cannot be read is named where it would be reported, and wherever it
        // turns up when not even its date can be placed.
        const Fate fate = dateRead ? place(r) : Fate::Reported;
        if (!problem_.isEmpty()) {
            if (fate == Fate::Reported)
                skip(QStringLiteral("POS_DAY row of %1, employee %2").arg(escaped(query.rawText(Date)), escaped(query.rawText(EmployeeId))));
        } else if (fate == Fate::Reported) {
            into.records.push_back(std::move(r));
        } else if (fate == Fate::Compared) {
            into.neighbours.push_back(std::move(r));
        }
    }
    query.close();
    for (Texts& texts : texts_)
        texts.rank();
}

std::vector<Record> Reader::day(const QString& date)
{
    SqlQuery query(QStringLiteral("DayRecords"), connection_);
    QStringList lines = catalogue::daySelect(date);
    lines.front() = QStringLiteral("select ") + columns + QStringLiteral(" from POS_DAY ");
    query.setSql(lines);
    Stretch day;
    readRecords(query, day, [](const Record&) { return Fate::Reported; });
    return std::move(day.records);
}

std::vector<Record> Reader::around(const QDate& day)
{
    Stretch stretch = read(day, day, QString(), Undated::None, formatDate(day, RegionalSettings::current()));
    std::move(stretch.records.begin(), stretch.records.end(), std::back_inserter(stretch.neighbours));
    return std::move(stretch.neighbours);
}

Stretch Reader::range(const QDate& first, const QDate& last, const QString& employee, Undated undated)
{
    return read(first, last, employee, undated, QString());
}

Stretch Reader::read(const QDate& first, const QDate& last, const QString& employee, Undated undated, const QString& leftOut)
{
    const RegionalSettings& regional = RegionalSettings::current();
    const QDate before = first.addDays(-1);
    const QDate after = last.addDays(1);
    const QString firstMonth = first.toString(monthFormat);
    const QString lastMonth = last.toString(monthFormat);
    // Date texts of the right shape sort as their dates do, so the index finds the
    // stretch's, its neighbours' and those of its months' days that do not exist.
    QString low = formatDate(before, regional);
    QString high = formatDate(after, regional);
    if (undated != Undated::None) {
        low = std::min(low, firstMonth + QStringLiteral("/00"));
        high = std::max(high, lastMonth + QStringLiteral("/99"));
    }
    const auto place = [&](const Record& r) {
        const QDate day = placedDate(r.date);
        if (day.isValid())
            return day >= first && day <= last ? Fate::Reported : day == before || day == after ? Fate::Compared
                                                                                                : Fate::Left;
        const QString month = namedMonth(r.date);
        const bool held = month.isEmpty() ? undated == Undated::Everywhere
                                          : undated != Undated::None && month >= firstMonth && month <= lastMonth;
        return held ? Fate::Reported : Fate::Left;
    };
    const QString select = QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM POS_DAY");
    const QString span = QStringLiteral("INI_DATE BETWEEN ") + quoted(low) + QStringLiteral(" AND ") + quoted(high);
    const QString ofEmployee = employee.isEmpty() ? QString() : QStringLiteral(" AND EMPLOYEE_ID = ") + quoted(employee);
    const QString notLeftOut = leftOut.isEmpty() ? QString() : QStringLiteral(" AND INI_DATE <> ") + quoted(leftOut);
    Stretch stretch;
    SqlQuery query(QStringLiteral("RangeRecords"), connection_);
    query.setSql({select, QStringLiteral(" WHERE ") + span + notLeftOut + ofEmployee});
    readRecords(query, stretch, place);

    // The others sort anywhere: those out of shape may be placed in the stretch by their
    // figures, and those of no month's shape are in no month.
    const auto unshaped = unshapedDatesOutside(connection_, low, high);
    if (!unshaped) {
        const QString noMonthsShape = QStringLiteral("(INI_DATE NOT SIMILAR TO '[0-9]{4}/(0[1-9]|1[0-2])/[0-9]{2}'"
                                                     " OR INI_DATE STARTING WITH '0000')");
        query.setSql({select, QStringLiteral(" WHERE (INI_DATE IS NULL OR NOT (") + span + QStringLiteral(") AND ") + noMonthsShape + QStringLiteral(")") + ofEmployee});
        readRecords(query, stretch, place);
        return stretch;
    }
    // A few texts a statement. A null reads as the empty text, which is the first of them
    // when there is one, so the two are read together, as they come.
    constexpr qsizetype textsAStatement = 100;
    for (qsizetype at = 0; at == 0 || at < unshaped->size(); at += textsAStatement) {
        QStringList texts;
        for (const QString& text : unshaped->mid(at, textsAStatement))
            texts << quoted(text);
        QStringList either;
        if (at == 0)
            either << QStringLiteral("INI_DATE IS NULL");
        if (!texts.isEmpty())
            either << QStringLiteral("INI_DATE IN (") + texts.join(u',') + u')';
        query.setSql({select, QStringLiteral(" WHERE (") + either.join(QStringLiteral(" OR ")) + u')' + ofEmployee});
        readRecords(query, stretch, place);
    }
    return stretch;
}

Employees Reader::employees()
{
    SqlQuery query(QStringLiteral("Employees"), connection_);
    query.setSql({QStringLiteral("SELECT EMPLOYEE_ID, EMPLOYEE_NAME, CARD_ID FROM EMPLOYEE")});
    Employees employees;
    for (query.open(); !query.eof(); query.next()) {
        problem_.clear();
        const auto code = ownText(query, 0, "EMPLOYEE_ID");
        const auto name = ownText(query, 1, "EMPLOYEE_NAME");
        const auto card = ownText(query, 2, "CARD_ID");
        if (!problem_.isEmpty())
            skip(QStringLiteral("EMPLOYEE row %1").arg(escaped(query.rawText(0))));
        // A code that was read is still held: its records are not of an unknown employee.
        if (code)
            employees.emplace(*code, Employee {name.value_or(QString()), card.value_or(QString()), name && card});
    }
    return employees;
}

} // namespace kordane::report
