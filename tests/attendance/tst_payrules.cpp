// A day's pay against its schedule and which schedule applies, against figures worked
// out by hand. The day shift is 08:00 to 17:00 with an hour's unpaid break and five
// minutes' grace each way; the night shift 22:00 to 06:00 with half an hour and ten.
#include "attendance/PayRules.h"
#include "attendance/WorkSchedules.h"
#include "data/Exceptions.h"

#include <QTest>

#include <vector>

using namespace kordane;
using namespace kordane::attendance;

namespace {

const Shift dayShift {8 * 60, 17 * 60, 60, 5, 5};
const Shift nightShift {22 * 60, 6 * 60, 30, 10, 10};
constexpr int hour = 3600;
constexpr int minute = 60;

WorkedSpell spell(int fromH, int fromM, int toH, int toM)
{
    const int from = (fromH * 60 + fromM) * minute;
    int to = (toH * 60 + toM) * minute;
    if (to < from)
        to += daySeconds;
    return {from, to - from};
}

DayPlan work(const Shift& shift) { return {true, &shift, false}; }

DayPay pay(std::vector<WorkedSpell> spells, const DayPlan& plan, const PayRules& rules = {})
{
    return payDay(spells, !spells.empty(), plan, rules);
}

} // namespace

class TestPayRules : public QObject {
    Q_OBJECT
private slots:
    void dayShiftPaysSpellsLessTheBreakOnce();
    void lateAndEarlyCountOnlyBeyondTheGrace();
    void nightShiftAcrossMidnight();
    void arrivalsAroundMidnight();
    void restDaysHolidaysAndAbsence();
    void weeklyNormCountsNoTimeTwice();
    void patternOnADate();
    void settingsAndPeriods();
};

void TestPayRules::dayShiftPaysSpellsLessTheBreakOnce()
{
    const DayPay whole = pay({spell(8, 0, 17, 0)}, work(dayShift));
    QCOMPARE(whole.scheduled, 8 * hour);
    QCOMPARE(whole.paid, 8 * hour);
    QCOMPARE(whole.overDaily, 0);
    QCOMPARE(whole.night, 0);
    QVERIFY(!whole.absent);
    // A lunch punched out and in is the break already taken: not taken off again.
    QCOMPARE(pay({spell(13, 0, 17, 0), spell(8, 0, 12, 0)}, work(dayShift)).paid, 8 * hour);
    // Half an hour punched out: the other half still comes off.
    QCOMPARE(pay({spell(8, 0, 12, 0), spell(12, 30, 17, 0)}, work(dayShift)).paid, 8 * hour);
    const DayPay longDay = pay({spell(8, 0, 19, 30)}, work(dayShift));
    QCOMPARE(longDay.paid, 10 * hour + 30 * minute);
    QCOMPARE(longDay.overDaily, 2 * hour + 30 * minute);
    QCOMPARE(longDay.regular(), 8 * hour);
    // Without a schedule nothing is taken off, and the daily norm still holds.
    const DayPay unscheduled = pay({spell(7, 0, 17, 0)}, DayPlan {});
    QCOMPARE(unscheduled.paid, 10 * hour);
    QCOMPARE(unscheduled.overDaily, 2 * hour);
    QCOMPARE(unscheduled.scheduled, 0);
    QCOMPARE(unscheduled.lateMinutes, 0);
    QCOMPARE(unscheduled.night, 0);
}

