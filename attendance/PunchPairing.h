#pragma once
// How a card terminal's punches become attendance records: one employee's punches in the
// order of their times, in then out, or by the direction the terminal gave; a punch soon
// after the one before it is the same punch again. A spell belongs to the day of the shift
// it starts near, else to the day it started, so one that crosses midnight ends on the
// next day.
#include "attendance/AttendanceRecord.h"
#include "attendance/PayRules.h"

#include <QDate>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kordane::attendance {

// A moment to the second, in local time as the terminal wrote it: counting seconds on
// from the start of the Julian day numbers, so that days and times subtract plainly.
using Moment = std::int64_t;

Moment momentOf(const QDate& date, int secondOfDay);
QDate dateOf(Moment moment);
int secondOfDay(Moment moment);

enum class Direction { Unknown,
                       In,
                       Out };

struct PairingRules {
    int repeatMinutes = 2; // a punch less than this after the one before counts once
    int longestSpellHours = 20; // an in left open longer is a lone in, and the next punch starts anew
};

// What came before the punches being paired, where it is earlier than all of them.
struct StoredState {
    std::optional<Moment> openIn; // a lone in a later out may complete
    std::optional<Moment> lastPunch; // for a repeat across files
};

// A spell found: indexes into the punches; `in` is nullopt when the spell completes the
// stored open in, `out` nullopt for a lone in.
struct PairedSpell {
    std::optional<std::size_t> in;
    std::optional<std::size_t> out;
    bool operator==(const PairedSpell&) const = default;
};

struct Pairing {
    std::vector<PairedSpell> spells; // in the order they start
    std::vector<std::size_t> repeats; // counted once: in no spell
    std::vector<std::size_t> loneOuts; // an out with no in before it: in no record
};

struct TimedPunch {
    Moment at;
    Direction direction = Direction::Unknown;
};

// Pairs one employee's punches, in any order; each index is in one spell, or among the
// repeats or the lone outs.
Pairing pairPunches(const std::vector<TimedPunch>& punches, const StoredState& stored, const PairingRules& rules);

// The day a spell that starts at `in` is recorded on: the scheduled day whose shift it
// starts near, the nearest start where two are near; else the day it starts on. The
// reports read the record's time back where placedStart puts it on that day, which is
// the same instant for any shift shorter than 16 hours. `planOn` gives a date's schedule.
QDate spellDay(Moment in, const std::function<DayPlan(const QDate&)>& planOn);

// The record a spell makes on `day`, as the window writes one: the date and weekday of the
// day, the times in the window's text forms, an empty off-duty time for a lone in.
AttendanceRecord spellRecord(const QDate& day, Moment in, std::optional<Moment> out, const QString& employeeCode,
                             const QString& name, const QString& card);

} // namespace kordane::attendance
