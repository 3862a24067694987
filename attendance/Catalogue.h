#pragma once
// Every statement the program issues of its own, as the lines it is assembled from.
// Field texts are placed between single quotes unchanged, except that a quote inside a
// text is doubled, so the literal holds exactly the field's text and cannot end early.
#include "data/sql/SqlStatement.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace kordane::catalogue {

// A field text as an SQL text literal's contents: every ' doubled.
QString literalText(const QString& fieldText);

// The date 35 days before `today` as a date text.
QString cutOffDateText(const QDate& today);

// The name backfill: fills in missing employee names of the records on or after the cut-off date.
QStringList backfillNames(const QString& cutOffDate);
// The day's records: those of a date, by employee and time in.
QStringList daySelect(const QString& date);
// The employee's day: the records of one employee on a date.
QStringList employeeDaySelect(const QString& employeeId, const QString& date);
// The employee lookup: the employee's name and card number.
QStringList employeeSelect(const QString& employeeId);
// The duplicate check: a record with exactly these four values.
QStringList duplicateCheck(const QString& date, const QString& employeeId, const QString& timeIn,
                           const QString& timeOut);
// The delete by values: deletes every record with exactly these four values.
QStringList deleteByValues(const QString& date, const QString& employeeId, const QString& timeIn,
                           const QString& timeOut);
// The same two statements with the four values as named parameters (keyParamNames, in
// order), so that their texts repeat and are prepared once.
QStringList duplicateCheckBound();
QStringList deleteByValuesBound();
const QStringList& keyParamNames();
// The insert: inserts one record from its seven named parameters (insertParamNames, in order).
QStringList insertRecord();
const QStringList& insertParamNames();

// The statement text: every line followed by CR LF.
using kordane::joinLines;

} // namespace kordane::catalogue