void TestPayRules::lateAndEarlyCountOnlyBeyondTheGrace()
{
    WorkedSpell inside = spell(8, 5, 17, 0);
    inside.start -= 1; // 08:04:59
    inside.seconds += 1;
    QCOMPARE(pay({inside}, work(dayShift)).lateMinutes, 0);
    const DayPay late = pay({spell(8, 20, 17, 0)}, work(dayShift));
    QCOMPARE(late.lateMinutes, 15);
    QCOMPARE(late.paid, 7 * hour + 40 * minute);
    QCOMPARE(pay({spell(8, 5, 17, 0)}, work(dayShift)).lateMinutes, 0); // exactly the grace
    const DayPay early = pay({spell(8, 0, 16, 30)}, work(dayShift));
    QCOMPARE(early.earlyMinutes, 25);
    QCOMPARE(early.lateMinutes, 0);
    QCOMPARE(early.paid, 7 * hour + 30 * minute);
    // Late and early on one day with a lunch in between: the first in and the last out.
    const DayPay both = pay({spell(13, 0, 16, 0), spell(8, 30, 12, 0)}, work(dayShift));
    QCOMPARE(both.lateMinutes, 25);
    QCOMPARE(both.earlyMinutes, 55);
    // The night shift's end is the next morning, not the day's 06:00.
    const DayPay nightEarly = pay({spell(22, 0, 5, 0)}, work(nightShift));
    QCOMPARE(nightEarly.earlyMinutes, 50);
    QCOMPARE(nightEarly.lateMinutes, 0);
}

void TestPayRules::nightShiftAcrossMidnight()
{
    const WorkedSpell night = spell(22, 0, 6, 0);
    const DayPay p = pay({night}, work(nightShift));
    QCOMPARE(p.scheduled, 7 * hour + 30 * minute);
    QCOMPARE(p.paid, 7 * hour + 30 * minute);
    QCOMPARE(p.night, 8 * hour);
    QCOMPARE(p.overDaily, 0);
    QVERIFY(matchesNightShift(night, work(nightShift)));
    QVERIFY(matchesNightShift(spell(21, 45, 6, 20), work(nightShift)));
    // Past midnight on a day shift's day, a rest day or with no schedule: no match.
    QVERIFY(!matchesNightShift(night, work(dayShift)));
    QVERIFY(!matchesNightShift(night, DayPlan {true, nullptr, false}));
    QVERIFY(!matchesNightShift(night, DayPlan {}));
    // A spell that ends the same day is no night shift, even on a night shift's day.
    QVERIFY(!matchesNightShift(spell(22, 0, 23, 30), work(nightShift)));
    // Night hours at both ends of a day, and with the site's own night.
    QCOMPARE(pay({spell(5, 0, 9, 0), spell(21, 0, 23, 0)}, DayPlan {}).night, 2 * hour);
    PayRules lateNight;
    lateNight.nightStart = 23 * 60 + 30;
    lateNight.nightEnd = 5 * 60;
    QCOMPARE(pay({night}, work(nightShift), lateNight).night, 5 * hour + 30 * minute);
}

// A time keyed on a day is read where the day's shift can reach it: an arrival after
// midnight for the night shift is late for that night, one before midnight for a shift
// that starts at midnight is early, and a time no shift reaches stays as it was keyed.
void TestPayRules::arrivalsAroundMidnight()
{
    const auto at = [](int h, int m) { return (h * 60 + m) * minute; };
    QCOMPARE(placedStart(at(22, 0), work(nightShift)), at(22, 0));
    QCOMPARE(placedStart(at(0, 30), work(nightShift)), daySeconds + at(0, 30));
    QCOMPARE(placedStart(at(12, 0), work(nightShift)), at(12, 0));
    QCOMPARE(placedStart(at(23, 0), work(dayShift)), at(23, 0));
    QCOMPARE(placedStart(at(0, 30), DayPlan {true, nullptr, false}), at(0, 30));
    const DayPay late = pay({{daySeconds + at(0, 30), 5 * hour + 30 * minute}}, work(nightShift));
    QCOMPARE(late.lateMinutes, 140);
    QCOMPARE(late.night, 5 * hour + 30 * minute);

    const Shift midnight {0, 8 * 60, 30, 10, 10};
    const int early = placedStart(at(23, 45), work(midnight));
    QCOMPARE(early, at(23, 45) - daySeconds);
    const WorkedSpell spell {early, 8 * hour + 15 * minute};
    QVERIFY(matchesNightShift(spell, work(midnight)));
    const DayPay p = pay({spell}, work(midnight));
    QCOMPARE(p.lateMinutes, 0);
    QCOMPARE(p.paid, 7 * hour + 45 * minute);
    QCOMPARE(p.night, 6 * hour + 15 * minute);
}

