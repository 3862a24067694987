#pragma once
// The pay of each employee's days in a period: the records' spells, read where the day's
// shift places them, against the day's schedule, the weekly norm over whole
// Monday-to-Sunday weeks (so a period that starts mid-week counts that week's earlier days
// too), and the night shifts the schedule explains, which need no look.
#include "attendance/PayRules.h"
#include "tools/report/PaySite.h"
#include "tools/report/Records.h"
#include "tools/report/Spells.h"

#include <map>
#include <vector>

namespace kordane::report {

struct EmployeePay {
    std::vector<attendance::DayPay> days; // one a date of the period, in order
    attendance::DayPay total;
    int daysWorked = 0; // days with a record
    int absences = 0;
};

// For every employee with a record in the period or a working day scheduled in it (or
// `onlyEmployee` alone, when given). `leadIn` are the records of the week's days before
// the period; `records` may hold others, which are left out.
std::map<QString, EmployeePay> payFigures(const std::vector<Record>& records, const std::vector<Record>& leadIn, const PaySite& site,
                                          const Employees& employees, const attendance::PayPeriod& period, const QString& onlyEmployee);

// What findAnomalies finds, each spell read where its day's shift places it, but "ends the
// next day" for a record whose spell is the overnight shift its day is scheduled for.
std::vector<Reasons> anomaliesOf(const std::vector<Record>& records, const std::vector<Record>& neighbours,
                                 const Employees& employees, const PaySite& site);

} // namespace kordane::report
