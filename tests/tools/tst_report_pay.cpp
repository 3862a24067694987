// kordane-report's month and payroll with schedules, against figures worked out by hand.
//
// November 2026 (the 1st a Sunday), the 11th a holiday. Department PROD works DAY (08:00
// to 17:00, an hour's break, five minutes' grace) Monday to Friday; P002 moves to its own
// NIGHT pattern (22:00 to 06:00, half an hour, ten minutes) from Monday the 16th. P003
// is in OFFICE, which has no pattern; P004 is in PROD and keys nothing.
#include "tests/tools/ReportFixture.h"
#include "tools/admin/SchedulesPart.h"

#include <QTest>

using namespace kordane;
using namespace kordane::test;
using namespace Qt::StringLiterals;

namespace {

const RowText rows[] = {
    {"2026/11/02", "P001", "08:00:00", "17:00:00", "一", "陳志明", "0031000001"}, // 8:00
    {"2026/11/03", "P001", "08:20:00", "17:00:00", "二", "陳志明", "0031000001"}, // 7:40, 15 late
    {"2026/11/04", "P001", "08:04:00", "17:00:00", "三", "陳志明", "0031000001"}, // 7:56, inside the grace
    {"2026/11/05", "P001", "08:00:00", "16:30:00", "四", "陳志明", "0031000001"}, // 7:30, 25 early
    {"2026/11/06", "P001", "08:00:00", "19:00:00", "五", "陳志明", "0031000001"}, // 10:00, 2:00 daily
    {"2026/11/07", "P001", "09:00:00", "13:00:00", "六", "陳志明", "0031000001"}, // rest day 4:00
    {"2026/11/11", "P001", "08:00:00", "17:00:00", "三", "陳志明", "0031000001"}, // holiday 8:00
    {"2026/11/09", "P002", "08:00:00", "17:00:00", "一", "林美玲", "0031000002"}, // 8:00
    {"2026/11/16", "P002", "22:00:00", "06:00:00", "一", "林美玲", "0031000002"}, // 7:30, night 8:00
    {"2026/11/17", "P002", "22:10:00", "06:00:00", "二", "林美玲", "0031000002"}, // 7:20, night 7:50
    {"2026/11/18", "P002", "22:30:00", "06:00:00", "三", "林美玲", "0031000002"}, // 7:00, 20 late
    {"2026/11/21", "P002", "22:00:00", "06:00:00", "六", "林美玲", "0031000002"}, // rest day 8:00, still a look
    {"2026/11/23", "P003", "08:00:00", "17:00:00", "一", "張家豪", "0031000003"}, // unscheduled: 9:00 each
    {"2026/11/24", "P003", "08:00:00", "17:00:00", "二", "張家豪", "0031000003"},
    {"2026/11/25", "P003", "08:00:00", "17:00:00", "三", "張家豪", "0031000003"},
    {"2026/11/26", "P003", "08:00:00", "17:00:00", "四", "張家豪", "0031000003"},
    {"2026/11/27", "P003", "08:00:00", "17:00:00", "五", "張家豪", "0031000003"},
    {"2026/11/28", "P003", "08:00:00", "17:00:00", "六", "張家豪", "0031000003"}, // 8:00 weekly
};

void fillSchedules(RawFirebird& db)
{
    for (const std::string& sql : admin::schedulesMissing(db, TextCodec(QString())))
        db.execute(sql);
    db.execute({"INSERT INTO WORK_SHIFT VALUES ('DAY', 480, 1020, 60, 5, 5)",
                "INSERT INTO WORK_SHIFT VALUES ('NIGHT', 1320, 360, 30, 10, 10)",
                "INSERT INTO HOLIDAY VALUES ('2026-11-11', 'holiday')",
                "INSERT INTO EMPLOYEE_DEPARTMENT VALUES ('P001', 'PROD')",
                "INSERT INTO EMPLOYEE_DEPARTMENT VALUES ('P002', 'PROD')",
                "INSERT INTO EMPLOYEE_DEPARTMENT VALUES ('P003', 'OFFICE')",
                "INSERT INTO EMPLOYEE_DEPARTMENT VALUES ('P004', 'PROD')"});
    for (int weekday = 1; weekday <= 7; ++weekday) {
        const std::string shift = weekday <= 5 ? "'DAY'" : "NULL";
        db.execute("INSERT INTO WORK_PATTERN VALUES ('D', 'PROD', '2026-01-01', " + std::to_string(weekday) + ", " + shift + ")");
        if (weekday <= 5)
            db.execute("INSERT INTO WORK_PATTERN VALUES ('E', 'P002', '2026-11-16', " + std::to_string(weekday) + ", 'NIGHT')");
    }
}

QList<QStringList> csvRows(const ReportRun& run) { return parseCsv(QString::fromUtf8(run.out)); }

QStringList args(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* a : list)
        out << QString::fromUtf8(a);
    return out;
}

