#include "attendance/RecordCommands.h"

#include "attendance/Catalogue.h"
#include "attendance/DateConversion.h"
#include "data/sql/SqlStatement.h"
#include "data/sql/TransactionScope.h"

#include <algorithm>
#include <initializer_list>

namespace kordane::attendance {

namespace {

// Blanks and control characters off both ends.
QStringView trimmed(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= ' ')
        ++first;
    while (last > first && text[last - 1].unicode() <= ' ')
        --last;
    return QStringView(text).sliced(first, last - first);
}

// Of the right length once trimmed; a text written to the database must also have no
// blank left inside, or no view of the real date or time would ever find the record.
bool fits(const QString& text, qsizetype length, bool written)
{
    const QStringView core = trimmed(text);
    return core.size() == length
        && (!written || std::none_of(core.begin(), core.end(), [](QChar c) { return c.unicode() <= ' '; }));
}

// Each parameter its text, in the order of `names`.
void bind(SqlQuery& query, const QStringList& names, std::initializer_list<QString> values)
{
    qsizetype i = 0;
    for (const QString& value : values)
        query.paramByName(names[i++]).setAsString(value);
}

// The duplicate check and the delete by values run with the four values bound, so that
// their texts repeat and stay prepared. A value longer than its parameter is refused by
// the driver, where written into the text it is compared as the server compares texts
// (blanks past the column's width ignored, anything else matching nothing): then the
// statement runs once more with the values written in, and compares exactly as it always has.
void byValues(SqlQuery& query, const AttendanceRecord& record, QStringList (*bound)(),
              QStringList (*written)(const QString&, const QString&, const QString&, const QString&),
              void (SqlQuery::*run)())
{
    query.close();
    query.setSql(bound());
    bind(query, catalogue::keyParamNames(), {record.date, record.employeeCode, record.timeIn, record.timeOut});
    try {
        (query.*run)();
    } catch (const EDriverError& e) {
        if (e.status() != dbx::DBXERR_INVALIDLEN)
            throw;
        query.close();
        query.setSql(written(record.date, record.employeeCode, record.timeIn, record.timeOut));
        (query.*run)();
    }
}

const QString formatError = QStringLiteral("日期格式錯誤..!");

// The checks shared by the three commands. A record to be written (add, modify) also
// needs the weekday of its date, returned and told as soon as it is known.
QString checkFields(const AttendanceRecord& record, bool writing, const WeekdayKnown& weekdayKnown)
{
    if (!fits(record.date, 10, writing))
        throw Refusal(formatError);
    QString weekday;
    if (writing) {
        weekday = weekdayOf(record.date);
        weekdayKnown(weekday);
    }
    if (record.employeeCode.isEmpty())
        throw Refusal(QStringLiteral("人員代號不可空白..!"));
    if (!fits(record.timeIn, 8, writing) || !fits(record.timeOut, 8, writing))
        throw Refusal(formatError);
    return weekday;
}

} // namespace

AttendanceRecord checkAdd(SqlQuery& query, AttendanceRecord record, const WeekdayKnown& weekdayKnown)
{
    record.weekday = checkFields(record, true, weekdayKnown);
    if (recordExists(query, record))
        throw Refusal(QStringLiteral("修改功能無效..!"));
    return record;
}

AttendanceRecord checkModify(AttendanceRecord record, const WeekdayKnown& weekdayKnown)
{
    record.weekday = checkFields(record, true, weekdayKnown);
    return record;
}

void modify(SqlConnection& connection, SqlQuery& query, const AttendanceRecord& record)
{
    TransactionScope transaction(connection);
    deleteByValues(query, record);
    insertRecord(query, record);
    transaction.commit();
}

void checkDelete(const AttendanceRecord& record)
{
    checkFields(record, false, {});
}

bool recordExists(SqlQuery& query, const AttendanceRecord& record)
{
    byValues(query, record, catalogue::duplicateCheckBound, catalogue::duplicateCheck, &SqlQuery::open);
    return !query.isEmpty();
}

void deleteByValues(SqlQuery& query, const AttendanceRecord& record)
{
    byValues(query, record, catalogue::deleteByValuesBound, catalogue::deleteByValues, &SqlQuery::execSql);
}

void insertRecord(SqlQuery& query, const AttendanceRecord& record)
{
    query.close();
    query.setSql(catalogue::insertRecord());
    bind(query, catalogue::insertParamNames(),
         {record.date, record.employeeCode, record.timeIn, record.timeOut, record.card, record.name, record.weekday});
    query.execSql();
}

} // namespace kordane::attendance
