#pragma once
// The three reports, from the records read.
#include "attendance/PayRules.h"
#include "tools/report/PaySite.h"
#include "tools/report/Records.h"
#include "tools/sheet/Sheet.h"

namespace kordane::report {

// The dates a month report or payroll covers, and what its titles call them.
struct ReportPeriod {
    QString label;
    attendance::PayPeriod dates;
    QString employee; // empty for every employee
    QStringList closedNotes; // a line for each closed pay period it touches
};

// The date's records in the view's order, each with its spell's length and what needs a
// look; `around` are the records the view leaves out that its spells may overlap.
Sheet dayReport(const QString& date, const std::vector<Record>& records, const std::vector<Record>& around,
                const Employees& employees, const PaySite& site);
// One line per employee; for `paper` also a page per employee with the period's days as
// rows. With schedules, each line and day has its pay, every employee scheduled to work
// has a line, and lines for each department and the site follow. `leadIn`: the records
// of the first week's days before the period, which the weekly norm counts.
Sheet monthReport(const ReportPeriod& period, Stretch stretch, const std::vector<Record>& leadIn, const Employees& employees,
                  const PaySite& site, bool paper);
// A line for each reason a record needs a look, by date, employee and time.
Sheet anomaliesReport(const QString& from, const QString& to, Stretch stretch, const Employees& employees, const PaySite& site);

} // namespace kordane::report
