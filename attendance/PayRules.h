#pragma once
// How a day's spells are paid against what its schedule says. Everything is in seconds,
// on the line of time of the day a spell starts on: a spell that ends the next day runs
// past 86,400. Late and early leave are whole minutes beyond the grace.
#include <QDate>
#include <QString>

#include <map>
#include <span>

namespace kordane::attendance {

inline constexpr int daySeconds = 24 * 60 * 60;

struct Shift {
    int startMinute = 0;
    int endMinute = 0; // before the start: the shift ends the next day
    int breakMinutes = 0; // unpaid
    int lateGrace = 0;
    int earlyGrace = 0;

    bool overnight() const { return endMinute < startMinute; }
    int seconds() const { return ((endMinute - startMinute + 1440) % 1440) * 60; }
};

// The site's pay period, norms and night hours, in minutes.
struct PayRules {
    int periodFirstDay = 1;
    int dailyNorm = 480;
    int weeklyNorm = 2400;
    int nightStart = 22 * 60;
    int nightEnd = 6 * 60;
};

// The settings as SITE_SETTING holds them (name to value); a setting not held has its
// default. Throws Exception naming a value the setting cannot take.
PayRules payRulesFrom(const std::map<QString, QString>& stored);

// The pay period named by the month it ends in: with a first day of 1 the calendar month,
// with 26 the 26th of the month before to the 25th.
struct PayPeriod {
    QDate first;
    QDate last;
};
PayPeriod payPeriodEnding(int year, int month, int firstDay);

// What the schedule says of one day.
struct DayPlan {
    bool scheduled = false; // a pattern applies; without a shift the day is a rest day
    const Shift* shift = nullptr;
    bool holiday = false;

    bool restDay() const { return scheduled && !shift; }
};

struct WorkedSpell {
    int start = 0;
    int seconds = 0;
};

struct DayPay {
    int scheduled = 0;
    int paid = 0;
    int lateMinutes = 0;
    int earlyMinutes = 0;
    bool absent = false;
    int overDaily = 0;
    int overWeekly = 0;
    int restDay = 0;
    int holiday = 0;
    int night = 0;

    // What the weekly norm counts: paid time that no other kind of overtime has paid.
    int regular() const { return paid - overDaily - overWeekly - restDay - holiday; }
};

// Adds a day's figures (but its absence) to a sum.
void addPay(DayPay& sum, const DayPay& day);

// A day's pay. `present`: the day has a record, closed or not, so it is no absence.
DayPay payDay(std::span<const WorkedSpell> spells, bool present, const DayPlan& plan, const PayRules& rules);

// One Monday-to-Sunday week's days in date order (fewer at the ends of the records): the
// regular time beyond the weekly norm becomes weekly overtime on the days where the
// week's running total passes the norm, so no time is overtime twice.
void applyWeeklyNorm(std::span<DayPay> week, const PayRules& rules);

// How long before a shift's start, and after its end, a spell may start and still be
// that shift's.
inline constexpr int shiftReachSeconds = 4 * 60 * 60;

// Whether a spell that starts at `start` on a day's line of time starts near that day's
// shift: from the shift's start less the reach to its end plus the reach.
bool startsNear(int start, const Shift& shift);

// Where on its day's line of time a spell keyed at the time of day `start` lies: the
// reading of that time on the day, the day before or a day after that starts near the
// day's shift, the one nearest the shift's start where two do; else the day's own. So an
// arrival after midnight for the day's night shift is late for it, and one before
// midnight for a shift that starts at midnight is early.
int placedStart(int start, const DayPlan& plan);

// A spell that ends the next day and overlaps the day's overnight shift is that shift,
// and so is one placed on the day before that overlaps the day's shift.
bool matchesNightShift(const WorkedSpell& spell, const DayPlan& plan);

// The Monday on or before a date.
QDate weekStart(const QDate& date);

} // namespace kordane::attendance
