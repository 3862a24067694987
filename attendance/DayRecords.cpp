#include "attendance/DayRecords.h"

#include "attendance/Catalogue.h"
#include "data/resultset/ClientDataSet.h"
#include "data/sql/SqlStatement.h"

namespace kordane::attendance {

namespace {

QString rowText(const ClientDataSet& dataSet, const QString& column)
{
    return dataSet.fieldByName(column).asString();
}

// The result set opened again on the statement of `lines`.
void reopen(ClientDataSet& dataSet, const QStringList& lines)
{
    dataSet.close();
    dataSet.setCommandText(catalogue::joinLines(lines));
    dataSet.open();
}

} // namespace

void viewDay(ClientDataSet& dataSet, const QString& date)
{
    reopen(dataSet, catalogue::daySelect(date));
}

AttendanceRecord currentRecord(const ClientDataSet& dataSet, const QString& shownWeekday)
{
    const QString weekday = rowText(dataSet, QStringLiteral("BILL_WEEK"));
    return {
        .date = rowText(dataSet, QStringLiteral("INI_DATE")),
        .employeeCode = rowText(dataSet, QStringLiteral("EMPLOYEE_ID")),
        .timeIn = rowText(dataSet, QStringLiteral("TIME_IN")),
        .timeOut = rowText(dataSet, QStringLiteral("TIME_OUT")),
        .weekday = weekday.isEmpty() ? shownWeekday : weekday,
        .name = rowText(dataSet, QStringLiteral("EMPLOYEE_NAME")),
        .card = rowText(dataSet, QStringLiteral("CARD_ID")),
    };
}

void removeCurrentRecord(ClientDataSet& dataSet)
{
    const ClientDataSet::RowId row = dataSet.currentRowId();
    dataSet.deleteRecord();
    int failed = 0;
    try {
        failed = dataSet.applyUpdates(0);
    } catch (...) {
        dataSet.revertRow(row);
        throw;
    }
    if (failed == 0)
        return;
    dataSet.revertRow(row);
    throw EDatabaseError(dataSet.applyErrors().value(0));
}

EmployeeLookup lookUpEmployee(ClientDataSet& dataSet, SqlQuery& query, const AttendanceRecord& fields)
{
    EmployeeLookup lookup {EmployeeLookup::Found::NoCode, fields};
    const QString& code = fields.employeeCode;
    if (code.isEmpty())
        return lookup;
    reopen(dataSet, catalogue::employeeDaySelect(code, fields.date));
    dataSet.first();
    if (dataSet.recordCount() != 0) {
        lookup.found = EmployeeLookup::Found::OnTheDate;
        lookup.record = currentRecord(dataSet, fields.weekday);
        return lookup;
    }
    query.close();
    query.setSql(catalogue::employeeSelect(code));
    query.open();
    if (!query.isEmpty()) {
        lookup.found = EmployeeLookup::Found::Employee;
        lookup.record.name = query.asString(query.fieldByName(QStringLiteral("EMPLOYEE_NAME")));
        lookup.record.card = query.asString(query.fieldByName(QStringLiteral("CARD_ID")));
        return lookup;
    }
    lookup.found = EmployeeLookup::Found::Nobody;
    return lookup;
}

void fillInMissingNames(SqlQuery& query, const QDate& today)
{
    query.close();
    query.setSql(catalogue::backfillNames(catalogue::cutOffDateText(today)));
    query.execSql();
}

} // namespace kordane::attendance
