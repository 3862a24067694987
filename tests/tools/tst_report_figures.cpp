// kordane-report's month and its stretch of anomalies over the same records: spells that
// overlap across midnight, across a month's end and between texts of one date, and
// dates that are no dates, each counted by a month and listed by that month's list.
#include "tests/tools/ReportFixture.h"

#include <QTest>

#include <map>

using namespace kordane;
using namespace kordane::test;

namespace {

// November 2026, the 1st a Sunday. B001 keys two days that do not exist; B002 works
// nights; B003 has one day under two texts; B004's nights cross the month's ends; B005
// keys a date short of a figure and one in no month at all.
const RowText rows[] = {
    {"2026/11/02", "B001", "08:00:00", "17:00:00", "一", "陳志明", "C101"},
    {"2026/11/31", "B001", "08:00:00", "17:00:00", "一", "陳志明", "C101"},
    {"2026/11/00", "B001", "08:00:00", "17:00:00", "日", "陳志明", "C101"},
    {"2026/11/05", "B002", "22:00:00", "06:00:00", "四", "林美玲", "C102"}, // one hour paid twice
    {"2026/11/06", "B002", "05:00:00", "14:00:00", "五", "林美玲", "C102"},
    {"2026/11/09", "B002", "22:00:00", "06:00:00", "一", "林美玲", "C102"}, // ends as the next begins
    {"2026/11/10", "B002", "06:00:00", "14:00:00", "二", "林美玲", "C102"},
    {"2026/11/05", "B003", "08:00:00", "17:00:00", "四", "張家豪", "C103"},
    {"2026/11/5 ", "B003", "08:00:00", "17:00:00", "四", "張家豪", "C103"}, // the same day: 18 hours
    {"2026/11/12", "B003", "08:00:00", "12:00:00", "四", "張家豪", "C103"},
    {"2026/11/12", "B003", "13:00:00", "17:00:00", "四", "張家豪", "C103"},
    {"2026/10/31", "B004", "22:00:00", "06:00:00", "六", "王淑芬", "C104"},
    {"2026/11/01", "B004", "05:00:00", "09:00:00", "日", "王淑芬", "C104"},
    {"2026/11/30", "B004", "20:00:00", "04:00:00", "一", "王淑芬", "C104"},
    {"2026/12/01", "B004", "03:00:00", "08:00:00", "二", "王淑芬", "C104"},
    {"2026/11/2", "B005", "08:00:00", "17:00:00", "一", "李小華", "C105"},
    {"2026/13/01", "B005", "08:00:00", "17:00:00", "一", "李小華", "C105"},
};

const QString badDate = QStringLiteral("日期不完整或不存在");
const QString overlap = QStringLiteral("與同日另一時段重疊");
const QString nextDay = QStringLiteral("下班早於上班，算到次日");

QStringList anomaliesArguments(const char* from, const char* to)
{
    return {QStringLiteral("anomalies"), QStringLiteral("--from"), QString::fromLatin1(from), QStringLiteral("--to"),
            QString::fromLatin1(to), QStringLiteral("--csv")};
}

// The list's rows as date, code, time in, time out, reason.
QList<QStringList> listed(const ReportRun& run)
{
    QList<QStringList> got;
    for (const QStringList& r : parseCsv(QString::fromUtf8(run.out)).mid(1))
        got << QStringList {r[0], r[2], r[4], r[5], r[6]};
    return got;
}

} // namespace

class TestReportFigures : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void monthCountsWhatItsListShows();
    void overlapsAcrossMidnightAndDateTexts();
    void stretchWithinAMonth();
    void dayFlagsWhatTheMonthFlags();

private:
    std::unique_ptr<TestDatabase> db_;
};

void TestReportFigures::initTestCase()
{
    db_ = std::make_unique<TestDatabase>();
    insertEmployees(db_->raw(), {{"B001", "陳志明", "C101"}, {"B002", "林美玲", "C102"}, {"B003", "張家豪", "C103"}, {"B004", "王淑芬", "C104"}, {"B005", "李小華", "C105"}});
    insertRecords(db_->raw(), rows);
    db_->release();
}