void TestPayRules::restDaysHolidaysAndAbsence()
{
    const DayPlan rest {true, nullptr, false};
    const DayPay restWorked = pay({spell(9, 0, 13, 0)}, rest);
    QCOMPARE(restWorked.restDay, 4 * hour);
    QCOMPARE(restWorked.paid, 4 * hour);
    QCOMPARE(restWorked.regular(), 0);
    QCOMPARE(restWorked.scheduled, 0);
    QVERIFY(!pay({}, rest).absent);

    const DayPlan holiday {true, &dayShift, true};
    const DayPay holidayWorked = pay({spell(8, 30, 18, 0)}, holiday);
    QCOMPARE(holidayWorked.holiday, 8 * hour + 30 * minute);
    QCOMPARE(holidayWorked.overDaily, 0);
    QCOMPARE(holidayWorked.scheduled, 0);
    QCOMPARE(holidayWorked.lateMinutes, 0);
    QVERIFY(!pay({}, holiday).absent);

    const DayPay absent = pay({}, work(dayShift));
    QVERIFY(absent.absent);
    QCOMPARE(absent.scheduled, 8 * hour);
    QCOMPARE(absent.paid, 0);
    // An open record is presence, though nothing is paid for it.
    const DayPay open = payDay({}, true, work(dayShift), {});
    QVERIFY(!open.absent);
    QCOMPARE(open.paid, 0);
}

void TestPayRules::weeklyNormCountsNoTimeTwice()
{
    // Ten paid hours Monday to Friday and a rest day worked: the week's regular time is
    // exactly the norm, so its overtime is the daily and the rest day's alone.
    std::vector<DayPay> week(5, pay({spell(7, 0, 18, 0)}, work(dayShift)));
    week.push_back(pay({spell(9, 0, 13, 0)}, DayPlan {true, nullptr, false}));
    applyWeeklyNorm(week, {});
    int daily = 0, weekly = 0;
    for (const DayPay& d : week) {
        daily += d.overDaily;
        weekly += d.overWeekly;
    }
    QCOMPARE(daily, 10 * hour);
    QCOMPARE(weekly, 0);
    QCOMPARE(week.back().restDay, 4 * hour);

    // Six eight-hour days: Saturday is beyond the week.
    std::vector<DayPay> six(6, pay({spell(8, 0, 17, 0)}, work(dayShift)));
    applyWeeklyNorm(six, {});
    QCOMPARE(six[4].overWeekly, 0);
    QCOMPARE(six[5].overWeekly, 8 * hour);
    QCOMPARE(six[5].regular(), 0);

    // A thirty-hour week passes the norm on Thursday.
    PayRules thirty;
    thirty.weeklyNorm = 30 * 60;
    std::vector<DayPay> five(5, pay({spell(8, 0, 17, 0)}, work(dayShift)));
    applyWeeklyNorm(five, thirty);
    QCOMPARE(five[2].overWeekly, 0);
    QCOMPARE(five[3].overWeekly, 2 * hour);
    QCOMPARE(five[4].overWeekly, 8 * hour);
    QCOMPARE(weekStart(QDate(2026, 11, 29)), QDate(2026, 11, 23));
    QCOMPARE(weekStart(QDate(2026, 11, 23)), QDate(2026, 11, 23));
}

