#include "attendance/PayRules.h"

#include "attendance/PaySettings.h"
#include "data/Exceptions.h"

#include <QTime>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

namespace kordane::attendance {
namespace {

int minutesOf(const QString& name, const QString& value)
{
    if (name.startsWith(QLatin1String("NIGHT_"))) {
        const QTime t = QTime::fromString(value, QStringLiteral("HH:mm"));
        return t.hour() * 60 + t.minute();
    }
    return value.toInt();
}

int overlap(int aStart, int aEnd, int bStart, int bEnd) { return std::max(0, std::min(aEnd, bEnd) - std::max(aStart, bStart)); }

// The night windows a spell can touch: from the one that starts the day before the spell's
// to the one of the day it ends on.
int nightSeconds(const WorkedSpell& spell, const PayRules& rules)
{
    const int start = rules.nightStart * 60;
    const int length = ((rules.nightEnd - rules.nightStart + 1440) % 1440) * 60;
    int total = 0;
    for (int day = spell.start / daySeconds - 1; day <= (spell.start + spell.seconds) / daySeconds; ++day)
        total += overlap(spell.start, spell.start + spell.seconds, day * daySeconds + start, day * daySeconds + start + length);
    return total;
}

int minutesBeyond(int seconds, int graceMinutes) { return seconds > graceMinutes * 60 ? (seconds - graceMinutes * 60) / 60 : 0; }

} // namespace

PayRules payRulesFrom(const std::map<QString, QString>& stored)
{
    std::map<QString, int> values;
    for (const PaySetting& s : paySettings()) {
        const QString name = QLatin1String(s.name);
        const auto held = stored.find(name);
        const QString value = held == stored.end() ? QLatin1String(s.defaultValue) : held->second;
        if (const auto problem = paySettingProblem(name, value))
            throw Exception(QStringLiteral("setting %1 '%2' %3").arg(name, value, *problem));
        values[name] = minutesOf(name, value);
    }
    PayRules rules;
    rules.periodFirstDay = values[QStringLiteral("PAY_PERIOD_FIRST_DAY")];
    rules.dailyNorm = values[QStringLiteral("DAILY_NORM_MINUTES")];
    rules.weeklyNorm = values[QStringLiteral("WEEKLY_NORM_MINUTES")];
    rules.nightStart = values[QStringLiteral("NIGHT_START")];
    rules.nightEnd = values[QStringLiteral("NIGHT_END")];
    return rules;
}

PayPeriod payPeriodEnding(int year, int month, int firstDay)
{
    const QDate named(year, month, 1);
    if (firstDay <= 1)
        return {named, named.addMonths(1).addDays(-1)};
    return {named.addMonths(-1).addDays(firstDay - 1), named.addDays(firstDay - 2)};
}

void addPay(DayPay& sum, const DayPay& d)
{
    sum.scheduled += d.scheduled;
    sum.paid += d.paid;
    sum.lateMinutes += d.lateMinutes;
    sum.earlyMinutes += d.earlyMinutes;
    sum.overDaily += d.overDaily;
    sum.overWeekly += d.overWeekly;
    sum.restDay += d.restDay;
    sum.holiday += d.holiday;
    sum.night += d.night;
}

DayPay payDay(std::span<const WorkedSpell> spells, bool present, const DayPlan& plan, const PayRules& rules)
{
    DayPay pay;
    const bool workDay = plan.shift && !plan.holiday;
    if (workDay)
        pay.scheduled = plan.shift->seconds() - plan.shift->breakMinutes * 60;
    pay.absent = workDay && !present;
    if (spells.empty())
        return pay;

    std::vector<WorkedSpell> sorted(spells.begin(), spells.end());
    std::sort(sorted.begin(), sorted.end(), [](const WorkedSpell& a, const WorkedSpell& b) { return a.start < b.start; });
    int worked = 0;
    int gaps = 0; // time off between spells: a break already taken out of them
    int end = sorted.front().start;
    for (const WorkedSpell& s : sorted) {
        worked += s.seconds;
        gaps += std::max(0, s.start - end);
        end = std::max(end, s.start + s.seconds);
        pay.night += nightSeconds(s, rules);
    }
    const int unpaid = plan.shift ? std::max(0, plan.shift->breakMinutes * 60 - gaps) : 0;
    pay.paid = std::max(0, worked - unpaid);

    if (plan.holiday) {
        pay.holiday = pay.paid;
    } else if (plan.restDay()) {
        pay.restDay = pay.paid;
    } else {
        pay.overDaily = std::max(0, pay.paid - rules.dailyNorm * 60);
    }
    if (workDay) {
        const int shiftStart = plan.shift->startMinute * 60;
        pay.lateMinutes = minutesBeyond(sorted.front().start - shiftStart, plan.shift->lateGrace);
        pay.earlyMinutes = minutesBeyond(shiftStart + plan.shift->seconds() - end, plan.shift->earlyGrace);
    }
    return pay;
}

void applyWeeklyNorm(std::span<DayPay> week, const PayRules& rules)
{
    int running = 0;
    for (DayPay& day : week) {
        const int regular = day.regular();
        const int before = running;
        running += regular;
        day.overWeekly = std::max(0, running - std::max(before, rules.weeklyNorm * 60));
    }
}

bool startsNear(int start, const Shift& shift)
{
    const int shiftStart = shift.startMinute * 60;
    return start >= shiftStart - shiftReachSeconds && start <= shiftStart + shift.seconds() + shiftReachSeconds;
}

int placedStart(int start, const DayPlan& plan)
{
    if (!plan.shift)
        return start;
    const int shiftStart = plan.shift->startMinute * 60;
    std::optional<int> nearest;
    // A shift is shorter than a day, so its reach ends before the third day's midnight.
    for (const int reading : {start, start - daySeconds, start + daySeconds, start + 2 * daySeconds}) {
        if (startsNear(reading, *plan.shift) && (!nearest || std::abs(reading - shiftStart) < std::abs(*nearest - shiftStart)))
            nearest = reading;
    }
    return nearest.value_or(start);
}

bool matchesNightShift(const WorkedSpell& spell, const DayPlan& plan)
{
    const bool crossesIntoDay = spell.start < 0 || (plan.shift && plan.shift->overnight() && spell.start + spell.seconds > daySeconds);
    if (!plan.shift || !crossesIntoDay)
        return false;
    const int start = plan.shift->startMinute * 60;
    return overlap(spell.start, spell.start + spell.seconds, start, start + plan.shift->seconds()) > 0;
}

QDate weekStart(const QDate& date) { return date.addDays(1 - date.dayOfWeek()); }

} // namespace kordane::attendance
