#pragma once
// The add, modify and delete commands on a record: their checks in a fixed order, then
// the catalogue's statements through a statement object. A check that does not pass
// throws a Refusal; the confirmations between check and statements are the window's.
#include "attendance/AttendanceRecord.h"
#include "data/Exceptions.h"

#include <functional>

namespace kordane {

class SqlConnection;
class SqlQuery;

namespace attendance {

// What the clerk is told when a check does not pass.
class Refusal : public Exception {
    using Exception::Exception;
};

// Told the weekday of the record's date as soon as it is known, before the checks after
// it may refuse.
using WeekdayKnown = std::function<void(const QString& weekday)>;

// Add: the checks of a record to be written, then a refusal when the very record is
// stored already (the duplicate check). Returns the record with the weekday of its date.
AttendanceRecord checkAdd(SqlQuery& query, AttendanceRecord record, const WeekdayKnown& weekdayKnown);
// Modify: the checks of a record to be written. Returns the record with its weekday.
AttendanceRecord checkModify(AttendanceRecord record, const WeekdayKnown& weekdayKnown);
// Modify: the records with the same four values (the delete by values) give way to this one (the
// insert), together
// or not at all, so a failing insert never loses the record it was meant to replace.
void modify(SqlConnection& connection, SqlQuery& query, const AttendanceRecord& record);
// Delete: the checks of a record to be looked for, which may hold blanks to reach any
// stored record.
void checkDelete(const AttendanceRecord& record);

// The duplicate check: whether a record with the same date, employee and times is stored.
bool recordExists(SqlQuery& query, const AttendanceRecord& record);
// The delete by values: deletes every record with the same date, employee and times.
void deleteByValues(SqlQuery& query, const AttendanceRecord& record);
// The insert of the record.
void insertRecord(SqlQuery& query, const AttendanceRecord& record);

} // namespace attendance
} // namespace kordane
