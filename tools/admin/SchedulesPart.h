#pragma once
// The tables of departments, shifts, weekly patterns, holidays and the site's settings,
// read by the month report and the payroll export. Texts are code page 950 bytes, as in the
// program's own tables.
//
//   EMPLOYEE_DEPARTMENT  one department an employee
//   WORK_SHIFT           a shift's start and end in minutes of the day (an end before the
//                        start ends the next day), its unpaid break, and the minutes of
//                        grace for lateness and for early leave
//   WORK_PATTERN         which shift on which weekday (1 Monday .. 7 Sunday; a null shift is a
//                        rest day), for an employee (E) or a department (D), from VALID_FROM
//                        until the subject's next pattern
//   HOLIDAY              the site's holidays
//   SITE_SETTING         named values (the pay period's first day, the norms, night hours)
#include "data/sql/TextCodec.h"
#include "tools/rawfb/RawFirebird.h"

#include <string>
#include <vector>

namespace kordane::admin {

std::vector<std::string> schedulesMissing(RawFirebird& db, const TextCodec& codec);

} // namespace kordane::admin
