// kordane-report on an embedded database of one month's records with every kind of
// trouble, read back in each form and compared with the figures worked out by hand.
#include "tests/tools/ReportFixture.h"

#include "data/sql/TransactionScope.h"
#include "tests/support/ToolRun.h"
#include "tests/support/WindowFixture.h"

#include <QProcess>
#include <QTest>

#include <sys/stat.h>

using namespace kordane;
using namespace kordane::test;

namespace {

// Display columns as a terminal counts them, for the texts of these tests.
int columns(const QString& text)
{
    int n = 0;
    for (const QChar c : text)
        n += c.unicode() >= 0x2E80 ? 2 : 1;
    return n;
}

// How far right the furthest word of a PDF reaches, in points from the paper's left edge.
double rightmostWord(const QString& file)
{
    static const QRegularExpression xMax(QStringLiteral("<word [^>]*xMax=\"([0-9.]+)\""));
    double right = 0;
    for (const auto& m : xMax.globalMatch(tool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")})))
        right = std::max(right, m.captured(1).toDouble());
    return right;
}

} // namespace

class TestReport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void monthTable();
    void monthCsv();
    void day();
    void anomalies();
    void pdf();
    void errors_data();
    void errors();
    void pdfWholeOrNothing();
    void pdfHeadingShowsValuesWhole();
    void changesRefused();
    void whileWindowHoldsIt();

private:
    std::unique_ptr<TestDatabase> db_;
    QTemporaryDir out_;
};

void TestReport::initTestCase()
{
    db_ = std::make_unique<TestDatabase>();
    fillReportRows(db_->raw());
    db_->release();
}

void TestReport::monthTable()
{
    const ReportRun run = runReport(*db_, {QStringLiteral("month"), QStringLiteral("2024/03")});
    QCOMPARE(run.exitCode, 3); // done, one row skipped
    const QStringList lines = nonEmptyLines(QString::fromUtf8(run.out));
    QCOMPARE(lines.size(), 1 + 2 + 4 + 2);
    QCOMPARE(lines.front(), QStringLiteral("出勤月報 2024/03"));
    // The last column is aligned right, so every line of the table ends in the same column,
    // which holds only when a Chinese character counts two.
    for (int i = 1; i <= 6; ++i)
        QCOMPARE(columns(lines[i]), columns(lines[2]));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(lines[3 + i].split(u' ', Qt::SkipEmptyParts), marchSummary()[i]);
    QCOMPARE(lines[7], QStringLiteral("員工 4 人　紀錄 17 筆"));
    QCOMPARE(lines.last(), QStringLiteral("無法讀取而略過 1 筆"));
    const QStringList err = nonEmptyLines(run.err);
    QCOMPARE(err.size(), 1);
    QVERIFY2(err.front().contains(QStringLiteral("2024/03/05")) && err.front().contains(QStringLiteral("A004"))
                 && err.front().contains(QStringLiteral("EMPLOYEE_NAME")) && err.front().contains(QStringLiteral("code page 950")),
             qPrintable(err.front()));

    const ReportRun one = runReport(*db_, {QStringLiteral("month"), QStringLiteral("2024/03"), QStringLiteral("--employee"), QStringLiteral("A002")});
    QCOMPARE(one.exitCode, 0);
    const QStringList oneLines = nonEmptyLines(QString::fromUtf8(one.out));
    QCOMPARE(oneLines.size(), 1 + 2 + 1 + 1);
    QCOMPARE(oneLines[3].split(u' ', Qt::SkipEmptyParts), marchSummary()[1]);

    // A quote in the code stays inside its literal.
    const ReportRun quote = runReport(*db_, {QStringLiteral("month"), QStringLiteral("2024/03"), QStringLiteral("--employee"), QStringLiteral("A0' OR ''='")});
    QCOMPARE(quote.exitCode, 0);
    QCOMPARE(nonEmptyLines(QString::fromUtf8(quote.out)).size(), 1 + 2 + 1);
}

void TestReport::monthCsv()
{
    const ReportRun run = runReport(*db_, {QStringLiteral("month"), QStringLiteral("2024/03"), QStringLiteral("--csv"), QStringLiteral("--bom")});
    QCOMPARE(run.exitCode, 3);
    QVERIFY(run.out.startsWith("\xEF\xBB\xBF"));
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(run.out.mid(3)));
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows.front(), QStringList({QStringLiteral("員工代號"), QStringLiteral("姓名"), QStringLiteral("日數"), QStringLiteral("時段"), QStringLiteral("工時"), QStringLiteral("未下班"), QStringLiteral("異常")}));
    QCOMPARE(rows.mid(1), marchSummary());
    QCOMPARE(nonEmptyLines(run.err).last(), QStringLiteral("kordane-report: 1 unreadable rows skipped"));

    const ReportRun plain = runReport(*db_, {QStringLiteral("month"), QStringLiteral("2024/02"), QStringLiteral("--csv")});
    QCOMPARE(plain.exitCode, 0);
    QCOMPARE(plain.out, QByteArray("員工代號,姓名,日數,時段,工時,未下班,異常\r\nA001,陳志明,1,1,9:00,0,0\r\nA003,張家豪,1,1,9:00,0,1\r\n"));
}

