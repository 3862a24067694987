// Punches into spells: order, directions, repeats, midnight, a lone in before and after a
// later file, the day a schedule's shift gives a spell, and whose a card was on a date.
#include "attendance/CardHolders.h"
#include "attendance/PunchPairing.h"
#include "attendance/WorkSchedules.h"

#include <QTest>

using namespace kordane;
using namespace kordane::attendance;

namespace {

const QDate monday(2026, 12, 7);

Moment at(int day, int hour, int minute, int second = 0)
{
    return momentOf(monday.addDays(day), (hour * 60 + minute) * 60 + second);
}

TimedPunch in(Moment m) { return {m, Direction::In}; }
TimedPunch out(Moment m) { return {m, Direction::Out}; }
TimedPunch any(Moment m) { return {m, Direction::Unknown}; }

using Spells = std::vector<PairedSpell>;
using Indexes = std::vector<std::size_t>;

PairedSpell spell(std::optional<std::size_t> i, std::optional<std::size_t> o) { return {i, o}; }

} // namespace

class TestPunchPairing : public QObject {
    Q_OBJECT
private slots:
    void orderAndRepeats();
    void directions();
    void midnightAndForgottenOuts();
    void loneInOfAnEarlierFile();
    void recordTexts();
    void shiftDecidesTheDay();
    void cardHolders();
};

// Undirected punches pair in the order of their times, however the file lists them; one
// less than the repeat window after the one before it counts once, across files too.
void TestPunchPairing::orderAndRepeats()
{
    const std::vector<TimedPunch> punches = {any(at(0, 17, 0)), any(at(0, 8, 0)), any(at(0, 8, 1, 59)), any(at(0, 13, 0)),
                                             any(at(0, 12, 0)), any(at(0, 17, 2))};
    Pairing p = pairPunches(punches, {}, {});
    // 08:01:59 is within two minutes of 08:00; 17:02 is two minutes after 17:00, a new in.
    QCOMPARE(p.spells, (Spells {spell(1, 4), spell(3, 0), spell(5, std::nullopt)}));
    QCOMPARE(p.repeats, Indexes {2});
    p = pairPunches(punches, {}, {.repeatMinutes = 3});
    QCOMPARE(p.repeats, (Indexes {2, 5}));
    QCOMPARE(p.spells, (Spells {spell(1, 4), spell(3, 0)}));
    // Without the window every punch counts, and 17:02 is a lone in.
    p = pairPunches(punches, {}, {.repeatMinutes = 0});
    QCOMPARE(p.spells, (Spells {spell(1, 2), spell(4, 3), spell(0, 5)}));
    // The last punch of an earlier file is repeated by the first of this one.
    p = pairPunches({any(at(0, 17, 1)), any(at(1, 8, 0))}, {std::nullopt, at(0, 17, 0)}, {});
    QCOMPARE(p.repeats, Indexes {0});
    QCOMPARE(p.spells, (Spells {spell(1, std::nullopt)}));
}

// A terminal's directions decide where it gives them: an in after an in leaves the first
// alone, an out with no in makes no record; undirected punches fill in around them.
void TestPunchPairing::directions()
{
    Pairing p = pairPunches({in(at(0, 8, 0)), in(at(0, 9, 0)), out(at(0, 17, 0)), out(at(0, 18, 0))}, {}, {});
    QCOMPARE(p.spells, (Spells {spell(0, std::nullopt), spell(1, 2)}));
    QCOMPARE(p.loneOuts, Indexes {3});
    p = pairPunches({out(at(0, 7, 0)), any(at(0, 8, 0)), any(at(0, 12, 0)), in(at(0, 13, 0)), any(at(0, 17, 0))}, {}, {});
    QCOMPARE(p.loneOuts, Indexes {0});
    QCOMPARE(p.spells, (Spells {spell(1, 2), spell(3, 4)}));
    // An undirected punch after a directed out begins the next spell.
    p = pairPunches({in(at(0, 8, 0)), out(at(0, 12, 0)), any(at(0, 13, 0)), any(at(0, 17, 0))}, {}, {});
    QCOMPARE(p.spells, (Spells {spell(0, 1), spell(2, 3)}));
}

