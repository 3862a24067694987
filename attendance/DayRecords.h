#pragma once
// The records of a day as a result set holds them: the view of a date,
// the record of the current row, and the two-step employee lookup that goes through it.
#include "attendance/AttendanceRecord.h"

#include <QDate>

namespace kordane {

class ClientDataSet;
class SqlQuery;

namespace attendance {

// The day's records: those of `date`, by employee and time in, into the result set.
void viewDay(ClientDataSet& dataSet, const QString& date);

// The current row as a record; a row without a weekday takes `shownWeekday`.
AttendanceRecord currentRecord(const ClientDataSet& dataSet, const QString& shownWeekday);

struct EmployeeLookup {
    enum class Found {
        NoCode, // no employee code: nothing was looked for
        OnTheDate, // the employee's first record on the date
        Employee, // no record on the date, but the employee: name and card
        Nobody, // an unknown code
    };
    Found found = Found::NoCode;
    AttendanceRecord record; // `fields` with what was found
};

// The grid's removal: the current row is deleted and the change applied at once. A removal
// that did not happen throws what stopped it, and its row is back in view as fetched and
// current; the failed change is out of the log, so the next removal stands on its own.
void removeCurrentRecord(ClientDataSet& dataSet);

// Leaving the employee field: first the employee's records on the date (into the
// result set, whose first row counts), then the employee alone (through the statement).
EmployeeLookup lookUpEmployee(ClientDataSet& dataSet, SqlQuery& query, const AttendanceRecord& fields);

// At start-up: the missing employee names of the records of the last 35 days before
// `today` are filled in from the employees (the name backfill).
void fillInMissingNames(SqlQuery& query, const QDate& today);

} // namespace attendance
} // namespace kordane