void TestReport::day()
{
    const ReportRun run = runReport(*db_, {QStringLiteral("day"), QStringLiteral("2024/03/05"), QStringLiteral("--csv")});
    QCOMPARE(run.exitCode, 3);
    const QList<QStringList> expected = {
        {u"員工代號"_s, u"姓名"_s, u"卡號"_s, u"星期"_s, u"上班"_s, u"下班"_s, u"時數"_s, u"備註"_s},
        {u"A001"_s, u"陳志明"_s, u"C001"_s, u"二"_s, u"08:00:00"_s, u"12:00:00"_s, u"4:00"_s, u""_s},
        {u"A001"_s, u"陳志明"_s, u"C001"_s, u"二"_s, u"13:00:00"_s, u"17:30:00"_s, u"4:30"_s, u""_s},
        {u"A002"_s, u"林美玲"_s, u"C002"_s, u"二"_s, u"22:00:00"_s, u"06:00:00"_s, u"8:00"_s, u"下班早於上班，算到次日"_s},
        {u"A003"_s, u"張家豪"_s, u"C999"_s, u"二"_s, u"08:00:00"_s, u"17:00:00"_s, u"9:00"_s, u"卡號與員工檔不同"_s},
    };
    QCOMPARE(parseCsv(QString::fromUtf8(run.out)), expected);

    const ReportRun table = runReport(*db_, {QStringLiteral("day"), QStringLiteral("2024/03/05")});
    const QStringList lines = nonEmptyLines(QString::fromUtf8(table.out));
    QCOMPARE(lines.front(), QStringLiteral("出勤日報 2024/03/05（二）"));
    QCOMPARE(lines[lines.size() - 2], QStringLiteral("紀錄 4 筆　時數合計 25:30"));
}