// Each month's anomalies per employee are the rows its list shows of that employee,
// leaving out only the date that names no month (which every list shows).
void TestReportFigures::monthCountsWhatItsListShows()
{
    const struct {
        const char* month;
        const char* from;
        const char* to;
    } months[] = {{"2026/10", "2026/10/01", "2026/10/31"}, {"2026/11", "2026/11/01", "2026/11/30"}, {"2026/12", "2026/12/01", "2026/12/31"}};
    for (const auto& m : months) {
        const ReportRun month = runReport(*db_, {QStringLiteral("month"), QString::fromLatin1(m.month), QStringLiteral("--csv")});
        QCOMPARE(month.exitCode, 0);
        std::map<QString, int> counted;
        for (const QStringList& r : parseCsv(QString::fromUtf8(month.out)).mid(1))
            counted[r[0]] = r[6].toInt();
        const ReportRun list = runReport(*db_, anomaliesArguments(m.from, m.to));
        QCOMPARE(list.exitCode, 0);
        std::map<QString, int> shown;
        int noMonth = 0;
        for (const QStringList& r : listed(list)) {
            if (r[0] == u"2026/13/01")
                ++noMonth;
            else
                ++shown[r[1]];
        }
        for (auto& [code, n] : shown)
            QVERIFY2(counted.count(code) == 1, qPrintable(QStringLiteral("%1 %2").arg(QString::fromLatin1(m.month), code)));
        for (const auto& [code, n] : counted)
            QVERIFY2(shown[code] == n, qPrintable(QStringLiteral("%1 %2: month %3, list %4").arg(QString::fromLatin1(m.month), code).arg(n).arg(shown[code])));
        QCOMPARE(noMonth, 1);
    }

    const ReportRun november = runReport(*db_, {QStringLiteral("month"), QStringLiteral("2026/11"), QStringLiteral("--csv")});
    const QList<QStringList> expected = {
        {u"員工代號"_s, u"姓名"_s, u"日數"_s, u"時段"_s, u"工時"_s, u"未下班"_s, u"異常"_s},
        {u"B001"_s, u"陳志明"_s, u"3"_s, u"3"_s, u"27:00"_s, u"0"_s, u"2"_s},
        {u"B002"_s, u"林美玲"_s, u"4"_s, u"4"_s, u"33:00"_s, u"0"_s, u"4"_s},
        {u"B003"_s, u"張家豪"_s, u"2"_s, u"4"_s, u"26:00"_s, u"0"_s, u"3"_s},
        {u"B004"_s, u"王淑芬"_s, u"2"_s, u"2"_s, u"12:00"_s, u"0"_s, u"3"_s},
        {u"B005"_s, u"李小華"_s, u"1"_s, u"1"_s, u"9:00"_s, u"0"_s, u"1"_s},
    };
    QCOMPARE(parseCsv(QString::fromUtf8(november.out)), expected);
}

