#pragma once
// Spells of duty and what makes a record need a look. Times and dates stay the texts the
// window stored; a text counts only when it is complete and real.
#include "tools/report/Records.h"

#include <QDate>
#include <QString>

#include <optional>
#include <vector>

namespace kordane::report {

// Seconds after midnight of a complete, real time text (HH:MM:SS).
std::optional<int> timeSeconds(const QString& text);
// The date of a complete, real date text (YYYY/MM/DD).
QDate exactDate(const QString& text);
// No figure at all: the off-duty time was never keyed in (empty, or the mask's blanks).
bool noTime(const QString& text);

// A closed spell; an off-duty time before the on-duty time ends the next day.
struct Spell {
    int start = 0;
    int seconds = 0;
    bool nextDay = false;
};
std::optional<Spell> spellOf(const Record& record);

// A length as H:MM (minutes cut, not rounded, so that the parts never add up to more).
QString lengthText(int seconds);

enum class Reason {
    NoTimeOut,
    OutBeforeIn,
    Overlap,
    Identical,
    UnknownEmployee,
    NameDiffers,
    CardDiffers,
    BadDate,
    BadTimeIn,
    BadTimeOut,
    WrongWeekday,
};
QString reasonText(Reason reason);

// For each record, in order, the reasons it needs a look. The spells of one employee are
// compared where the month places them, with each other and with the neighbours' (which
// get no reasons of their own), whatever their order.
std::vector<std::vector<Reason>> findAnomalies(const std::vector<Record>& records, const std::vector<Record>& neighbours,
                                               const Employees& employees);

} // namespace kordane::report
