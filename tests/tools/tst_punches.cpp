// Card terminals' punches imported by the admin tool on embedded sites: pairing into the
// window's records, each punch once whatever files repeat it, refusals with their lines,
// a clerk's change left alone, a killed import re-run, the day a night shift gives a late
// arrival, a card's move, the listing and export, and a watched folder.
#include "data/sql/EmbeddedEngine.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/ToolRun.h"
#include "tools/rawfb/RawFirebird.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

using namespace kordane;
using test::runTool;

namespace {

QString cp950(const std::string& bytes)
{
    QStringDecoder decoder("windows-950");
    return decoder.decode(QByteArray::fromStdString(bytes));
}

const QString summary = QStringLiteral("punches read %1, new %2, already imported %3, records added %4, completed %5, left alone %6, refused %7\n");

} // namespace

class TestPunches : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void pairedIntoRecords();
    void eachPunchOnce();
    void refusedLinesWriteNothing();
    void clerksChangeLeftAlone();
    void killedImportRerun();
    void nightShiftDecidesTheDay();
    void cardMovedOnADate();
    void listAndExport();
    void watchedFolder();
    void upgradeAddsTheTables();

private:
    // A new site with two employees (cards 1001 and 1002) and the rules installed.
    void newSite(const QString& name);
    test::ToolRun admin(QStringList arguments);
    QString file(const QString& name, const QString& text);
    // POS_DAY as "EMPLOYEE_ID INI_DATE TIME_IN-TIME_OUT BILL_WEEK EMPLOYEE_NAME CARD_ID" lines, sorted.
    QStringList records();
    std::string scalar(const std::string& sql);

    QTemporaryDir dir_;
    QString site_;
    QString database_;
};

void TestPunches::initTestCase()
{
    QVERIFY(dir_.isValid());
    engine::configure(dir_.filePath(QStringLiteral("any.fdb")));
}

