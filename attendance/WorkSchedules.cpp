#include "attendance/WorkSchedules.h"

#include "data/Exceptions.h"

namespace kordane::attendance {

void WorkSchedules::addShift(const QString& code, const Shift& shift) { shifts_[code] = shift; }

void WorkSchedules::addPatternDay(Subject kind, const QString& subject, const QDate& validFrom, int weekday, const QString& shiftCode)
{
    if (weekday < 1 || weekday > 7)
        throw Exception(QStringLiteral("pattern of %1 from %2: weekday %3 is not 1 to 7").arg(subject, validFrom.toString(Qt::ISODate)).arg(weekday));
    const Shift* shift = nullptr;
    if (!shiftCode.isEmpty()) {
        const auto found = shifts_.find(shiftCode);
        if (found == shifts_.end())
            throw Exception(QStringLiteral("pattern of %1 from %2 names shift %3, which does not exist").arg(subject, validFrom.toString(Qt::ISODate), shiftCode));
        shift = &found->second;
    }
    // A new date's week starts all rest, so weekdays without a row are rest days.
    patterns_[{kind, subject}].try_emplace(validFrom, Week {}).first->second[static_cast<std::size_t>(weekday - 1)] = shift;
}

const WorkSchedules::Week* WorkSchedules::weekOn(Subject kind, const QString& subject, const QDate& date) const
{
    const auto found = patterns_.find({kind, subject});
    if (found == patterns_.end())
        return nullptr;
    const auto& byDate = found->second;
    auto after = byDate.upper_bound(date);
    return after == byDate.begin() ? nullptr : &std::prev(after)->second;
}

DayPlan WorkSchedules::planOn(const QString& employee, const QString& department, const QDate& date) const
{
    DayPlan plan;
    plan.holiday = holidays_.contains(date);
    const Week* week = weekOn(Subject::Employee, employee, date);
    if (!week && !department.isEmpty())
        week = weekOn(Subject::Department, department, date);
    if (week) {
        plan.scheduled = true;
        plan.shift = (*week)[static_cast<std::size_t>(date.dayOfWeek() - 1)];
    }
    return plan;
}

} // namespace kordane::attendance