// The lines of a payroll CSV file but the header.
QList<QStringList> payrollLines(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return parseCsv(QString::fromUtf8(f.readAll())).mid(1);
}

} // namespace

class TestReportPay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void monthWithSchedules();
    void monthFromTheTwentySixth();
    void payrollFromTheTwentySixth();
    void payrollWorkbookReadBack();
    void closedPeriodIsMarked();
    void employeeWithOnlyAnUndatedRecord();
    void noAbsenceBeforeTheDayIsOver();
    void arrivalsAroundMidnightOnTheShiftsDay();

private:
    void setFirstDay(const char* day);
    std::unique_ptr<TestDatabase> db_;
    QTemporaryDir out_;
};

void TestReportPay::initTestCase()
{
    db_ = std::make_unique<TestDatabase>();
    insertEmployees(db_->raw(), {{"P001", "陳志明", "0031000001"}, {"P002", "林美玲", "0031000002"}, {"P003", "張家豪", "0031000003"}, {"P004", "=1+2", "0031000004"}});
    insertRecords(db_->raw(), rows);
    fillSchedules(db_->raw());
    db_->release();
}

void TestReportPay::setFirstDay(const char* day)
{
    db_->raw().execute({"DELETE FROM SITE_SETTING", std::string("INSERT INTO SITE_SETTING VALUES ('PAY_PERIOD_FIRST_DAY', '") + day + "')"});
    db_->release();
}

// Code, department, days, spells, time, open, anomalies, then scheduled, paid, late,
// early, absences, daily, weekly, rest day, holiday and night.
void TestReportPay::monthWithSchedules()
{
    setFirstDay("1");
    const ReportRun run = runReport(*db_, args({"month", "2026/11", "--csv"}));
    QCOMPARE(run.exitCode, 0);
    const QList<QStringList> got = csvRows(run);
    QCOMPARE(got.size(), 1 + 4 + 2 + 1);
    QCOMPARE(got[0].mid(0, 3), (QStringList {u"員工代號"_s, u"姓名"_s, u"部門"_s}));
    const QList<QStringList> expected = {
        {u"P001"_s, u"陳志明"_s, u"PROD"_s, u"7"_s, u"7"_s, u"59:06"_s, u"0"_s, u"0"_s,
         u"160:00"_s, u"53:06"_s, u"15"_s, u"25"_s, u"15"_s, u"2:00"_s, u"0:00"_s, u"4:00"_s, u"8:00"_s, u"0:00"_s},
        {u"P002"_s, u"林美玲"_s, u"PROD"_s, u"5"_s, u"5"_s, u"40:20"_s, u"0"_s, u"1"_s,
         u"154:30"_s, u"37:50"_s, u"20"_s, u"0"_s, u"16"_s, u"0:00"_s, u"0:00"_s, u"8:00"_s, u"0:00"_s, u"31:20"_s},
        {u"P003"_s, u"張家豪"_s, u"OFFICE"_s, u"6"_s, u"6"_s, u"54:00"_s, u"0"_s, u"0"_s,
         u"0:00"_s, u"54:00"_s, u"0"_s, u"0"_s, u"0"_s, u"6:00"_s, u"8:00"_s, u"0:00"_s, u"0:00"_s, u"0:00"_s},
        {u"P004"_s, u"'=1+2"_s, u"PROD"_s, u"0"_s, u"0"_s, u"0:00"_s, u"0"_s, u"0"_s,
         u"160:00"_s, u"0:00"_s, u"0"_s, u"0"_s, u"20"_s, u"0:00"_s, u"0:00"_s, u"0:00"_s, u"0:00"_s, u"0:00"_s},
        {u"部門合計"_s, QString(), u"OFFICE"_s, QString(), u"6"_s, u"54:00"_s, u"0"_s, u"0"_s,
         u"0:00"_s, u"54:00"_s, u"0"_s, u"0"_s, u"0"_s, u"6:00"_s, u"8:00"_s, u"0:00"_s, u"0:00"_s, u"0:00"_s},
        {u"部門合計"_s, QString(), u"PROD"_s, QString(), u"12"_s, u"99:26"_s, u"0"_s, u"1"_s,
         u"474:30"_s, u"90:56"_s, u"35"_s, u"25"_s, u"51"_s, u"2:00"_s, u"0:00"_s, u"12:00"_s, u"8:00"_s, u"31:20"_s},
        {u"全部合計"_s, QString(), QString(), QString(), u"18"_s, u"153:26"_s, u"0"_s, u"1"_s,
         u"474:30"_s, u"144:56"_s, u"35"_s, u"25"_s, u"51"_s, u"8:00"_s, u"8:00"_s, u"12:00"_s, u"8:00"_s, u"31:20"_s},
    };
    QCOMPARE(got.mid(1), expected);

    // Only the night that is no schedule's needs a look.
    const ReportRun anomalies = runReport(*db_, args({"anomalies", "--from", "2026/11/01", "--to", "2026/11/30", "--csv"}));
    const QList<QStringList> listed = csvRows(anomalies).mid(1);
    QCOMPARE(listed.size(), 1);
    QCOMPARE(listed[0][0], u"2026/11/21"_s);

    // A page a day, with the day's own figures: P002's first night and its Saturday.
    const QString pdf = out_.filePath(u"month.pdf"_s);
    QCOMPARE(runReport(*db_, args({"month", "2026/11", "--employee", "P002", "--pdf"}) << pdf).exitCode, 0);
    const QString page = pdfText(pdf, 1, 1);
    QVERIFY2(page.contains(u"遲到 早退 缺勤 日超 週超 休日 假日 夜間"_s), qPrintable(page));
    QVERIFY2(page.contains(u"2026/11/16 一 22:00:00 06:00:00 8:00 7:30 7:30 8:00 2026/11/17"_s), qPrintable(page));
    QVERIFY2(page.contains(u"2026/11/13 五 8:00 1 2026/11/14"_s), qPrintable(page));
    QVERIFY2(page.contains(u"2026/11/18 三 22:30:00 06:00:00 7:30 7:30 7:00 20 7:30"_s), qPrintable(page));
}

