#include "tools/report/Spells.h"

#include "attendance/DateConversion.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <tuple>
#include <utility>

namespace kordane::report {
namespace {

constexpr int dayLength = 24 * 60 * 60;

bool digitsAt(const QString& text, std::initializer_list<int> positions)
{
    return std::all_of(positions.begin(), positions.end(), [&](int i) { return text[i].isDigit() && text[i].unicode() < 0x80; });
}

int number(const QString& text, int at, int length) { return QStringView(text).sliced(at, length).toInt(); }

// The identity of a record is its date, code and two times, here as their texts' ranks.
using Identity = std::array<int, 4>;
Identity identity(const Record& r) { return {r.employeeCode.rank(), r.date.rank(), r.timeIn.rank(), r.timeOut.rank()}; }

// Every record that has a twin, whatever their order.
void flagIdentical(const std::vector<Record>& records, std::vector<Reasons>& found)
{
    std::vector<std::pair<Identity, std::size_t>> order(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        order[i] = {identity(records[i]), i};
    std::sort(order.begin(), order.end());
    for (std::size_t k = 1; k < order.size(); ++k) {
        if (order[k - 1].first == order[k].first) {
            found[order[k - 1].second].add(Reason::Identical);
            found[order[k].second].add(Reason::Identical);
        }
    }
}

// A closed spell where the month places it, in seconds on its employee's line of time.
// A record whose figures make no date is on a line of its own date text.
struct PlacedSpell {
    static constexpr std::uint32_t neighbour = UINT32_MAX;

    // The employee, then the dated spells after those on a line of their own date text:
    // made once, as a million spells sort by it.
    std::pair<int, qint64> line;
    Identity identity;
    qint64 start;
    int seconds;
    std::uint32_t reported; // its index among the records, or neighbour

    qint64 end() const { return start + seconds; }
};

std::pair<int, qint64> lineOf(const Identity& identity, bool dated)
{
    return {identity[0], dated ? std::numeric_limits<qint64>::max() : qint64(identity[1])};
}

void place(const std::vector<Record>& records, bool reported, const PlaceSpell& placeSpell, std::vector<PlacedSpell>& spells)
{
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto spell = spellOf(records[i]);
        if (!spell)
            continue;
        const QDate date = placedDate(records[i].date);
        const qint64 origin = date.isValid() ? date.toJulianDay() * dayLength : 0;
        const Identity id = identity(records[i]);
        const int start = placeSpell && date.isValid() ? placeSpell(records[i], date, spell->start) : spell->start;
        spells.push_back({lineOf(id, date.isValid()), id, origin + start, spell->seconds,
                          reported ? static_cast<std::uint32_t>(i) : PlacedSpell::neighbour});
    }
}

// Spells of one employee that share time, across midnight and whatever texts their
// dates are keyed in; twins are identical rather than overlapping.
void flagOverlaps(const std::vector<Record>& records, const std::vector<Record>& neighbours, const PlaceSpell& placeSpell,
                  std::vector<Reasons>& found)
{
    std::vector<PlacedSpell> spells;
    spells.reserve(records.size() + neighbours.size());
    place(records, true, placeSpell, spells);
    place(neighbours, false, placeSpell, spells);
    // Twins share their line and start, so they sort side by side, and each run of them is
    // compared as one: a site that keys a spell many times costs no more than once.
    std::sort(spells.begin(), spells.end(), [](const PlacedSpell& a, const PlacedSpell& b) {
        return std::tie(a.line, a.start, a.identity) < std::tie(b.line, b.start, b.identity);
    });
    std::vector<std::size_t> runs; // where each run of twins begins, and the end last
    for (std::size_t i = 0; i < spells.size(); ++i) {
        if (i == 0 || spells[i].identity != spells[i - 1].identity)
            runs.push_back(i);
    }
    runs.push_back(spells.size());
    const auto flag = [&](std::size_t run) {
        for (std::size_t k = runs[run]; k < runs[run + 1]; ++k) {
            if (spells[k].reported != PlacedSpell::neighbour)
                found[spells[k].reported].add(Reason::Overlap);
        }
    };
    for (std::size_t i = 0; i + 1 < runs.size(); ++i) {
        const PlacedSpell& a = spells[runs[i]];
        // Sorted by start: the first spell that starts after this one ends closes the search.
        for (std::size_t j = i + 1; j + 1 < runs.size(); ++j) {
            const PlacedSpell& b = spells[runs[j]];
            if (b.line != a.line || b.start >= a.end())
                break;
            if (a.start < b.end()) {
                flag(i);
                flag(j);
            }
        }
    }
}

} // namespace

std::optional<int> timeSeconds(const QString& text)
{
    if (text.size() != 8 || text[2] != u':' || text[5] != u':' || !digitsAt(text, {0, 1, 3, 4, 6, 7}))
        return std::nullopt;
    const int h = number(text, 0, 2), m = number(text, 3, 2), s = number(text, 6, 2);
    if (h > 23 || m > 59 || s > 59)
        return std::nullopt;
    return (h * 60 + m) * 60 + s;
}

QDate exactDate(const QString& text)
{
    if (text.size() != 10 || text[4] != u'/' || text[7] != u'/' || !digitsAt(text, {0, 1, 2, 3, 5, 6, 8, 9}))
        return {};
    return QDate(number(text, 0, 4), number(text, 5, 2), number(text, 8, 2));
}

bool noTime(const QString& text)
{
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

std::optional<Spell> spellOf(const Record& record)
{
    const auto in = record.timeIn.entry().seconds;
    const auto out = record.timeOut.entry().seconds;
    if (!in || !out)
        return std::nullopt;
    const bool nextDay = *out < *in;
    return Spell {*in, *out - *in + (nextDay ? dayLength : 0), nextDay};
}

QString lengthText(int seconds)
{
    const int minutes = seconds / 60;
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString reasonText(Reason reason)
{
    switch (reason) {
    case Reason::NoTimeOut:
        return QStringLiteral("沒有下班時間");
    case Reason::OutBeforeIn:
        return QStringLiteral("下班早於上班，算到次日");
    case Reason::Overlap:
        return QStringLiteral("與同日另一時段重疊");
    case Reason::Identical:
        return QStringLiteral("重複的紀錄");
    case Reason::UnknownEmployee:
        return QStringLiteral("員工檔沒有這個代號");
    case Reason::NameDiffers:
        return QStringLiteral("姓名與員工檔不同");
    case Reason::CardDiffers:
        return QStringLiteral("卡號與員工檔不同");
    case Reason::BadDate:
        return QStringLiteral("日期不完整或不存在");
    case Reason::BadTimeIn:
        return QStringLiteral("上班時間不完整或不存在");
    case Reason::BadTimeOut:
        return QStringLiteral("下班時間不完整或不存在");
    case Reason::WrongWeekday:
        return QStringLiteral("星期與日期不符");
    }
    return {};
}

std::vector<Reasons> findAnomalies(const std::vector<Record>& records, const std::vector<Record>& neighbours,
                                   const Employees& employees, const PlaceSpell& placeSpell)
{
    std::vector<Reasons> found(records.size());
    auto employeeOf = slotsByCode<std::optional<Employees::const_iterator>>(records);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        Reasons& reasons = found[i];
        // The date's reasons are its two texts' alone: the record before's, when they are its.
        if (i > 0 && r.date == records[i - 1].date && r.weekday == records[i - 1].weekday) {
            for (const Reason dated : {Reason::BadDate, Reason::WrongWeekday}) {
                if (found[i - 1].contains(dated))
                    reasons.add(dated);
            }
        } else if (const QDate date = exactDate(r.date); !date.isValid()) {
            reasons.add(Reason::BadDate);
        } else if (r.weekday != weekdayCharacter(dayOfWeek(date))) {
            reasons.add(Reason::WrongWeekday);
        }
        if (!r.timeIn.entry().seconds)
            reasons.add(Reason::BadTimeIn);
        if (noTime(r.timeOut))
            reasons.add(Reason::NoTimeOut);
        else if (!r.timeOut.entry().seconds)
            reasons.add(Reason::BadTimeOut);
        else if (const auto spell = spellOf(r); spell && spell->nextDay)
            reasons.add(Reason::OutBeforeIn);
        auto& slot = employeeOf[static_cast<std::size_t>(r.employeeCode.rank())];
        if (!slot)
            slot = employees.find(r.employeeCode);
        const auto employee = *slot;
        if (employee == employees.end()) {
            reasons.add(Reason::UnknownEmployee);
        } else if (employee->second.readable) {
            if (r.name != employee->second.name)
                reasons.add(Reason::NameDiffers);
            if (r.card != employee->second.card)
                reasons.add(Reason::CardDiffers);
        }
    }

    flagIdentical(records, found);
    flagOverlaps(records, neighbours, placeSpell, found);
    return found;
}

} // namespace kordane::report
