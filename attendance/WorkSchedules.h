#pragma once
// The site's shifts, weekly patterns and holidays, and which of them applies on a date.
// A pattern belongs to an employee or to a department and applies from its VALID_FROM
// until the same subject's next one, so a change of schedule leaves the past as it was.
#include "attendance/PayRules.h"

#include <QDate>
#include <QString>

#include <array>
#include <map>
#include <set>
#include <utility>

namespace kordane::attendance {

class WorkSchedules {
public:
    enum class Subject : char { Employee = 'E',
                                Department = 'D' };

    void addShift(const QString& code, const Shift& shift);
    // One weekday (1 Monday .. 7 Sunday) of a pattern; an empty shift code is a rest day,
    // and so is a weekday the pattern has no row for. Throws Exception for a shift not added.
    void addPatternDay(Subject kind, const QString& subject, const QDate& validFrom, int weekday, const QString& shiftCode);
    void addHoliday(const QDate& date) { holidays_.insert(date); }

    bool empty() const { return patterns_.empty(); }

private:
    using Week = std::array<const Shift*, 7>;
    using Weeks = std::map<QDate, Week>; // by VALID_FROM

public:
    // One employee's schedules, found once for asking of many dates.
    class Person {
    public:
        // The employee's own pattern where one applies on the date, else the department's.
        DayPlan planOn(const QDate& date) const;

    private:
        friend class WorkSchedules;
        const WorkSchedules* schedules_ = nullptr;
        const Weeks* own_ = nullptr;
        const Weeks* department_ = nullptr;
    };
    Person person(const QString& employee, const QString& department) const;

    DayPlan planOn(const QString& employee, const QString& department, const QDate& date) const
    {
        return person(employee, department).planOn(date);
    }

private:
    const Weeks* weeksOf(Subject kind, const QString& subject) const;

    std::map<QString, Shift> shifts_;
    std::map<std::pair<Subject, QString>, Weeks> patterns_;
    std::set<QDate> holidays_;
};

} // namespace kordane::attendance