// A night shift pairs across midnight; an in left open longer than a spell lasts stays a
// lone in, and the next day starts anew instead of ending with it.
void TestPunchPairing::midnightAndForgottenOuts()
{
    Pairing p = pairPunches({any(at(0, 22, 0)), any(at(1, 6, 0)), any(at(1, 22, 0)), any(at(2, 6, 5))}, {}, {});
    QCOMPARE(p.spells, (Spells {spell(0, 1), spell(2, 3)}));
    p = pairPunches({any(at(0, 8, 0)), any(at(1, 8, 0)), any(at(1, 17, 0))}, {}, {});
    QCOMPARE(p.spells, (Spells {spell(0, std::nullopt), spell(1, 2)}));
    p = pairPunches({any(at(0, 8, 0)), any(at(1, 8, 0))}, {}, {.longestSpellHours = 25});
    QCOMPARE(p.spells, (Spells {spell(0, 1)}));
}

// A lone in stored by an earlier file is completed by this file's first out, unless that
// comes too late or is an in; the stored in is never written again.
void TestPunchPairing::loneInOfAnEarlierFile()
{
    const StoredState open {at(0, 8, 0), at(0, 8, 0)};
    Pairing p = pairPunches({any(at(0, 17, 0)), any(at(1, 8, 0))}, open, {});
    QCOMPARE(p.spells, (Spells {spell(std::nullopt, 0), spell(1, std::nullopt)}));
    p = pairPunches({in(at(0, 17, 0)), out(at(0, 18, 0))}, open, {});
    QCOMPARE(p.spells, (Spells {spell(0, 1)}));
    p = pairPunches({any(at(1, 9, 0))}, open, {});
    QCOMPARE(p.spells, (Spells {spell(0, std::nullopt)}));
    // A night shift's out in the next file.
    p = pairPunches({any(at(1, 6, 0))}, {at(0, 22, 0), at(0, 22, 0)}, {});
    QCOMPARE(p.spells, (Spells {spell(std::nullopt, 0)}));
}

// The record as the window writes it: the start's date and weekday, the times as the
// masks give them, no off-duty time for a lone in.
void TestPunchPairing::recordTexts()
{
    AttendanceRecord r = spellRecord(monday.addDays(6), at(6, 22, 5, 9), at(7, 6, 0), QStringLiteral("A001"), QStringLiteral("陳志明"), QStringLiteral("1001"));
    QCOMPARE(r, (AttendanceRecord {QStringLiteral("2026/12/13"), QStringLiteral("A001"), QStringLiteral("22:05:09"), QStringLiteral("06:00:00"), QStringLiteral("日"), QStringLiteral("陳志明"), QStringLiteral("1001")}));
    r = spellRecord(monday, at(0, 0, 0), std::nullopt, QStringLiteral("A001"), QString(), QString());
    QCOMPARE(r.date, QStringLiteral("2026/12/07"));
    QCOMPARE(r.timeIn, QStringLiteral("00:00:00"));
    QCOMPARE(r.timeOut, QString());
    QCOMPARE(r.weekday, QStringLiteral("一"));
    QCOMPARE(dateOf(at(1, 23, 59, 59)), monday.addDays(1));
    QCOMPARE(secondOfDay(at(1, 23, 59, 59)), 86399);
    // The day a shift gives: its date and weekday, the punches' own times.
    r = spellRecord(monday, at(1, 0, 30), at(1, 6, 0), QStringLiteral("A001"), QString(), QString());
    QCOMPARE(r.date, QStringLiteral("2026/12/07"));
    QCOMPARE(r.weekday, QStringLiteral("一"));
    QCOMPARE(r.timeIn, QStringLiteral("00:30:00"));
}