// The period from the 26th: the title names its dates, and P003's week is cut at the 25th.
void TestReportPay::monthFromTheTwentySixth()
{
    setFirstDay("26");
    const ReportRun titled = runReport(*db_, args({"month", "2026/11"}));
    QVERIFY(QString::fromUtf8(titled.out).startsWith(u"出勤月報 2026/11（2026/10/26 至 2026/11/25）"_s));
    const ReportRun cut = runReport(*db_, args({"month", "2026/11", "--employee", "P003", "--csv"}));
    QCOMPARE(csvRows(cut)[1].mid(9), (QStringList {u"27:00"_s, u"0"_s, u"0"_s, u"0"_s, u"3:00"_s, u"0:00"_s, u"0:00"_s, u"0:00"_s, u"0:00"_s}));
    // --from and --to take any stretch.
    const ReportRun week = runReport(*db_, args({"month", "--from", "2026/11/23", "--to", "2026/11/28", "--employee", "P003", "--csv"}));
    QCOMPARE(csvRows(week)[1].mid(9), (QStringList {u"54:00"_s, u"0"_s, u"0"_s, u"0"_s, u"6:00"_s, u"8:00"_s, u"0:00"_s, u"0:00"_s, u"0:00"_s}));
}

// PERIOD, DEPARTMENT, EMPLOYEE_ID, EMPLOYEE_NAME, CARD_ID, DAYS_WORKED, PAID_HOURS, the
// overtime kinds, LATE_MINUTES, EARLY_MINUTES, ABSENCES, OPEN_ANOMALIES.
void TestReportPay::payrollFromTheTwentySixth()
{
    setFirstDay("26");
    const QString november = out_.filePath(u"november.csv"_s);
    QCOMPARE(runReport(*db_, args({"payroll", "2026/11", "--csv"}) << november).exitCode, 0);
    const QString period = u"2026/10/26-2026/11/25"_s;
    const QList<QStringList> expected = {
        {period, u"PROD"_s, u"P001"_s, u"陳志明"_s, u"0031000001"_s, u"7"_s, u"53.10"_s, u"2.00"_s, u"0.00"_s, u"4.00"_s, u"8.00"_s, u"0.00"_s, u"15"_s, u"25"_s, u"17"_s, u"0"_s},
        {period, u"PROD"_s, u"P002"_s, u"林美玲"_s, u"0031000002"_s, u"5"_s, u"37.83"_s, u"0.00"_s, u"0.00"_s, u"8.00"_s, u"0.00"_s, u"31.33"_s, u"20"_s, u"0"_s, u"18"_s, u"1"_s},
        {period, u"OFFICE"_s, u"P003"_s, u"張家豪"_s, u"0031000003"_s, u"3"_s, u"27.00"_s, u"3.00"_s, u"0.00"_s, u"0.00"_s, u"0.00"_s, u"0.00"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s},
        {period, u"PROD"_s, u"P004"_s, u"'=1+2"_s, u"0031000004"_s, u"0"_s, u"0.00"_s, u"0.00"_s, u"0.00"_s, u"0.00"_s, u"0.00"_s, u"0.00"_s, u"0"_s, u"0"_s, u"22"_s, u"0"_s},
    };
    QCOMPARE(payrollLines(november), expected);

    // December's period starts on a Thursday: the week's Monday to Wednesday in November
    // bring P003 to the weekly norm on Saturday.
    const QString december = out_.filePath(u"december.csv"_s);
    QCOMPARE(runReport(*db_, args({"payroll", "2026/12", "--csv"}) << december).exitCode, 0);
    const QList<QStringList> lines = payrollLines(december);
    QCOMPARE(lines.size(), 4); // P001, P002 and P004 are scheduled; P003 worked
    QCOMPARE(lines[2].mid(0, 9), (QStringList {u"2026/11/26-2026/12/25"_s, u"OFFICE"_s, u"P003"_s, u"張家豪"_s, u"0031000003"_s, u"3"_s, u"27.00"_s, u"3.00"_s, u"8.00"_s}));
}