void TestPayRules::patternOnADate()
{
    using Subject = WorkSchedules::Subject;
    WorkSchedules s;
    QVERIFY(s.empty());
    s.addShift(QStringLiteral("DAY"), dayShift);
    s.addShift(QStringLiteral("NIGHT"), nightShift);
    for (int weekday = 1; weekday <= 7; ++weekday)
        s.addPatternDay(Subject::Department, QStringLiteral("D1"), QDate(2026, 1, 1), weekday, weekday <= 5 ? QStringLiteral("DAY") : QString());
    // From the 23rd the department works Saturdays too.
    for (int weekday = 1; weekday <= 6; ++weekday)
        s.addPatternDay(Subject::Department, QStringLiteral("D1"), QDate(2026, 11, 23), weekday, QStringLiteral("DAY"));
    // E1 moves to nights from Monday the 16th; the pattern has no weekend rows.
    for (int weekday = 1; weekday <= 5; ++weekday)
        s.addPatternDay(Subject::Employee, QStringLiteral("E1"), QDate(2026, 11, 16), weekday, QStringLiteral("NIGHT"));
    s.addHoliday(QDate(2026, 11, 20));
    QVERIFY(!s.empty());

    const QString d1 = QStringLiteral("D1");
    QCOMPARE(s.planOn(QStringLiteral("E1"), d1, QDate(2026, 11, 13)).shift->startMinute, 8 * 60);
    QCOMPARE(s.planOn(QStringLiteral("E1"), d1, QDate(2026, 11, 16)).shift->startMinute, 22 * 60);
    QCOMPARE(s.planOn(QStringLiteral("E2"), d1, QDate(2026, 11, 16)).shift->startMinute, 8 * 60);
    // The employee's own pattern rests on Saturday even when the department works.
    QVERIFY(s.planOn(QStringLiteral("E1"), d1, QDate(2026, 11, 28)).restDay());
    QVERIFY(s.planOn(QStringLiteral("E2"), d1, QDate(2026, 11, 28)).shift);
    QVERIFY(s.planOn(QStringLiteral("E2"), d1, QDate(2026, 11, 21)).restDay());
    const DayPlan holiday = s.planOn(QStringLiteral("E1"), d1, QDate(2026, 11, 20));
    QVERIFY(holiday.holiday);
    QVERIFY(holiday.shift);
    // Before any pattern, and with neither pattern nor department: not scheduled.
    QVERIFY(!s.planOn(QStringLiteral("E2"), d1, QDate(2025, 12, 31)).scheduled);
    QVERIFY(!s.planOn(QStringLiteral("E3"), QString(), QDate(2026, 11, 16)).scheduled);
    QVERIFY_THROWS_EXCEPTION(Exception, s.addPatternDay(Subject::Employee, QStringLiteral("E4"), QDate(2026, 1, 1), 1, QStringLiteral("NONE")));
}

void TestPayRules::settingsAndPeriods()
{
    const PayRules defaults = payRulesFrom({});
    QCOMPARE(defaults.periodFirstDay, 1);
    QCOMPARE(defaults.dailyNorm, 480);
    QCOMPARE(defaults.weeklyNorm, 2400);
    QCOMPARE(defaults.nightStart, 22 * 60);
    QCOMPARE(defaults.nightEnd, 6 * 60);
    const PayRules site = payRulesFrom({{QStringLiteral("PAY_PERIOD_FIRST_DAY"), QStringLiteral("26")},
                                        {QStringLiteral("NIGHT_START"), QStringLiteral("23:30")}});
    QCOMPARE(site.periodFirstDay, 26);
    QCOMPARE(site.nightStart, 23 * 60 + 30);
    QCOMPARE(site.dailyNorm, 480);
    QVERIFY_THROWS_EXCEPTION(Exception, payRulesFrom({{QStringLiteral("NIGHT_END"), QStringLiteral("6:00")}}));

    // Named month, first day, and the period's first and last date.
    const struct {
        int month;
        int firstDay;
        QDate first;
        QDate last;
    } periods[] = {
        {11, 1, QDate(2026, 11, 1), QDate(2026, 11, 30)},
        {11, 26, QDate(2026, 10, 26), QDate(2026, 11, 25)},
        {1, 26, QDate(2025, 12, 26), QDate(2026, 1, 25)},
        {3, 28, QDate(2026, 2, 28), QDate(2026, 3, 27)},
    };
    for (const auto& p : periods) {
        const PayPeriod got = payPeriodEnding(2026, p.month, p.firstDay);
        QCOMPARE(got.first, p.first);
        QCOMPARE(got.last, p.last);
    }
}

QTEST_APPLESS_MAIN(TestPayRules)
#include "tst_payrules.moc"
