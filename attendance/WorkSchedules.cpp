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

const WorkSchedules::Weeks* WorkSchedules::weeksOf(Subject kind, const QString& subject) const
{
    const auto found = patterns_.find({kind, subject});
    return found == patterns_.end() ? nullptr : &found->second;
}

WorkSchedules::Person WorkSchedules::person(const QString& employee, const QString& department) const
{
    Person p;
    p.schedules_ = this;
    p.own_ = weeksOf(Subject::Employee, employee);
    if (!department.isEmpty())
        p.department_ = weeksOf(Subject::Department, department);
    return p;
}

DayPlan WorkSchedules::Person::planOn(const QDate& date) const
{
    const auto weekOn = [&](const Weeks* weeks) -> const Week* {
        if (!weeks)
            return nullptr;
        auto after = weeks->upper_bound(date);
        return after == weeks->begin() ? nullptr : &std::prev(after)->second;
    };
    DayPlan plan;
    plan.holiday = schedules_->holidays_.contains(date);
    const Week* week = weekOn(own_);
    if (!week)
        week = weekOn(department_);
    if (week) {
        plan.scheduled = true;
        plan.shift = (*week)[static_cast<std::size_t>(date.dayOfWeek() - 1)];
    }
    return plan;
}

} // namespace kordane::attendance