void TestReportPay::payrollWorkbookReadBack()
{
    setFirstDay("1");
    const QString file = out_.filePath(u"payroll.xlsx"_s);
    QCOMPARE(runReport(*db_, args({"payroll", "2026/11", "--xlsx"}) << file).exitCode, 0);
    QCOMPARE(entriesOf(out_.path()).filter(u"payroll"_s), QStringList {u"payroll.xlsx"_s});
    // Each cell as its type and value, a row a line; any formula fails the read.
    const QString script = uR"(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
for row in ws.iter_rows():
    for c in row:
        if c.data_type == 'f':
            sys.exit('formula in ' + c.coordinate)
    print('|'.join(c.data_type + ':' + str(c.value) for c in row))
)"_s;
    // The system's own interpreter, which the Debian package python3-openpyxl serves.
    QProcess python;
    python.start(u"/usr/bin/python3"_s, {u"-c"_s, script, file});
    QVERIFY(python.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(python.readAllStandardError()), QString());
    const QStringList got = QString::fromUtf8(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(got.size(), 5);
    QVERIFY(got[0].startsWith(u"s:PERIOD|s:DEPARTMENT|s:EMPLOYEE_ID|s:EMPLOYEE_NAME|s:CARD_ID|s:DAYS_WORKED"_s));
    QCOMPARE(got[2], u"s:2026/11/01-2026/11/30|s:PROD|s:P002|s:林美玲|s:0031000002|n:5|n:37.83|n:0|n:0|n:8|n:0|n:31.33|n:20|n:0|n:16|n:1"_s);
    // A name a spreadsheet would run is text, exactly as held.
    QVERIFY2(got[4].startsWith(u"s:2026/11/01-2026/11/30|s:PROD|s:P004|s:=1+2|s:0031000004|n:0|"_s), qPrintable(got[4]));

    // A workbook that cannot be put in place leaves nothing behind, and says why.
    const ReportRun nowhere = runReport(*db_, args({"payroll", "2026/11", "--xlsx"}) << out_.filePath(u"none/payroll.xlsx"_s));
    QCOMPARE(nowhere.exitCode, 1);
    QVERIFY2(nowhere.err.contains(u"none/payroll.xlsx"_s), qPrintable(nowhere.err));
    QCOMPARE(runReport(*db_, args({"payroll", "2026/11"})).exitCode, 2);
}

void TestReportPay::closedPeriodIsMarked()
{
    setFirstDay("1");
    db_->raw().execute({"CREATE TABLE PAY_PERIOD_CLOSED (PERIOD_FIRST DATE, PERIOD_LAST DATE, CLOSED_BY VARCHAR(63), CLOSED_AT TIMESTAMP)",
                        "INSERT INTO PAY_PERIOD_CLOSED VALUES ('2026-11-01', '2026-11-30', 'CLERK1', '2026-12-01 09:30:00')"});
    db_->release();
    const QString closed = QString::fromUtf8(runReport(*db_, args({"month", "2026/11"})).out);
    QVERIFY2(closed.contains(u"已結帳：2026/11/01 至 2026/11/30（CLERK1 於 2026-12-01 09:30:00 結帳）"_s), qPrintable(closed));
    QVERIFY(!QString::fromUtf8(runReport(*db_, args({"month", "2026/10"})).out).contains(u"已結帳"_s));
}

