#pragma once
// Reading a date text under the regional settings, and the weekday of a date.
#include "attendance/RegionalSettings.h"

#include <QDate>
#include <QString>

namespace kordane {

// Three numbers joined by the date separator, in the order the short date format
// gives; blanks may stand before each number and separator, one separator and blanks
// may follow. Throws EConvertError "'<text>' is not a valid date" otherwise.
QDate strToDate(const QString& text, const RegionalSettings& settings);

// 1 for Sunday up to 7 for Saturday; 0 for an invalid date.
int dayOfWeek(const QDate& date);

// "日" for 1 (Sunday) up to "六" for 7; empty outside 1..7.
QString weekdayCharacter(int day);

// The weekday character of a date text read under the process-wide settings; throws as
// strToDate does.
QString weekdayOf(const QString& dateText);

} // namespace kordane