void TestPunches::newSite(const QString& name)
{
    site_ = dir_.filePath(name);
    database_ = dir_.filePath(name + QStringLiteral(".FDB"));
    auto run = runTool(QStringLiteral("kordane-admin"), {QStringLiteral("init"), QStringLiteral("--dir"), site_, QStringLiteral("--database"), database_, QStringLiteral("--no-demo-rows"), QStringLiteral("--rules")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    run = admin({QStringLiteral("employees"), QStringLiteral("import"),
                 file(QStringLiteral("employees.csv"), QStringLiteral("EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID\nA001,陳志明,1001\nA002,林美玲,1002\nA003,黃雅婷,\n"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
}

test::ToolRun TestPunches::admin(QStringList arguments)
{
    arguments << QStringLiteral("--connections") << site_ + QStringLiteral("/dbxconnections.ini");
    return runTool(QStringLiteral("kordane-admin"), arguments);
}

QString TestPunches::file(const QString& name, const QString& text)
{
    const QString path = dir_.filePath(name);
    if (!test::writeTextFile(path, text))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QStringList TestPunches::records()
{
    RawFirebird db(database_.toStdString(), "SYSDBA", "x");
    QStringList lines;
    for (const auto& row : db.query("SELECT EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT, BILL_WEEK, EMPLOYEE_NAME, CARD_ID FROM POS_DAY"))
        lines << QStringLiteral("%1 %2 %3-%4 %5 %6 %7").arg(cp950(*row[0]), cp950(*row[1]), cp950(*row[2]), cp950(*row[3]), cp950(*row[4]), cp950(*row[5]), cp950(*row[6]));
    lines.sort();
    return lines;
}

std::string TestPunches::scalar(const std::string& sql)
{
    RawFirebird db(database_.toStdString(), "SYSDBA", "x");
    return db.query(sql)[0][0].value_or("null");
}

// Directions where the terminal gives them, order where not, a double punch, a night
// shift and a lone in; a card moved on a date pairs for each holder apart. The records are
// the window's, and the audit trail has them under the admin's name, with the program.
void TestPunches::pairedIntoRecords()
{
    newSite(QStringLiteral("paired"));
    {
        RawFirebird db(database_.toStdString(), "SYSDBA", "x");
        // Card 1002 was A003's until 2026/12/08, then A002's.
        db.execute("INSERT INTO CARD_HOLDER VALUES ('1002', '2026-12-08', 'A003')");
    }
    const QString csv = file(QStringLiteral("day.csv"), QStringLiteral("\uFEFFDIRECTION,CARD_ID,PUNCHED_AT,TERMINAL\r\n"
                                                                       "out,1001,2026-12-07 17:00,T1\r\n"
                                                                       "in,1001,2026-12-07 08:00:00,T1\r\n"
                                                                       "in,1001,2026-12-07 08:01:30,T1\r\n"
                                                                       ",1002,2026-12-06 22:00,T2\r\n"
                                                                       ",1002,2026-12-07 06:00,T2\r\n"
                                                                       ",1002,2026-12-08 09:00,T2\r\n"
                                                                       ",1001,2026-12-08 08:00,T1\r\n"));
    const auto run = admin({QStringLiteral("punches"), QStringLiteral("import"), csv});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, summary.arg(7).arg(7).arg(0).arg(4).arg(0).arg(0).arg(0));
    QCOMPARE(records(), (QStringList {
                            QStringLiteral("A001 2026/12/07 08:00:00-17:00:00 一 陳志明 1001"),
                            QStringLiteral("A001 2026/12/08 08:00:00- 二 陳志明 1001"),
                            QStringLiteral("A002 2026/12/08 09:00:00- 二 林美玲 1002"),
                            QStringLiteral("A003 2026/12/06 22:00:00-06:00:00 日 黃雅婷 "),
                        }));
    RawFirebird db(database_.toStdString(), "SYSDBA", "x");
    for (const auto& row : db.query("SELECT USER_NAME, CLIENT_PROCESS FROM POS_DAY_AUDIT")) {
        QCOMPARE(row[0].value_or(""), std::string("SYSDBA"));
        QVERIFY2(row[1].value_or("").ends_with("/kordane-admin"), row[1].value_or("null").c_str());
    }
    QCOMPARE(db.query("SELECT ROLE FROM PUNCH WHERE PUNCHED_AT = '2026-12-07 08:01:30'")[0][0].value_or(""), std::string("R"));
}

// The same file twice adds nothing; an overlapping file in the text format adds only what
// is new, and completes a lone in; a dry run counts and writes nothing.
void TestPunches::eachPunchOnce()
{
    newSite(QStringLiteral("once"));
    // A line the file repeats is one punch.
    const QString first = file(QStringLiteral("mon.csv"), QStringLiteral("CARD_ID,PUNCHED_AT\n1001,2026-12-07 08:00\n1001,2026-12-07 17:00\n1001,2026-12-08 08:00\n1001,2026-12-07 08:00:00\n"));
    QCOMPARE(admin({QStringLiteral("punches"), QStringLiteral("import"), first}).out, summary.arg(4).arg(3).arg(1).arg(2).arg(0).arg(0).arg(0));
    QCOMPARE(scalar("SELECT SOURCE_LINE FROM PUNCH WHERE PUNCHED_AT = '2026-12-07 08:00'"), std::string("2"));
    const QStringList once = records();
    auto run = admin({QStringLiteral("punches"), QStringLiteral("import"), first});
    QCOMPARE(run.out, summary.arg(4).arg(0).arg(4).arg(0).arg(0).arg(0).arg(0));
    QCOMPARE(records(), once);
    // Tabs or blanks, slashes in the date, a terminal column; the first two lines repeat.
    const QString overlap = file(QStringLiteral("tue.txt"), QStringLiteral("1001\t2026/12/07\t17:00:00\tT9\n1001  2026-12-08 08:00 T9\n1001 2026-12-08 17:30:00 T9 out extra\n1001 2026-12-09 08:00\n"));
    run = admin({QStringLiteral("punches"), QStringLiteral("import"), overlap, QStringLiteral("--dry-run")});
    QCOMPARE(run.out, summary.arg(4).arg(2).arg(2).arg(1).arg(1).arg(0).arg(0) + QStringLiteral("dry run: nothing written\n"));
    QCOMPARE(records(), once);
    run = admin({QStringLiteral("punches"), QStringLiteral("import"), overlap});
    QCOMPARE(run.out, summary.arg(4).arg(2).arg(2).arg(1).arg(1).arg(0).arg(0));
    QCOMPARE(records(), (QStringList {
                            QStringLiteral("A001 2026/12/07 08:00:00-17:00:00 一 陳志明 1001"),
                            QStringLiteral("A001 2026/12/08 08:00:00-17:30:00 二 陳志明 1001"),
                            QStringLiteral("A001 2026/12/09 08:00:00- 三 陳志明 1001"),
                        }));
    QCOMPARE(scalar("SELECT COUNT(*) FROM PUNCH"), std::string("5"));
    QCOMPARE(scalar("SELECT SOURCE_FILE || ':' || SOURCE_LINE FROM PUNCH WHERE PUNCHED_AT = '2026-12-08 17:30'"), std::string("tue.txt:3"));
    QCOMPARE(scalar("SELECT TERMINAL || DIRECTION FROM PUNCH WHERE PUNCHED_AT = '2026-12-08 17:30'"), std::string("T9O"));
}

// Every line that cannot be taken is listed with its number and why, and nothing of the
// file is written; a file in neither format is refused with its first line.
void TestPunches::refusedLinesWriteNothing()
{
    newSite(QStringLiteral("refused"));
    const QString bad = file(QStringLiteral("bad.csv"), QStringLiteral("EMPLOYEE_ID,CARD_ID,PUNCHED_AT,DIRECTION\n"
                                                                       ",1001,2026-12-07 08:00,in\n"
                                                                       ",9999,2026-12-07 08:00,\n"
                                                                       ",1001,2026-12-07 25:00,\n"
                                                                       ",1001,2099-01-01 08:00,\n"
                                                                       ",1001,2026-12-07 09:00,sideways\n"
                                                                       "A003,,2026-12-07 09:00,\n"
                                                                       "A002,1001,2026-12-07 10:00,\n"
                                                                       "\"1001,2026-12-07 11:00\n"));
    auto run = admin({QStringLiteral("punches"), QStringLiteral("import"), bad});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("line 3: no employee has the card 9999\n"
                                     "line 4: '2026-12-07 25:00' is no date and time (YYYY-MM-DD HH:MM[:SS])\n"
                                     "line 5: 2099-01-01 08:00 is in the future\n"
                                     "line 6: the direction 'sideways' is neither in nor out\n"
                                     "line 7: the employee A003 has no card number in EMPLOYEE\n"
                                     "line 8: the card 1001 is the employee A001's, not A002's\n"
                                     "line 9: malformed CSV: a quoted field is not closed\n"
                                     "kordane-admin: nothing written: 7 lines refused\n"));
    QCOMPARE(run.out, summary.arg(8).arg(0).arg(0).arg(0).arg(0).arg(0).arg(7));
    QCOMPARE(scalar("SELECT COUNT(*) FROM PUNCH"), std::string("0"));
    QCOMPARE(records(), QStringList());
    run = admin({QStringLiteral("punches"), QStringLiteral("import"), file(QStringLiteral("odd.txt"), QStringLiteral("\n  hello world\n1001 2026-12-07 08:00\n"))});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.endsWith(QStringLiteral("its first line is 'hello world'\n")), qPrintable(run.err));
    // A terminal's line of column names is passed over; the lines keep their numbers.
    run = admin({QStringLiteral("punches"), QStringLiteral("import"), file(QStringLiteral("named.txt"), QStringLiteral("卡號\t日期\t時間\n1001\t2026-12-07\t08:00\n9999\t2026-12-07\t09:00\n"))});
    QCOMPARE(run.err, QStringLiteral("line 3: no employee has the card 9999\nkordane-admin: nothing written: 1 line refused\n"));
    run = admin({QStringLiteral("punches"), QStringLiteral("import"), bad, QStringLiteral("--format"), QStringLiteral("text")});
    QVERIFY2(run.err.startsWith(QStringLiteral("line 1: not a badge, a date and a time\n")), qPrintable(run.err));
    run = admin({QStringLiteral("punches"), QStringLiteral("import"), bad, QStringLiteral("--format"), QStringLiteral("xml")});
    QCOMPARE(run.exitCode, 2);
}

// A lone in whose record a clerk has changed is not completed by the out that comes
// later: the import says so, the clerk's record stays, and the out is listed as unpaired.
void TestPunches::clerksChangeLeftAlone()
{
    newSite(QStringLiteral("clerk"));
    QCOMPARE(admin({QStringLiteral("punches"), QStringLiteral("import"), file(QStringLiteral("in.txt"), QStringLiteral("1001 2026-12-07 08:00\n1002 2026-12-07 08:05\n"))}).exitCode, 0);
    {
        RawFirebird db(database_.toStdString(), "SYSDBA", "x");
        // A001's the window's way: a record with the off-duty time added, the lone one deleted.
        db.execute({"INSERT INTO POS_DAY SELECT EMPLOYEE_ID, INI_DATE, TIME_IN, '16:00:00', BILL_WEEK, EMPLOYEE_NAME, CARD_ID FROM POS_DAY WHERE EMPLOYEE_ID = 'A001'",
                    "DELETE FROM POS_DAY WHERE EMPLOYEE_ID = 'A001' AND TIME_OUT = ''"});
    }
    const auto run = admin({QStringLiteral("punches"), QStringLiteral("import"), file(QStringLiteral("out.txt"), QStringLiteral("1001 2026-12-07 17:00\n1002 2026-12-07 17:05\n"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("left alone: A001 2026/12/07 08:00:00-17:00:00: its record was changed by a clerk since it was imported, and is left as it is\n") + summary.arg(2).arg(2).arg(0).arg(0).arg(1).arg(1).arg(0));
    QCOMPARE(records(), (QStringList {QStringLiteral("A001 2026/12/07 08:00:00-16:00:00 一 陳志明 1001"), QStringLiteral("A002 2026/12/07 08:05:00-17:05:00 一 林美玲 1002")}));
    const QString unpaired = admin({QStringLiteral("punches"), QStringLiteral("list"), QStringLiteral("--unpaired")}).out;
    QVERIFY2(unpaired.startsWith(QStringLiteral("Punches: 1\n")) && unpaired.contains(QStringLiteral("out left for a clerk")), qPrintable(unpaired));
}

// An import killed while it writes leaves nothing; run again, it writes it all.
void TestPunches::killedImportRerun()
{
    newSite(QStringLiteral("killed"));
    QString text = QStringLiteral("CARD_ID,PUNCHED_AT\n");
    const QDate first(2020, 1, 1);
    for (int day = 0; day < 1500; ++day) {
        const QString date = first.addDays(day).toString(Qt::ISODate);
        for (const char* card : {"1001", "1002"})
            text += QStringLiteral("%1,%2 08:00\n%1,%2 12:00\n%1,%2 13:00\n%1,%2 17:00\n").arg(QLatin1String(card), date);
    }
    const QString big = file(QStringLiteral("big.csv"), text);
    QProcess import;
    import.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kordane-admin"),
                 {QStringLiteral("punches"), QStringLiteral("import"), big, QStringLiteral("--connections"), site_ + QStringLiteral("/dbxconnections.ini")});
    QVERIFY(test::waitUntilAttached(import, database_));
    QThread::msleep(300);
    ::kill(static_cast<pid_t>(import.processId()), SIGKILL);
    QVERIFY(import.waitForFinished(10000));
    const std::string punches = scalar("SELECT COUNT(*) FROM PUNCH");
    const std::string records = scalar("SELECT COUNT(*) FROM POS_DAY");
    // Killed before its commit, or after: never between.
    QVERIFY2((punches == "0" && records == "0") || (punches == "12000" && records == "6000"), (punches + " " + records).c_str());
    const auto run = admin({QStringLiteral("punches"), QStringLiteral("import"), big});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(scalar("SELECT COUNT(*) FROM PUNCH"), std::string("12000"));
    QCOMPARE(scalar("SELECT COUNT(*) FROM POS_DAY"), std::string("6000"));
}

// A late arrival after midnight for a night shift is the shift's day's, and the out a
// later file brings completes that record; without a schedule, the day the spell started.
void TestPunches::nightShiftDecidesTheDay()
{
    newSite(QStringLiteral("night"));
    auto run = admin({QStringLiteral("shift"), QStringLiteral("add"), QStringLiteral("NIGHT"), QStringLiteral("22:00"), QStringLiteral("06:00")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    run = admin(QStringList {QStringLiteral("pattern"), QStringLiteral("set"), QStringLiteral("--employee"), QStringLiteral("A001"), QStringLiteral("--from"), QStringLiteral("2026/12/07")} + QStringLiteral("NIGHT NIGHT NIGHT NIGHT NIGHT - -").split(u' '));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString nights = file(QStringLiteral("nights.csv"), QStringLiteral("CARD_ID,PUNCHED_AT\n1001,2026-12-07 22:00\n1001,2026-12-08 06:00\n1001,2026-12-09 00:30\n"
                                                                             "1002,2026-12-09 00:30\n1002,2026-12-09 06:00\n"));
    run = admin({QStringLiteral("punches"), QStringLiteral("import"), nights});
    QCOMPARE(run.out, summary.arg(5).arg(5).arg(0).arg(3).arg(0).arg(0).arg(0));
    run = admin({QStringLiteral("punches"), QStringLiteral("import"), file(QStringLiteral("morning.csv"), QStringLiteral("CARD_ID,PUNCHED_AT\n1001,2026-12-09 06:00\n"))});
    QCOMPARE(run.out, summary.arg(1).arg(1).arg(0).arg(0).arg(1).arg(0).arg(0));
    QCOMPARE(records(), (QStringList {
                            QStringLiteral("A001 2026/12/07 22:00:00-06:00:00 一 陳志明 1001"),
                            QStringLiteral("A001 2026/12/08 00:30:00-06:00:00 二 陳志明 1001"),
                            QStringLiteral("A002 2026/12/09 00:30:00-06:00:00 三 林美玲 1002"),
                        }));
}

// A card moved by the command pairs for its earlier holder before the move and for the
// new one after; the new holder's own card stays theirs before it. A move already made, a
// move before one recorded and an unknown employee are refused, changing nothing.
void TestPunches::cardMovedOnADate()
{
    newSite(QStringLiteral("moved"));
    const auto move = [&](const char* card, const char* employee, const char* from) {
        return admin({QStringLiteral("punches"), QStringLiteral("card"), QString::fromUtf8(card), QString::fromUtf8(employee), QStringLiteral("--from"), QString::fromUtf8(from)});
    };
    auto run = move("1001", "A002", "2026/12/08");
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("card 1001 is A002's from 2026/12/08; A001's before; A002's card 1002 stays theirs before 2026/12/08\n"));
    const std::string holders = "SELECT LIST(CARD_ID || '>' || HELD_UNTIL || '>' || EMPLOYEE_ID, ' ') FROM (SELECT * FROM CARD_HOLDER ORDER BY CARD_ID)";
    const std::string cards = "SELECT LIST(EMPLOYEE_ID || '=' || COALESCE(NULLIF(CARD_ID, ''), '-'), ' ') FROM (SELECT * FROM EMPLOYEE ORDER BY EMPLOYEE_ID)";
    QCOMPARE(scalar(holders), std::string("1001>2026-12-08>A001 1002>2026-12-08>A002"));
    QCOMPARE(scalar(cards), std::string("A001=- A002=1001 A003=-"));
    for (const auto& [refused, why] : {std::pair {move("1001", "A002", "2026/12/09"), "card 1001 is A002's already"},
                                       std::pair {move("1001", "A003", "2026/12/01"), "card 1001 moved on 2026-12-08 already"},
                                       std::pair {move("1001", "Z9", "2026/12/09"), "EMPLOYEE has no employee Z9"}}) {
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QString::fromUtf8(why)), qPrintable(refused.err));
    }
    QCOMPARE(scalar(holders), std::string("1001>2026-12-08>A001 1002>2026-12-08>A002"));

    const QString punches = file(QStringLiteral("moved.txt"), QStringLiteral("1001 2026-12-07 08:00\n1001 2026-12-07 17:00\n1001 2026-12-08 08:00\n1001 2026-12-08 17:00\n1002 2026-12-07 09:00\n1002 2026-12-07 18:00\n"));
    run = admin({QStringLiteral("punches"), QStringLiteral("import"), punches});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(records(), (QStringList {
                            QStringLiteral("A001 2026/12/07 08:00:00-17:00:00 一 陳志明 "),
                            QStringLiteral("A002 2026/12/07 09:00:00-18:00:00 一 林美玲 1001"),
                            QStringLiteral("A002 2026/12/08 08:00:00-17:00:00 二 林美玲 1001"),
                        }));
}

// The listing by date, employee and what is unpaired; the export as CSV a spreadsheet
// runs no formula of, which the import takes back without adding a thing.
void TestPunches::listAndExport()
{
    newSite(QStringLiteral("list"));
    QCOMPARE(admin({QStringLiteral("punches"), QStringLiteral("import"), file(QStringLiteral("l.csv"), QStringLiteral("CARD_ID,PUNCHED_AT,TERMINAL\n1001,2026-12-07 08:00,=1+1\n1001,2026-12-07 17:00,=1+1\n1002,2026-12-08 08:00,\n"))}).exitCode, 0);
    const auto lines = [&](QStringList arguments) {
        const auto run = admin(QStringList {QStringLiteral("punches"), QStringLiteral("list")} + arguments);
        return run.exitCode == 0 ? run.out.split(u'\n').first() : run.err;
    };
    QCOMPARE(lines({}), QStringLiteral("Punches: 3"));
    QCOMPARE(lines({QStringLiteral("--date"), QStringLiteral("2026/12/08")}), QStringLiteral("Punches: 1"));
    QCOMPARE(lines({QStringLiteral("--employee"), QStringLiteral("A001")}), QStringLiteral("Punches: 2"));
    QCOMPARE(lines({QStringLiteral("--unpaired")}), QStringLiteral("Punches: 1"));
    QCOMPARE(lines({QStringLiteral("--date"), QStringLiteral("2026/02/30")}), QStringLiteral("kordane-admin: --date takes a real date YYYY/MM/DD, not 2026/02/30\n"));
    const QString out = dir_.filePath(QStringLiteral("export.csv"));
    auto run = admin({QStringLiteral("punches"), QStringLiteral("export"), out});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QFile exported(out);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(exported.readAll());
    QVERIFY2(text.startsWith(QStringLiteral("CARD_ID,PUNCHED_AT,TERMINAL,DIRECTION,EMPLOYEE_ID,BECAME,SOURCE_FILE,SOURCE_LINE,IMPORTED_AT,IMPORTED_BY\r\n"
                                            "1001,2026-12-07 08:00:00,'=1+1,,A001,in,l.csv,2,")),
             qPrintable(text));
    QVERIFY(QDir(dir_.path()).entryList({QStringLiteral("export.csv*")}, QDir::Files | QDir::Hidden).size() == 1);
    run = admin({QStringLiteral("punches"), QStringLiteral("import"), out});
    QCOMPARE(run.out, summary.arg(3).arg(0).arg(3).arg(0).arg(0).arg(0).arg(0));
}

// Files dropped into a watched folder are imported once when complete, and moved out:
// a good one to done, one in no format and one with a refused line to refused, each with
// its reason.
void TestPunches::watchedFolder()
{
    newSite(QStringLiteral("watch"));
    const QString inbox = dir_.filePath(QStringLiteral("inbox"));
    QVERIFY(QDir().mkpath(inbox));
    QProcess watch;
    watch.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kordane-admin"),
                {QStringLiteral("punches"), QStringLiteral("import"), QStringLiteral("--watch"), inbox, QStringLiteral("--interval"), QStringLiteral("0.2"),
                 QStringLiteral("--connections"), site_ + QStringLiteral("/dbxconnections.ini")});
    QVERIFY(watch.waitForStarted());
    const auto stop = qScopeGuard([&] {
        watch.kill();
        watch.waitForFinished();
    });
    QVERIFY(test::writeTextFile(inbox + QStringLiteral("/.t1.txt"), QStringLiteral("1001 2026-12-07 08:00\n1001 2026-12-07 17:00\n")));
    QVERIFY(test::writeTextFile(inbox + QStringLiteral("/bad.txt"), QStringLiteral("1001 2026-12-07 09:00\n9999 2026-12-07 09:00\n")));
    QVERIFY(test::writeTextFile(inbox + QStringLiteral("/odd.txt"), QStringLiteral("what is this\n")));
    QVERIFY(QFile::rename(inbox + QStringLiteral("/.t1.txt"), inbox + QStringLiteral("/t1.txt")));
    const auto there = [&](const QString& path) { return QFileInfo::exists(inbox + path); };
    for (int i = 0; i < 150 && !(there(QStringLiteral("/done/t1.txt")) && there(QStringLiteral("/refused/bad.txt")) && there(QStringLiteral("/refused/odd.txt"))); ++i)
        QThread::msleep(100);
    QVERIFY2(there(QStringLiteral("/done/t1.txt")), watch.readAllStandardError().constData());
    QVERIFY(there(QStringLiteral("/refused/bad.txt")));
    QVERIFY(there(QStringLiteral("/refused/odd.txt")));
    QVERIFY(!there(QStringLiteral("/t1.txt")));
    QFile reason(inbox + QStringLiteral("/refused/bad.txt.reason"));
    QVERIFY(reason.open(QIODevice::ReadOnly));
    QVERIFY(reason.readAll().startsWith("line 2: no employee has the card 9999\n"));
    QVERIFY(QFileInfo::exists(inbox + QStringLiteral("/refused/odd.txt.reason")));
    QCOMPARE(records(), QStringList {QStringLiteral("A001 2026/12/07 08:00:00-17:00:00 一 陳志明 1001")});
    // The same file again is imported again, and adds nothing.
    QVERIFY(test::writeTextFile(inbox + QStringLiteral("/t1.txt"), QStringLiteral("1001 2026-12-07 08:00\n1001 2026-12-07 17:00\n")));
    for (int i = 0; i < 150 && !there(QStringLiteral("/done/t1.txt.1")); ++i)
        QThread::msleep(100);
    QVERIFY(there(QStringLiteral("/done/t1.txt.1")));
    QCOMPARE(scalar("SELECT COUNT(*) FROM PUNCH"), std::string("2"));
    QCOMPARE(watch.state(), QProcess::Running);
}

// A site made before the punches has no PUNCH: the import says how to add it, and upgrade
// does.
void TestPunches::upgradeAddsTheTables()
{
    newSite(QStringLiteral("old"));
    {
        RawFirebird db(database_.toStdString(), "SYSDBA", "x");
        db.execute("DROP TABLE CARD_HOLDER");
    }
    const QString punches = file(QStringLiteral("u.txt"), QStringLiteral("1001 2026-12-07 08:00\n"));
    auto run = admin({QStringLiteral("punches"), QStringLiteral("import"), punches});
    QCOMPARE(run.err, QStringLiteral("kordane-admin: the database lacks the punches' tables (kordane-admin upgrade adds them)\n"));
    run = admin({QStringLiteral("upgrade"), QStringLiteral("--check")});
    QVERIFY2(run.out.contains(QStringLiteral("punches: missing\n")), qPrintable(run.out));
    QCOMPARE(admin({QStringLiteral("upgrade")}).out, QStringLiteral("added punches\n"));
    QCOMPARE(admin({QStringLiteral("punches"), QStringLiteral("import"), punches}).exitCode, 0);
}

QTEST_GUILESS_MAIN(TestPunches)
#include "tst_punches.moc"
