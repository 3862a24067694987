#include "attendance/PunchPairing.h"

#include "attendance/DateConversion.h"
#include "attendance/RegionalSettings.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

namespace kordane::attendance {
namespace {

constexpr Moment dayLength = 24 * 60 * 60;

} // namespace

Moment momentOf(const QDate& date, int secondOfDay)
{
    return date.toJulianDay() * dayLength + secondOfDay;
}

QDate dateOf(Moment moment)
{
    return QDate::fromJulianDay(moment / dayLength);
}

int secondOfDay(Moment moment)
{
    return static_cast<int>(moment % dayLength);
}

Pairing pairPunches(const std::vector<TimedPunch>& punches, const StoredState& stored, const PairingRules& rules)
{
    std::vector<std::size_t> order(punches.size());
    std::iota(order.begin(), order.end(), std::size_t {0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return punches[a].at < punches[b].at; });

    Pairing pairing;
    // The open in: nullopt inside for the stored one.
    std::optional<std::optional<std::size_t>> open;
    Moment openAt = 0;
    if (stored.openIn) {
        open.emplace(std::nullopt);
        openAt = *stored.openIn;
    }
    std::optional<Moment> last = stored.lastPunch;
    const auto leaveOpenAlone = [&] {
        // A stored lone in is a record already; a new one becomes one.
        if (*open)
            pairing.spells.push_back({*open, std::nullopt});
        open.reset();
    };
    for (const std::size_t i : order) {
        const TimedPunch& punch = punches[i];
        if (last && punch.at - *last < Moment {rules.repeatMinutes} * 60) {
            pairing.repeats.push_back(i);
            continue;
        }
        last = punch.at;
        if (open && punch.at - openAt > Moment {rules.longestSpellHours} * 3600)
            leaveOpenAlone();
        Direction direction = punch.direction;
        if (direction == Direction::Unknown)
            direction = open ? Direction::Out : Direction::In;
        if (direction == Direction::In) {
            if (open)
                leaveOpenAlone();
            open.emplace(i);
            openAt = punch.at;
        } else if (open) {
            pairing.spells.push_back({*open, i});
            open.reset();
        } else {
            pairing.loneOuts.push_back(i);
        }
    }
    if (open)
        leaveOpenAlone();
    return pairing;
}

QDate spellDay(Moment in, const std::function<DayPlan(const QDate&)>& planOn)
{
    const QDate started = dateOf(in);
    QDate day = started;
    std::optional<Moment> nearest;
    // A shift lasts less than a day, so only one that starts from two days before to the
    // day after can reach the spell's start.
    for (const int offset : {-2, -1, 0, 1}) {
        const QDate candidate = started.addDays(offset);
        const DayPlan plan = planOn(candidate);
        const auto onItsLine = static_cast<int>(in - momentOf(candidate, 0));
        if (!plan.shift || !startsNear(onItsLine, *plan.shift))
            continue;
        const Moment distance = std::abs(onItsLine - plan.shift->startMinute * 60);
        if (!nearest || distance < *nearest) {
            nearest = distance;
            day = candidate;
        }
    }
    return day;
}

AttendanceRecord spellRecord(const QDate& day, Moment in, std::optional<Moment> out, const QString& employeeCode,
                             const QString& name, const QString& card)
{
    const RegionalSettings& regional = RegionalSettings::current();
    AttendanceRecord record;
    record.date = formatDate(day, regional);
    record.employeeCode = employeeCode;
    record.timeIn = formatTime(secondOfDay(in), regional);
    record.timeOut = out ? formatTime(secondOfDay(*out), regional) : QString();
    record.weekday = weekdayCharacter(dayOfWeek(day));
    record.name = name;
    record.card = card;
    return record;
}

} // namespace kordane::attendance