void TestReport::anomalies()
{
    const ReportRun run = runReport(*db_, {QStringLiteral("anomalies"), QStringLiteral("--from"), QStringLiteral("2024/02/01"), QStringLiteral("--to"), QStringLiteral("2024/03/31"), QStringLiteral("--csv")});
    QCOMPARE(run.exitCode, 3);
    QList<QStringList> rows = parseCsv(QString::fromUtf8(run.out));
    QCOMPARE(rows.takeFirst(), QStringList({QStringLiteral("日期"), QStringLiteral("星期"), QStringLiteral("員工代號"), QStringLiteral("姓名"), QStringLiteral("上班"), QStringLiteral("下班"), QStringLiteral("原因")}));
    const QString badDate = QStringLiteral("日期不完整或不存在");
    const QString overlap = QStringLiteral("與同日另一時段重疊");
    const QString twice = QStringLiteral("重複的紀錄");
    const QString wrongDay = QStringLiteral("星期與日期不符");
    const QString noOut = QStringLiteral("沒有下班時間");
    // Date, code, time in, time out, reason: by date text, code and time in.
    const QList<QStringList> expected = {
        {u"2024/02/30"_s, u"A003"_s, u"08:00:00"_s, u"17:00:00"_s, badDate},
        {u"2024/03/ 9"_s, u"A002"_s, u"08:00:00"_s, u"17:00:00"_s, badDate},
        {u"2024/03/04"_s, u"A002"_s, u"09:00:00"_s, u""_s, noOut},
        {u"2024/03/04"_s, u"A003"_s, u"08:00:00"_s, u"17:00:00"_s, u"姓名與員工檔不同"_s},
        {u"2024/03/04"_s, u"Z999"_s, u"08:00:00"_s, u"17:00:00"_s, u"員工檔沒有這個代號"_s},
        {u"2024/03/04"_s, u"Z999"_s, u"08:00:00"_s, u"17:00:00"_s, wrongDay},
        {u"2024/03/05"_s, u"A002"_s, u"22:00:00"_s, u"06:00:00"_s, u"下班早於上班，算到次日"_s},
        {u"2024/03/05"_s, u"A003"_s, u"08:00:00"_s, u"17:00:00"_s, u"卡號與員工檔不同"_s},
        {u"2024/03/06"_s, u"A002"_s, u"08:00:00"_s, u"12:00:00"_s, overlap},
        {u"2024/03/06"_s, u"A002"_s, u"11:00:00"_s, u"15:00:00"_s, overlap},
        {u"2024/03/07"_s, u"A002"_s, u"08:00:00"_s, u"17:00:00"_s, twice},
        {u"2024/03/07"_s, u"A002"_s, u"08:00:00"_s, u"17:00:00"_s, twice},
        {u"2024/03/08"_s, u"A002"_s, u"08:00:00"_s, u"17:00:00"_s, wrongDay},
        {u"2024/03/11"_s, u"A002"_s, u"8:00:00"_s, u"17:00:00"_s, u"上班時間不完整或不存在"_s},
        {u"2024/03/12"_s, u"A002"_s, u"08:00:00"_s, u"25:00:00"_s, u"下班時間不完整或不存在"_s},
        {u"2024/03/13"_s, u"A002"_s, u"08:00:00"_s, u"  :  :  "_s, noOut},
        {u"abc"_s, u"A003"_s, u"08:00:00"_s, u"17:00:00"_s, badDate},
    };
    QList<QStringList> got;
    for (const QStringList& r : rows)
        got << QStringList {r[0], r[2], r[4], r[5], r[6]};
    QCOMPARE(got, expected);

    const ReportRun table = runReport(*db_, {QStringLiteral("anomalies"), QStringLiteral("--from"), QStringLiteral("2024/02/01"), QStringLiteral("--to"), QStringLiteral("2024/03/31")});
    const QStringList lines = nonEmptyLines(QString::fromUtf8(table.out));
    QCOMPARE(lines[lines.size() - 2], QStringLiteral("需要查看 16 筆紀錄　原因 17 項　查過 20 筆"));
}

