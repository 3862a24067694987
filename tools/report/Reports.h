#pragma once
// The three reports, from the records read.
#include "tools/report/Records.h"
#include "tools/sheet/Sheet.h"

namespace kordane::report {

// The date's records in the view's order, each with its spell's length and what needs a
// look; `around` are the records the view leaves out that its spells may overlap.
Sheet dayReport(const QString& date, const std::vector<Record>& records, const std::vector<Record>& around,
                const Employees& employees);
// One line per employee; for `paper` also a page per employee with the month's days as rows.
Sheet monthReport(const QString& month, Stretch stretch, const Employees& employees, bool paper);
// A line for each reason a record needs a look, by date, employee and time.
Sheet anomaliesReport(const QString& from, const QString& to, Stretch stretch, const Employees& employees);

} // namespace kordane::report
