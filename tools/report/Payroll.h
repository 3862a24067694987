#pragma once
// The payroll: one line an employee, in a fixed layout a payroll system can import.
//
//   PERIOD          first and last date, YYYY/MM/DD-YYYY/MM/DD
//   DEPARTMENT      EMPLOYEE_ID  EMPLOYEE_NAME  CARD_ID      texts, as held
//   DAYS_WORKED     days with a record
//   PAID_HOURS ... NIGHT_HOURS   decimal hours, two decimals, rounded half up
//   LATE_MINUTES  EARLY_MINUTES  ABSENCES  OPEN_ANOMALIES   whole numbers
#include "tools/report/Reports.h"

#include <QByteArray>

namespace kordane::report {

// The lines, with the figures' columns marked right-aligned: numbers, not texts.
Table payrollTable(const ReportPeriod& period, Stretch stretch, const std::vector<Record>& leadIn, const Employees& employees,
                   const PaySite& site);

// Hours of seconds as a decimal text with two places, rounded half up.
QString decimalHours(int seconds);

} // namespace kordane::report