// A spell belongs to the day of the shift it starts near, the nearest where two are; with
// no schedule, on a rest day or far from any shift, to the day it starts.
void TestPunchPairing::shiftDecidesTheDay()
{
    using Subject = WorkSchedules::Subject;
    WorkSchedules s;
    s.addShift(QStringLiteral("NIGHT"), Shift {22 * 60, 6 * 60});
    s.addShift(QStringLiteral("MIDNIGHT"), Shift {0, 8 * 60});
    s.addShift(QStringLiteral("DAY"), Shift {8 * 60, 16 * 60});
    // N: nights Monday to Friday, then days from the week after. M: a midnight shift on
    // Wednesdays, rest otherwise.
    for (int weekday = 1; weekday <= 7; ++weekday) {
        s.addPatternDay(Subject::Employee, QStringLiteral("N"), monday, weekday, weekday <= 5 ? QStringLiteral("NIGHT") : QString());
        s.addPatternDay(Subject::Employee, QStringLiteral("N"), monday.addDays(7), weekday, QStringLiteral("DAY"));
        s.addPatternDay(Subject::Employee, QStringLiteral("M"), monday, weekday, weekday == 3 ? QStringLiteral("MIDNIGHT") : QString());
    }
    const auto dayOf = [&](const QString& employee, Moment in) {
        return monday.daysTo(spellDay(in, [&](const QDate& d) { return s.planOn(employee, QString(), d); }));
    };
    const QString n = QStringLiteral("N");
    // Late after midnight, early before the start, late out to the end's reach and no further.
    QCOMPARE(dayOf(n, at(1, 0, 30)), 0);
    QCOMPARE(dayOf(n, at(0, 21, 50)), 0);
    QCOMPARE(dayOf(n, at(1, 10, 0)), 0);
    QCOMPARE(dayOf(n, at(1, 10, 0, 1)), 1);
    // Friday's night takes Saturday's small hours; Saturday has none, so Sunday's are Sunday's.
    QCOMPARE(dayOf(n, at(5, 1, 0)), 4);
    QCOMPARE(dayOf(n, at(6, 1, 0)), 6);
    // The week after, on days: Monday's small hours are near no shift.
    QCOMPARE(dayOf(n, at(7, 5, 0)), 7);
    QCOMPARE(dayOf(n, at(7, 1, 0)), 7);
    // Before a shift that starts at midnight: the next day's.
    QCOMPARE(dayOf(QStringLiteral("M"), at(1, 21, 50)), 2);
    QCOMPARE(dayOf(QStringLiteral("M"), at(1, 20, 0)), 2);
    QCOMPARE(dayOf(QStringLiteral("M"), at(1, 19, 59)), 1);
    QCOMPARE(dayOf(QStringLiteral("M"), at(2, 11, 0)), 2);
    // Nobody's schedule.
    QCOMPARE(dayOf(QStringLiteral("X"), at(1, 0, 30)), 1);
    // Where two shifts are near, the nearer start: Tuesday's 08:00 after Monday's night.
    WorkSchedules rota;
    rota.addShift(QStringLiteral("NIGHT"), Shift {22 * 60, 6 * 60});
    rota.addShift(QStringLiteral("DAY"), Shift {8 * 60, 16 * 60});
    for (int weekday = 1; weekday <= 7; ++weekday)
        rota.addPatternDay(Subject::Employee, n, monday, weekday, weekday == 1 ? QStringLiteral("NIGHT") : QStringLiteral("DAY"));
    const auto rotaDay = [&](Moment in) { return monday.daysTo(spellDay(in, [&](const QDate& d) { return rota.planOn(n, QString(), d); })); };
    QCOMPARE(rotaDay(at(1, 7, 50)), 1);
    QCOMPARE(rotaDay(at(1, 5, 0)), 1);
    QCOMPARE(rotaDay(at(1, 2, 0)), 0);
}

// A card moved on a date is its earlier holder's before it and the new one's from it; a
// card nobody holds, or two employees hold, is nobody's.
void TestPunchPairing::cardHolders()
{
    CardHolders holders;
    holders.addCurrent("1001", "B002");
    holders.addCurrent("2002", "C003");
    holders.addCurrent("2002", "D004");
    holders.addEarlier("1001", monday, "A001");
    holders.addEarlier("1001", monday.addDays(-10), "Z009");
    const auto holder = [&](const char* card, const QDate& date) {
        const auto h = holders.holder(card, date);
        return std::holds_alternative<QByteArray>(h) ? std::get<QByteArray>(h) : QByteArray("refused: ") + std::get<QString>(h).toUtf8();
    };
    QCOMPARE(holder("1001", monday.addDays(-11)), QByteArray("Z009"));
    QCOMPARE(holder("1001", monday.addDays(-10)), QByteArray("A001"));
    QCOMPARE(holder("1001", monday.addDays(-1)), QByteArray("A001"));
    QCOMPARE(holder("1001", monday), QByteArray("B002"));
    QCOMPARE(holder("1001", monday.addDays(30)), QByteArray("B002"));
    QCOMPARE(holder("3003", monday), QByteArray("refused: no employee has the card 3003"));
    QCOMPARE(holder("2002", monday), QByteArray("refused: the card 2002 is held by 2 employees (C003, D004)"));
}

QTEST_GUILESS_MAIN(TestPunchPairing)
#include "tst_punchpairing.moc"
