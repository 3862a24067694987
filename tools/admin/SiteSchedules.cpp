#include "tools/admin/SiteSchedules.h"

#include "tools/admin/Catalog.h"
#include "tools/admin/ScheduleInput.h"

#include <string>

namespace kordane::admin {
namespace {

int number(const RawFirebird::Value& value) { return std::stoi(value.value_or("0")); }

} // namespace

SiteSchedules::SiteSchedules(RawFirebird& db, const TextCodec& codec)
{
    // The patterns need the shifts they name; the departments only once there are patterns.
    if (!tableExists(db, "WORK_PATTERN") || db.query("SELECT FIRST 1 1 FROM WORK_PATTERN").empty())
        return;
    using Subject = attendance::WorkSchedules::Subject;
    for (const auto& row : db.query("SELECT SHIFT_CODE, START_MINUTE, END_MINUTE FROM WORK_SHIFT"))
        schedules_.addShift(decoded(codec, row[0]), attendance::Shift {number(row[1]), number(row[2])});
    for (const auto& row : db.query("SELECT SUBJECT_KIND, SUBJECT, VALID_FROM, WEEKDAY, SHIFT_CODE FROM WORK_PATTERN")) {
        const Subject kind = row[0].value_or("E") == "D" ? Subject::Department : Subject::Employee;
        schedules_.addPatternDay(kind, decoded(codec, row[1]), storedDate(row[2]), number(row[3]), decoded(codec, row[4]));
    }
    for (const auto& row : db.query("SELECT EMPLOYEE_ID, DEPARTMENT FROM EMPLOYEE_DEPARTMENT"))
        departments_[decoded(codec, row[0])] = decoded(codec, row[1]);
}

attendance::DayPlan SiteSchedules::planOn(const QString& employee, const QDate& date) const
{
    const auto department = departments_.find(employee);
    return schedules_.planOn(employee, department == departments_.end() ? QString() : department->second, date);
}

} // namespace kordane::admin