void TestReportFigures::overlapsAcrossMidnightAndDateTexts()
{
    const QList<QStringList> expected = {
        {u"2026/11/00"_s, u"B001"_s, u"08:00:00"_s, u"17:00:00"_s, badDate},
        {u"2026/11/01"_s, u"B004"_s, u"05:00:00"_s, u"09:00:00"_s, overlap},
        {u"2026/11/05"_s, u"B002"_s, u"22:00:00"_s, u"06:00:00"_s, nextDay},
        {u"2026/11/05"_s, u"B002"_s, u"22:00:00"_s, u"06:00:00"_s, overlap},
        {u"2026/11/05"_s, u"B003"_s, u"08:00:00"_s, u"17:00:00"_s, overlap},
        {u"2026/11/06"_s, u"B002"_s, u"05:00:00"_s, u"14:00:00"_s, overlap},
        {u"2026/11/09"_s, u"B002"_s, u"22:00:00"_s, u"06:00:00"_s, nextDay},
        {u"2026/11/2"_s, u"B005"_s, u"08:00:00"_s, u"17:00:00"_s, badDate},
        {u"2026/11/30"_s, u"B004"_s, u"20:00:00"_s, u"04:00:00"_s, nextDay},
        {u"2026/11/30"_s, u"B004"_s, u"20:00:00"_s, u"04:00:00"_s, overlap},
        {u"2026/11/31"_s, u"B001"_s, u"08:00:00"_s, u"17:00:00"_s, badDate},
        {u"2026/11/5 "_s, u"B003"_s, u"08:00:00"_s, u"17:00:00"_s, overlap},
        {u"2026/11/5 "_s, u"B003"_s, u"08:00:00"_s, u"17:00:00"_s, badDate},
        {u"2026/13/01"_s, u"B005"_s, u"08:00:00"_s, u"17:00:00"_s, badDate},
    };
    QCOMPARE(listed(runReport(*db_, anomaliesArguments("2026/11/01", "2026/11/30"))), expected);

    // The spells beyond the month's ends are flagged from their own side too.
    QVERIFY(listed(runReport(*db_, anomaliesArguments("2026/10/01", "2026/10/31")))
                .contains(QStringList {u"2026/10/31"_s, u"B004"_s, u"22:00:00"_s, u"06:00:00"_s, overlap}));
    QVERIFY(listed(runReport(*db_, anomaliesArguments("2026/12/01", "2026/12/31")))
                .contains(QStringList {u"2026/12/01"_s, u"B004"_s, u"03:00:00"_s, u"08:00:00"_s, overlap}));
}

// A stretch inside a month lists the records placed in it and the month's dates that
// do not exist, never a text that merely sorts inside it.
void TestReportFigures::stretchWithinAMonth()
{
    const QList<QStringList> expected = {
        {u"2026/11/00"_s, u"B001"_s, u"08:00:00"_s, u"17:00:00"_s, badDate},
        {u"2026/11/31"_s, u"B001"_s, u"08:00:00"_s, u"17:00:00"_s, badDate},
        {u"2026/13/01"_s, u"B005"_s, u"08:00:00"_s, u"17:00:00"_s, badDate},
    };
    QCOMPARE(listed(runReport(*db_, anomaliesArguments("2026/11/10", "2026/11/20"))), expected);

    // One day: the night before and the morning after are compared, never listed.
    const QList<QStringList> sixth = {
        {u"2026/11/00"_s, u"B001"_s, u"08:00:00"_s, u"17:00:00"_s, badDate},
        {u"2026/11/06"_s, u"B002"_s, u"05:00:00"_s, u"14:00:00"_s, overlap},
        {u"2026/11/31"_s, u"B001"_s, u"08:00:00"_s, u"17:00:00"_s, badDate},
        {u"2026/13/01"_s, u"B005"_s, u"08:00:00"_s, u"17:00:00"_s, badDate},
    };
    QCOMPARE(listed(runReport(*db_, anomaliesArguments("2026/11/06", "2026/11/06"))), sixth);
}

// The day's view shows the records of its text; their flags are the month's.
void TestReportFigures::dayFlagsWhatTheMonthFlags()
{
    const ReportRun fifth = runReport(*db_, {QStringLiteral("day"), QStringLiteral("2026/11/05"), QStringLiteral("--csv")});
    QCOMPARE(fifth.exitCode, 0);
    const QList<QStringList> expected = {
        {u"員工代號"_s, u"姓名"_s, u"卡號"_s, u"星期"_s, u"上班"_s, u"下班"_s, u"時數"_s, u"備註"_s},
        {u"B002"_s, u"林美玲"_s, u"C102"_s, u"四"_s, u"22:00:00"_s, u"06:00:00"_s, u"8:00"_s, nextDay + u"、"_s + overlap},
        {u"B003"_s, u"張家豪"_s, u"C103"_s, u"四"_s, u"08:00:00"_s, u"17:00:00"_s, u"9:00"_s, overlap},
    };
    QCOMPARE(parseCsv(QString::fromUtf8(fifth.out)), expected);

    const ReportRun sixth = runReport(*db_, {QStringLiteral("day"), QStringLiteral("2026/11/06"), QStringLiteral("--csv")});
    QCOMPARE(parseCsv(QString::fromUtf8(sixth.out)).value(1).value(7), overlap);
}

QTEST_MAIN(TestReportFigures)
#include "tst_report_figures.moc"