// Counted by the month its text names, a record whose date is no date still gives its
// employee a line, with nothing paid.
void TestReportPay::employeeWithOnlyAnUndatedRecord()
{
    const RowText undated[] = {{"2026/11/31", "P005", "08:00:00", "17:00:00", "一", "李小華", "0031000005"}};
    insertRecords(db_->raw(), undated);
    db_->release();
    const ReportRun run = runReport(*db_, args({"month", "2026/11", "--csv"}));
    QCOMPARE(run.exitCode, 0);
    const QList<QStringList> got = csvRows(run);
    QCOMPARE(got[5].mid(0, 10), (QStringList {u"P005"_s, u"李小華"_s, QString(), u"1"_s, u"1"_s, u"9:00"_s, u"0"_s, u"2"_s, u"0:00"_s, u"0:00"_s}));
}

// A stretch that runs past today counts no absence on a day not over yet: in the week
// before today P004 missed its five working days, in the week from today none yet.
void TestReportPay::noAbsenceBeforeTheDayIsOver()
{
    setFirstDay("1");
    const QDate today = QDate::currentDate();
    const auto absences = [&](const QDate& from, const QDate& to) {
        const QStringList range {u"month"_s, u"--from"_s, from.toString(u"yyyy/MM/dd"_s), u"--to"_s, to.toString(u"yyyy/MM/dd"_s)};
        return csvRows(runReport(*db_, range + args({"--employee", "P004", "--csv"}))).value(1).value(12);
    };
    QCOMPARE(absences(today.addDays(-7), today.addDays(6)), u"5"_s);
    QCOMPARE(absences(today, today.addDays(6)), u"0"_s);
}

// October 2025: P006 works NIGHT Monday to Friday and MIDNIGHT (00:00 to 08:00) on
// Sundays, and from November only rests. A late arrival after midnight and an early one
// before it are recorded on the shift's day: each is read against that day's shift,
// neither overlaps the night before, and neither needs a look.
void TestReportPay::arrivalsAroundMidnightOnTheShiftsDay()
{
    setFirstDay("1");
    RawFirebird& db = db_->raw();
    insertEmployees(db, {{"P006", "王大同", "0031000006"}});
    const RowText nights[] = {
        {"2025/10/06", "P006", "22:00:00", "06:00:00", "一", "王大同", "0031000006"}, // 7:30, night 8:00
        {"2025/10/07", "P006", "00:30:00", "06:00:00", "二", "王大同", "0031000006"}, // 5:00, 140 late, night 5:30
        {"2025/10/12", "P006", "23:45:00", "08:00:00", "日", "王大同", "0031000006"}, // 7:45, night 6:15
    };
    insertRecords(db, nights);
    db.execute("INSERT INTO WORK_SHIFT VALUES ('MIDNIGHT', 0, 480, 30, 10, 10)");
    for (int weekday = 1; weekday <= 7; ++weekday) {
        const std::string shift = weekday <= 5 ? "'NIGHT'" : weekday == 7 ? "'MIDNIGHT'"
                                                                          : "NULL";
        db.execute("INSERT INTO WORK_PATTERN VALUES ('E', 'P006', '2025-10-01', " + std::to_string(weekday) + ", " + shift + ")");
        db.execute("INSERT INTO WORK_PATTERN VALUES ('E', 'P006', '2025-11-01', " + std::to_string(weekday) + ", NULL)");
    }
    db_->release();

    const QList<QStringList> got = csvRows(runReport(*db_, args({"month", "2025/10", "--employee", "P006", "--csv"})));
    QCOMPARE(got.size(), 1 + 1 + 2);
    // 23 nights and 4 midnights of 7:30 scheduled, 24 of them missed.
    QCOMPARE(got[1], (QStringList {u"P006"_s, u"王大同"_s, QString(), u"3"_s, u"3"_s, u"21:45"_s, u"0"_s, u"0"_s, u"202:30"_s, u"20:15"_s, u"140"_s, u"0"_s, u"24"_s, u"0:00"_s, u"0:00"_s, u"0:00"_s, u"0:00"_s, u"19:45"_s}));
    const ReportRun anomalies = runReport(*db_, args({"anomalies", "--from", "2025/10/01", "--to", "2025/10/31", "--csv"}));
    QCOMPARE(csvRows(anomalies).mid(1), QList<QStringList> {});
}

QTEST_MAIN(TestReportPay)
#include "tst_report_pay.moc"