void TestReport::pdf()
{
    const QString month = out_.filePath(QStringLiteral("month.pdf"));
    const ReportRun run = runReport(*db_, {QStringLiteral("month"), QStringLiteral("2024/03"), QStringLiteral("--pdf"), month});
    QCOMPARE(run.exitCode, 3);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(tool(QStringLiteral("pdfinfo"), {month}).contains(QRegularExpression(QStringLiteral("Pages:\\s+4\\n"))),
             "one page per employee");
    QVERIFY(tool(QStringLiteral("pdfinfo"), {month}).contains(QStringLiteral("595 x 842 pts (A4)")));
    // The font is in the file, not merely named.
    const QStringList fonts = nonEmptyLines(tool(QStringLiteral("pdffonts"), {month})).mid(2);
    QVERIFY(!fonts.isEmpty());
    for (const QString& font : fonts)
        QVERIFY2(font.contains(QStringLiteral("UMing")) && font.split(u' ', Qt::SkipEmptyParts).at(4) == u"yes", qPrintable(font));
    const QString a002 = pdfText(month, 2, 2);
    for (const char* text : {"出勤月報 2024/03 A002 林美玲 卡號 C002", "2024/03/05 二 22:00:00 06:00:00 8:00 下班早於上班，算到次日",
                             "2024/03/31 日", "出勤 9 日 時段 11 工時 52:00 未下班 2 異常 11", "員工簽名", "主管簽名"})
        QVERIFY2(a002.contains(QString::fromUtf8(text)), text);
    const QString last = pdfText(month, 4, 4);
    QVERIFY(last.contains(QStringLiteral("Z999")));
    QVERIFY(last.contains(QStringLiteral("無法讀取而略過 1 筆")));

    const QString day = out_.filePath(QStringLiteral("day.pdf"));
    QCOMPARE(runReport(*db_, {QStringLiteral("day"), QStringLiteral("2024/03/04"), QStringLiteral("--pdf"), day}).exitCode, 0);
    QVERIFY(tool(QStringLiteral("pdfinfo"), {day}).contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
    QVERIFY(pdfText(day, 1, 1).contains(QStringLiteral("Z999 無名 C0 二 08:00:00 17:00:00 9:00 員工檔沒有這個代號、星期與日期不符")));
}

void TestReport::errors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::newRow("no such date") << QStringList {QStringLiteral("day"), QStringLiteral("2024/02/30")} << 2 << QStringLiteral("'2024/02/30' is not a date");
    QTest::newRow("date with a blank") << QStringList {QStringLiteral("day"), QStringLiteral("2024/03/ 5")} << 2 << QStringLiteral("is not a date");
    QTest::newRow("month") << QStringList {QStringLiteral("month"), QStringLiteral("2024/13")} << 2 << QStringLiteral("'2024/13' is not a month");
    QTest::newRow("to before from") << QStringList {QStringLiteral("anomalies"), QStringLiteral("--from"), QStringLiteral("2024/03/02"), QStringLiteral("--to"), QStringLiteral("2024/03/01")} << 2 << QStringLiteral("before");
    QTest::newRow("two forms") << QStringList {QStringLiteral("day"), QStringLiteral("2024/03/01"), QStringLiteral("--csv"), QStringLiteral("--pdf"), QStringLiteral("x.pdf")} << 2 << QStringLiteral("exclude");
    QTest::newRow("unknown report") << QStringList {QStringLiteral("week")} << 2 << QStringLiteral("unknown report");
    QTest::newRow("month and a range") << QStringList {QStringLiteral("month"), QStringLiteral("2024/03"), QStringLiteral("--from"), QStringLiteral("2024/03/01"), QStringLiteral("--to"), QStringLiteral("2024/03/31")} << 2 << QStringLiteral("one month");
    QTest::newRow("half a range") << QStringList {QStringLiteral("month"), QStringLiteral("--from"), QStringLiteral("2024/03/01")} << 2 << QStringLiteral("--to DATE");
    QTest::newRow("payroll to nowhere") << QStringList {QStringLiteral("payroll"), QStringLiteral("2024/03")} << 2 << QStringLiteral("--xlsx FILE");
    QTest::newRow("payroll on paper") << QStringList {QStringLiteral("payroll"), QStringLiteral("2024/03"), QStringLiteral("--csv"), QStringLiteral("x.csv"), QStringLiteral("--pdf"), QStringLiteral("x.pdf")} << 2 << QStringLiteral("not --pdf");
    QTest::newRow("no database") << QStringList {QStringLiteral("day"), QStringLiteral("2024/03/01"), QStringLiteral("--connections"), QStringLiteral("/nonexistent/dbxconnections.ini")}
                                 << 1 << "not found";
    QTest::newRow("unwritable pdf") << QStringList {QStringLiteral("day"), QStringLiteral("2024/03/01"), QStringLiteral("--pdf"), QStringLiteral("/nonexistent/x.pdf")} << 1 << QStringLiteral("cannot write");
}

void TestReport::errors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    const ReportRun run = runReport(*db_, arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY(run.out.isEmpty());
    // One line, not a trace or a message box.
    QCOMPARE(run.err.count(u'\n'), 1);
    QVERIFY2(run.err.startsWith(QStringLiteral("kordane-report: ")) && run.err.contains(says), qPrintable(run.err));

    // A database the engine cannot open is one line too, however many the server gives.
    if (QLatin1String(QTest::currentDataTag()) == QLatin1String("no database")) {
        QTemporaryDir dir;
        const QString connections = dir.filePath(QStringLiteral("dbxconnections.ini"));
        writeTextFile(connections, TestDatabase::connectionsTextFor(dir.filePath(QStringLiteral("none.fdb")), QStringLiteral("x")));
        const ReportRun missing = runReport(*db_, {QStringLiteral("day"), QStringLiteral("2024/03/01"), QStringLiteral("--connections"), connections});
        QCOMPARE(missing.exitCode, 1);
        QCOMPARE(missing.err.count(u'\n'), 1);
        QVERIFY2(missing.err.contains(QStringLiteral("none.fdb")), qPrintable(missing.err));
        // A drivers file beside the connections file named is that site's.
        writeTextFile(dir.filePath(QStringLiteral("dbxdrivers.ini")), QString(TestDatabase::driversText()).replace(QStringLiteral("libdbxfb.so"), QStringLiteral("libdbxnone.so")));
        const ReportRun beside = runReport(*db_, {QStringLiteral("day"), QStringLiteral("2024/03/01"), QStringLiteral("--connections"), connections});
        QVERIFY2(beside.exitCode == 1 && beside.err.contains(QStringLiteral("libdbxnone.so")), qPrintable(beside.err));
    }
}

// A PDF is there whole, or nothing of it is: onto a device that takes no more, onto a
// directory, and through a link to an earlier report.
void TestReport::pdfWholeOrNothing()
{
    const QStringList march = {QStringLiteral("month"), QStringLiteral("2024/03"), QStringLiteral("--pdf")};
    const ReportRun full = runReport(*db_, march + QStringList {QStringLiteral("/dev/full")});
    QCOMPARE(full.exitCode, 1);
    QCOMPARE(full.err, QStringLiteral("kordane-report: cannot write /dev/full: No space left on device\n"));
    QVERIFY(!QFileInfo(QStringLiteral("/dev/full")).isFile());

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken.pdf")));
    const ReportRun onDirectory = runReport(*db_, march + QStringList {dir.filePath(QStringLiteral("taken.pdf"))});
    QCOMPARE(onDirectory.exitCode, 1);
    QVERIFY2(onDirectory.err.endsWith(QStringLiteral("taken.pdf: Is a directory\n")), qPrintable(onDirectory.err));
    QCOMPARE(entriesOf(dir.path()), QStringList {QStringLiteral("taken.pdf")});
    QVERIFY(QDir(dir.filePath(QStringLiteral("taken.pdf"))).isEmpty());

    // Replaced where the link points, the link kept; readable as a new file would be.
    const QString earlier = dir.filePath(QStringLiteral("earlier.pdf"));
    QVERIFY(writeTextFile(earlier, QStringLiteral("last month's")));
    QVERIFY(QFile(earlier).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    QVERIFY(QFile::link(earlier, dir.filePath(QStringLiteral("link.pdf"))));
    QCOMPARE(runReport(*db_, march + QStringList {dir.filePath(QStringLiteral("link.pdf"))}).exitCode, 3);
    QCOMPARE(entriesOf(dir.path()), QStringList({QStringLiteral("earlier.pdf"), QStringLiteral("link.pdf"), QStringLiteral("taken.pdf")}));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("link.pdf"))).isSymLink());
    struct stat replaced { };
    QCOMPARE(::stat(QFile::encodeName(earlier).constData(), &replaced), 0);
    QCOMPARE(replaced.st_mode & 0777, 0640u);
    QVERIFY(tool(QStringLiteral("pdfinfo"), {earlier}).contains(QRegularExpression(QStringLiteral("Pages:\\s+4\\n"))));
}

// The heading of an employee's page holds the code, the name and the card whole, however
// long they are: in a smaller type, and on a second line when even that is too wide (a
// site's older tables may hold longer names than Kordane's).
void TestReport::pdfHeadingShowsValuesWhole()
{
    TestDatabase db;
    db.raw().execute({"ALTER TABLE EMPLOYEE ALTER COLUMN EMPLOYEE_NAME TYPE VARCHAR(80)",
                      "ALTER TABLE POS_DAY ALTER COLUMN EMPLOYEE_NAME TYPE VARCHAR(80)"});
    const char* const longest = "陳林張王李黃吳劉蔡楊許鄭謝郭洪曾邱廖賴周徐蘇葉莊呂江何蕭羅高潘簡朱鍾彭游詹胡施沈";
    insertEmployees(db.raw(), {{"A001", "歐陽志明德華文雄國強建宏俊傑家豪志偉明哲", "0012345680"}, {"B0000000000000000002", longest, "98765432109876543210"}});
    const RowText rows[] = {
        {"2024/03/04", "A001", "08:00:00", "17:00:00", "一", "歐陽志明德華文雄國強建宏俊傑家豪志偉明哲", "0012345680"},
        {"2024/03/04", "B0000000000000000002", "08:00:00", "17:00:00", "一", longest, "98765432109876543210"},
    };
    insertRecords(db.raw(), rows);
    db.release();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("month.pdf"));
    QCOMPARE(runReport(db, {QStringLiteral("month"), QStringLiteral("2024/03"), QStringLiteral("--pdf"), file}).exitCode, 0);
    const auto unspaced = [](QString text) { return text.remove(QRegularExpression(QStringLiteral("\\s"))); };
    QVERIFY2(unspaced(pdfText(file, 1, 1)).contains(QStringLiteral("出勤月報2024/03A001歐陽志明德華文雄國強建宏俊傑家豪志偉明哲卡號0012345680")),
             qPrintable(pdfText(file, 1, 1)));
    QVERIFY2(unspaced(pdfText(file, 2, 2)).contains(QStringLiteral("出勤月報2024/03B0000000000000000002") + QString::fromUtf8(longest) + QStringLiteral("卡號98765432109876543210")),
             qPrintable(pdfText(file, 2, 2)));
    // Within the right margin: A4 is 595.3 points wide, the margin 15 mm.
    QVERIFY2(rightmostWord(file) <= 595.3 - 15 / 25.4 * 72 + 0.5, qPrintable(QString::number(rightmostWord(file))));
}

void TestReport::changesRefused()
{
    // The transaction the reports read in: the server itself refuses a change.
    auto connection = db_->connection();
    {
        const TransactionScope view(*connection, TransactionScope::ReadOnly {});
        try {
            connection->execute(*connection->prepareCommand(QStringLiteral("DELETE FROM POS_DAY"), 0), {});
            QFAIL("a change went through");
        } catch (const EDatabaseError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("read-only")), qPrintable(e.message()));
        }
    }
    connection->close();
    QCOMPARE(db_->scalar("SELECT COUNT(*) FROM POS_DAY"), RawFirebird::Value("22"));
    db_->release();
}

// The program's window, a process of its own as on a desk, holds the embedded database
// while the report reads it.
void TestReport::whileWindowHoldsIt()
{
    TestDatabase db;
    fillReportRows(db.raw());
    db.release();
    QTemporaryDir settings;
    pointSettingsAt(settings.path(), db.connectionsFile(), db.driversFile());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), settings.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess window;
    window.setProcessEnvironment(env);
    window.start(QCoreApplication::applicationDirPath() + QStringLiteral("/Kordane"), {});
    QVERIFY2(waitUntilAttached(window, db.database()), window.readAllStandardError().constData());

    const ReportRun run = runReport(db, {QStringLiteral("month"), QStringLiteral("2024/03"), QStringLiteral("--csv")});
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(parseCsv(QString::fromUtf8(run.out)).mid(1), marchSummary());
    QCOMPARE(window.state(), QProcess::Running);
    window.terminate();
    QVERIFY(window.waitForFinished(10000));
    QCOMPARE(window.exitCode(), 0);
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
