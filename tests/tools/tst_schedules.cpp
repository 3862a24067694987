// Departments, shifts, weekly patterns, holidays and settings kept by the admin tool, run
// as an admin runs it on an embedded site: what each command stores and lists back, the
// refusals with their line and reason, imports all or nothing, and an upgrade that adds
// the part's tables once.
#include "data/sql/EmbeddedEngine.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/ToolRun.h"
#include "tools/rawfb/RawFirebird.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace kordane;
using test::runTool;

namespace {

bool writeText(const QString& path, const QString& text)
{
    QFile file(path);
    const QByteArray bytes = text.toUtf8();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

class TestSchedules : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void departmentsWithEmployees();
    void shifts();
    void patterns();
    void patternImportAllOrNothing();
    void holidaysAndSettings();
    void periods();
    void closeWaitsForWritesInFlight();
    void upgradeAddsThePartsOnce();

private:
    QString newSite(const QString& name);
    QString databaseOf(const QString& site) const { return site + QStringLiteral(".FDB"); }
    test::ToolRun admin(const QString& site, QStringList arguments);
    // What a command wrote on standard output, or why it failed.
    QString output(const QString& site, const QStringList& arguments);
    QString file(const QString& name, const QString& text);

    QTemporaryDir dir_;
};

void TestSchedules::initTestCase()
{
    QVERIFY(dir_.isValid());
    engine::configure(dir_.filePath(QStringLiteral("any.fdb")));
}

QString TestSchedules::newSite(const QString& name)
{
    const QString site = dir_.filePath(name);
    const auto run = runTool(QStringLiteral("kordane-admin"), {QStringLiteral("init"), QStringLiteral("--dir"), site, QStringLiteral("--database"), databaseOf(site), QStringLiteral("--no-demo-rows")});
    if (run.exitCode != 0)
        qWarning("%s", qPrintable(run.err));
    return site;
}

test::ToolRun TestSchedules::admin(const QString& site, QStringList arguments)
{
    arguments << QStringLiteral("--connections") << site + QStringLiteral("/dbxconnections.ini");
    return runTool(QStringLiteral("kordane-admin"), arguments);
}

QString TestSchedules::output(const QString& site, const QStringList& arguments)
{
    const auto run = admin(site, arguments);
    return run.exitCode == 0 ? run.out : QStringLiteral("failed: ") + run.err;
}

QString TestSchedules::file(const QString& name, const QString& text)
{
    const QString path = dir_.filePath(name);
    if (!writeText(path, text))
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

void TestSchedules::departmentsWithEmployees()
{
    const QString site = newSite(QStringLiteral("departments"));
    const QStringList exportEmployees = {QStringLiteral("employees"), QStringLiteral("export")};
    const auto import = [&](const QString& text) {
        return admin(site, {QStringLiteral("employees"), QStringLiteral("import"), file(QStringLiteral("employees.csv"), text)});
    };
    // A site that keeps no department sees the three columns it always had.
    QCOMPARE(import(QStringLiteral("EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID\nA001,Amy,0031\nA002,Bob,0032\nA003,Cy,0033\n")).exitCode, 0);
    QCOMPARE(output(site, exportEmployees), QStringLiteral("EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID\nA001,Amy,0031\nA002,Bob,0032\nA003,Cy,0033\n"));

    auto run = import(QStringLiteral("DEPARTMENT,EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID\n倉儲,A001,Amy,0031\nOffice,A002,Bob,0032\n,A003,Cy,0033\n"));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("added 0, changed 2, unchanged 1, refused 0\n"));
    const QString withDepartments = QStringLiteral("EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID,DEPARTMENT\nA001,Amy,0031,倉儲\nA002,Bob,0032,Office\nA003,Cy,0033,\n");
    QCOMPARE(output(site, exportEmployees), withDepartments);
    // Export then import changes nothing; a file without the column leaves departments be.
    QCOMPARE(import(withDepartments).out, QStringLiteral("added 0, changed 0, unchanged 3, refused 0\n"));
    run = import(QStringLiteral("EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID\nA001,Amy Lee,0031\n"));
    QCOMPARE(run.out, QStringLiteral("added 0, changed 1, unchanged 0, refused 0\n"));
    QVERIFY(output(site, exportEmployees).contains(QStringLiteral("A001,Amy Lee,0031,倉儲\n")));

    // An empty cell takes the department away; a refused line writes nothing of the file.
    run = import(QStringLiteral("EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID,DEPARTMENT\nA001,Amy Lee,0031,\nA004,Di,0034,Office\nA002,Bob,0032,Office \n"));
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith(QStringLiteral("line 4: DEPARTMENT 'Office ' starts or ends with a blank\n")), qPrintable(run.err));
    run = import(QStringLiteral("EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID,DEPARTMENT\nA002,Bob,0032,") + QString(41, u'x') + u'\n');
    QVERIFY2(run.err.startsWith(QStringLiteral("line 2: DEPARTMENT '%1' is 41 bytes, wider than the column's 40\n").arg(QString(41, u'x'))), qPrintable(run.err));
    QVERIFY(output(site, exportEmployees).contains(QStringLiteral("A001,Amy Lee,0031,倉儲\n")));
    QVERIFY(!output(site, exportEmployees).contains(QStringLiteral("A004")));
    run = import(QStringLiteral("EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID,DEPARTMENT\nA001,Amy Lee,0031,\nA004,Di,0034,=Office\n"));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    RawFirebird db(databaseOf(site).toStdString(), "SYSDBA", "x");
    QCOMPARE(db.query("SELECT EMPLOYEE_ID, DEPARTMENT FROM EMPLOYEE_DEPARTMENT ORDER BY EMPLOYEE_ID"),
             (std::vector<RawFirebird::Row> {{"A002", "Office"}, {"A004", "=Office"}}));
    // A department a spreadsheet would run is guarded, and comes back as it was.
    QVERIFY(output(site, exportEmployees).contains(QStringLiteral("A004,Di,0034,'=Office\n")));
}

void TestSchedules::shifts()
{
    const QString site = newSite(QStringLiteral("shifts"));
    const auto shift = [&](const QStringList& arguments) { return admin(site, QStringList {QStringLiteral("shift")} + arguments); };
    auto run = shift({QStringLiteral("add"), QStringLiteral("DAY"), QStringLiteral("08:00"), QStringLiteral("17:00"), QStringLiteral("--break"), QStringLiteral("60"), QStringLiteral("--late-grace"), QStringLiteral("5")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("added shift DAY: 08:00 to 17:00, 480 paid minutes\n"));
    run = shift({QStringLiteral("add"), QStringLiteral("NIGHT"), QStringLiteral("22:00"), QStringLiteral("06:00"), QStringLiteral("--break=30"), QStringLiteral("--early-grace=10")});
    QCOMPARE(run.out, QStringLiteral("added shift NIGHT: 22:00 to 06:00 the next day, 450 paid minutes\n"));

    struct Refusal {
        QStringList arguments;
        int exitCode;
        const char* reason;
    };
    const Refusal refusals[] = {
        {{QStringLiteral("ZERO"), QStringLiteral("08:00"), QStringLiteral("08:00")}, 1, "a shift of zero length: it starts and ends at 08:00"},
        {{QStringLiteral("LONG"), QStringLiteral("23:00"), QStringLiteral("01:00"), QStringLiteral("--break"), QStringLiteral("120")}, 1, "the break of 120 minutes is not shorter than the shift's 120"},
        {{QStringLiteral("DAY"), QStringLiteral("09:00"), QStringLiteral("18:00")}, 1, "the shift DAY exists; a changed shift takes another code"},
        {{QStringLiteral("LATE"), QStringLiteral("24:00"), QStringLiteral("06:00")}, 2, "a shift starts and ends at a time HH:MM from 00:00 to 23:59, not 24:00"},
        {{QStringLiteral("-"), QStringLiteral("08:00"), QStringLiteral("12:00")}, 1, "- stands for a rest day in a pattern; a shift takes another code"},
        {{QStringLiteral("DAY "), QStringLiteral("08:00"), QStringLiteral("12:00")}, 1, "SHIFT_CODE 'DAY ' starts or ends with a blank"},
        {{QStringLiteral("HALF"), QStringLiteral("08:00"), QStringLiteral("12:00"), QStringLiteral("--break"), QStringLiteral("ten")}, 2, "--break takes a number of minutes from 0 to 1440, not ten"},
    };
    for (const Refusal& r : refusals) {
        run = shift(QStringList {QStringLiteral("add")} + r.arguments);
        QCOMPARE(run.exitCode, r.exitCode);
        QCOMPARE(run.err, QStringLiteral("kordane-admin: %1\n").arg(QString::fromUtf8(r.reason)));
    }
    const QString listed = QStringLiteral("SHIFT_CODE,START,END,BREAK_MINUTES,LATE_GRACE,EARLY_GRACE\nDAY,08:00,17:00,60,5,0\nNIGHT,22:00,06:00,30,0,10\n");
    QCOMPARE(output(site, {QStringLiteral("shift"), QStringLiteral("list")}), listed);
    // An export is there whole, or not at all.
    const QString exported = dir_.filePath(QStringLiteral("shifts.csv"));
    QCOMPARE(shift({QStringLiteral("export"), exported}).exitCode, 0);
    QFile file(exported);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), listed);
    run = shift({QStringLiteral("export"), dir_.filePath(QStringLiteral("missing/shifts.csv"))});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("missing"))));

    QCOMPARE(shift({QStringLiteral("remove"), QStringLiteral("NIGHT")}).exitCode, 0);
    QCOMPARE(shift({QStringLiteral("remove"), QStringLiteral("NIGHT")}).err, QStringLiteral("kordane-admin: there is no shift NIGHT\n"));
    QCOMPARE(output(site, {QStringLiteral("shift"), QStringLiteral("list")}), QStringLiteral("SHIFT_CODE,START,END,BREAK_MINUTES,LATE_GRACE,EARLY_GRACE\nDAY,08:00,17:00,60,5,0\n"));
}

void TestSchedules::patterns()
{
    const QString site = newSite(QStringLiteral("patterns"));
    QCOMPARE(admin(site, {QStringLiteral("employees"), QStringLiteral("import"), file(QStringLiteral("staff.csv"), QStringLiteral("EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID,DEPARTMENT\nA001,Amy,1,Store\nA002,Bob,2,Store\n"))}).exitCode, 0);
    for (const QStringList& s : {QStringList {QStringLiteral("DAY"), QStringLiteral("08:00"), QStringLiteral("17:00")}, QStringList {QStringLiteral("NIGHT"), QStringLiteral("22:00"), QStringLiteral("06:00")}, QStringList {QStringLiteral("EARLY"), QStringLiteral("05:00"), QStringLiteral("13:00")}})
        QCOMPARE(admin(site, QStringList {QStringLiteral("shift"), QStringLiteral("add")} + s).exitCode, 0);
    const auto set = [&](const QString& subject, const QString& from, const QString& week) {
        return admin(site, QStringList {QStringLiteral("pattern"), QStringLiteral("set"), subject, QStringLiteral("--from"), from} + week.split(u' '));
    };
    const QString employee = QStringLiteral("--employee=A001");
    auto run = set(employee, QStringLiteral("2026/11/01"), QStringLiteral("DAY DAY DAY DAY DAY - -"));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("set the pattern of employee A001 from 2026/11/01\n"));
    QCOMPARE(set(employee, QStringLiteral("2026/11/01"), QStringLiteral("DAY DAY DAY DAY DAY - -")).out, QStringLiteral("employee A001 from 2026/11/01: unchanged\n"));
    // A change of schedule from a later date; the one before stays for the days before.
    QCOMPARE(set(employee, QStringLiteral("2026/11/16"), QStringLiteral("NIGHT NIGHT NIGHT NIGHT - - -")).exitCode, 0);
    QCOMPARE(set(QStringLiteral("--department=Store"), QStringLiteral("2026/01/01"), QStringLiteral("- DAY DAY DAY DAY DAY -")).exitCode, 0);

    struct Refusal {
        QString subject;
        const char* week;
        const char* reason;
    };
    const Refusal refusals[] = {
        {employee, "DAY DAY DAY DAY DAY DAY -", "employee A001 from 2026/11/01 has another pattern already (pattern remove takes it away)"},
        {QStringLiteral("--employee=A009"), "DAY DAY DAY DAY DAY - -", "there is no employee A009"},
        {QStringLiteral("--department=Stores"), "DAY DAY DAY DAY DAY - -", "no employee is in the department Stores (employees import gives them one)"},
        {QStringLiteral("--employee=A002"), "DAY SWING DAY DAY DAY - -", "TUE: there is no shift 'SWING' (- is a rest day)"},
        {QStringLiteral("--employee=A002"), "NIGHT EARLY DAY DAY DAY - -", "MON's shift NIGHT ends at 06:00 on TUE, after that day's shift EARLY starts at 05:00"},
        {QStringLiteral("--employee=A002"), "EARLY - - - - - NIGHT", "SUN's shift NIGHT ends at 06:00 on MON, after that day's shift EARLY starts at 05:00"},
    };
    for (const Refusal& r : refusals) {
        run = set(r.subject, QStringLiteral("2026/11/01"), QString::fromLatin1(r.week));
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, QStringLiteral("kordane-admin: %1\n").arg(QString::fromLatin1(r.reason)));
    }
    QCOMPARE(set(employee, QStringLiteral("2026/02/30"), QStringLiteral("DAY DAY DAY DAY DAY - -")).err, QStringLiteral("kordane-admin: VALID_FROM must be a real date written YYYY/MM/DD, not '2026/02/30'\n"));
    QCOMPARE(set(employee, QStringLiteral("2026/11/01"), QStringLiteral("DAY DAY")).exitCode, 2);
    // A night shift followed by a rest day, or by a shift that starts after it ends, is fine.
    QCOMPARE(set(QStringLiteral("--employee=A002"), QStringLiteral("2026/11/01"), QStringLiteral("NIGHT DAY - - - - EARLY")).exitCode, 0);

    const QString listed = QStringLiteral("KIND,SUBJECT,VALID_FROM,MON,TUE,WED,THU,FRI,SAT,SUN\n"
                                          "department,Store,2026/01/01,,DAY,DAY,DAY,DAY,DAY,\n"
                                          "employee,A001,2026/11/01,DAY,DAY,DAY,DAY,DAY,,\n"
                                          "employee,A001,2026/11/16,NIGHT,NIGHT,NIGHT,NIGHT,,,\n"
                                          "employee,A002,2026/11/01,NIGHT,DAY,,,,,EARLY\n");
    QCOMPARE(output(site, {QStringLiteral("pattern"), QStringLiteral("list")}), listed);
    // What export writes, import takes back as it is.
    run = admin(site, {QStringLiteral("pattern"), QStringLiteral("import"), file(QStringLiteral("patterns.csv"), listed)});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("added 0, unchanged 4\n"));

    // A shift in a pattern stays; a removed pattern lets the one before hold on.
    run = admin(site, {QStringLiteral("shift"), QStringLiteral("remove"), QStringLiteral("NIGHT")});
    QCOMPARE(run.err, QStringLiteral("kordane-admin: the shift NIGHT is in the patterns of employee A001 from 2026/11/16, employee A002 from 2026/11/01; left as it is\n"));
    QCOMPARE(admin(site, {QStringLiteral("pattern"), QStringLiteral("remove"), employee, QStringLiteral("--from"), QStringLiteral("2026/11/16")}).exitCode, 0);
    QCOMPARE(admin(site, {QStringLiteral("pattern"), QStringLiteral("remove"), employee, QStringLiteral("--from"), QStringLiteral("2026/11/16")}).err, QStringLiteral("kordane-admin: employee A001 from 2026/11/16 has no pattern\n"));
    QVERIFY(!output(site, {QStringLiteral("pattern"), QStringLiteral("list")}).contains(QStringLiteral("2026/11/16")));
}

void TestSchedules::patternImportAllOrNothing()
{
    const QString site = newSite(QStringLiteral("patternimport"));
    QCOMPARE(admin(site, {QStringLiteral("employees"), QStringLiteral("import"), file(QStringLiteral("staff.csv"), QStringLiteral("EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID,DEPARTMENT\nA001,Amy,1,Store\n"))}).exitCode, 0);
    QCOMPARE(admin(site, {QStringLiteral("shift"), QStringLiteral("add"), QStringLiteral("DAY"), QStringLiteral("08:00"), QStringLiteral("17:00")}).exitCode, 0);
    const QString header = QStringLiteral("VALID_FROM,KIND,SUBJECT,MON,TUE,WED,THU,FRI,SAT,SUN\n");
    auto run = admin(site, {QStringLiteral("pattern"), QStringLiteral("import"), file(QStringLiteral("bad.csv"), header + QStringLiteral("2026/11/01,employee,A001,DAY,DAY,DAY,DAY,DAY,,\n"
                                                                                                                                         "2026/11/01,department,Store,DAY,DAY,DAY,DAY,DAY,,\n"
                                                                                                                                         "2026/11/01,employee,A001,DAY,DAY,DAY,DAY,,,\n"
                                                                                                                                         "2026/11/01,person,A001,DAY,DAY,DAY,DAY,,,\n"
                                                                                                                                         "2026/11/01,employee,A001,DAY\n"))});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("line 4: a second pattern of employee A001 from 2026/11/01 (the first on line 2)\n"
                                     "line 5: KIND is employee or department, not 'person'\n"
                                     "line 6: malformed CSV: 4 fields, not 10\n"
                                     "kordane-admin: nothing written: 3 lines refused\n"));
    QCOMPARE(output(site, {QStringLiteral("pattern"), QStringLiteral("list")}), QStringLiteral("KIND,SUBJECT,VALID_FROM,MON,TUE,WED,THU,FRI,SAT,SUN\n"));
    run = admin(site, {QStringLiteral("pattern"), QStringLiteral("import"), file(QStringLiteral("bad.csv"), QStringLiteral("KIND,SUBJECT,VALID_FROM,MON\n"))});
    QVERIFY2(run.err.contains(QStringLiteral("the header must name KIND, SUBJECT, VALID_FROM, MON, TUE, WED, THU, FRI, SAT, SUN, each once")), qPrintable(run.err));
}

void TestSchedules::holidaysAndSettings()
{
    const QString site = newSite(QStringLiteral("holidays"));
    const auto holiday = [&](const QStringList& arguments) { return admin(site, QStringList {QStringLiteral("holiday")} + arguments); };
    QCOMPARE(holiday({QStringLiteral("add"), QStringLiteral("2026/12/25"), QStringLiteral("聖誕節")}).exitCode, 0);
    QCOMPARE(holiday({QStringLiteral("add"), QStringLiteral("2026/12/25")}).err, QStringLiteral("kordane-admin: 2026/12/25 is a holiday already\n"));
    QCOMPARE(holiday({QStringLiteral("add"), QStringLiteral("2026/13/01")}).exitCode, 2);
    auto run = holiday({QStringLiteral("import"), file(QStringLiteral("holidays.csv"), QStringLiteral("HOLIDAY_NAME,HOLIDAY_DATE\nNew Year,2027/01/01\n,2026/12/31\nAgain,2027/01/01\n=1+1,2027/02/30\n"))});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("line 4: 2027/01/01 repeated (first on line 2)\n"
                                     "line 5: HOLIDAY_DATE must be a real date written YYYY/MM/DD, not '2027/02/30'\n"
                                     "kordane-admin: nothing written: 2 lines refused\n"));
    run = holiday({QStringLiteral("import"), file(QStringLiteral("holidays.csv"), QStringLiteral("HOLIDAY_DATE,HOLIDAY_NAME\n2026/12/25,Christmas\n2027/01/01,=New Year\n2026/12/31,\n"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("added 2, changed 1, unchanged 0\n"));
    QCOMPARE(holiday({QStringLiteral("remove"), QStringLiteral("2026/12/31")}).exitCode, 0);
    QCOMPARE(holiday({QStringLiteral("remove"), QStringLiteral("2026/12/31")}).err, QStringLiteral("kordane-admin: 2026/12/31 is no holiday\n"));
    // A name a spreadsheet would run comes out guarded.
    QCOMPARE(output(site, {QStringLiteral("holiday"), QStringLiteral("list")}), QStringLiteral("HOLIDAY_DATE,HOLIDAY_NAME\n2026/12/25,Christmas\n2027/01/01,'=New Year\n"));

    const auto setting = [&](const QStringList& arguments) { return admin(site, QStringList {QStringLiteral("setting")} + arguments); };
    run = setting({QStringLiteral("set"), QStringLiteral("PAY_PERIOD_FIRST_DAY"), QStringLiteral("29")});
    QCOMPARE(run.err, QStringLiteral("kordane-admin: PAY_PERIOD_FIRST_DAY 29: must be a whole number from 1 to 28\n"));
    QCOMPARE(setting({QStringLiteral("set"), QStringLiteral("NIGHT_HOURS"), QStringLiteral("8")}).exitCode, 1);
    QCOMPARE(setting({QStringLiteral("set"), QStringLiteral("pay_period_first_day"), QStringLiteral("26")}).out, QStringLiteral("PAY_PERIOD_FIRST_DAY = 26\n"));
    QCOMPARE(setting({QStringLiteral("set"), QStringLiteral("NIGHT_START"), QStringLiteral("21:30")}).exitCode, 0);
    const QString listed = output(site, {QStringLiteral("setting"), QStringLiteral("list")});
    QVERIFY2(listed.startsWith(QStringLiteral("SETTING_NAME,SETTING_VALUE,DEFAULT_VALUE,MEANING\nPAY_PERIOD_FIRST_DAY,26,1,")), qPrintable(listed));
    QVERIFY2(listed.contains(QStringLiteral("\nDAILY_NORM_MINUTES,480,480,")), qPrintable(listed));
    QVERIFY2(listed.contains(QStringLiteral("\nNIGHT_START,21:30,22:00,")), qPrintable(listed));
}

void TestSchedules::periods()
{
    const QString site = newSite(QStringLiteral("periods"));
    const auto period = [&](const QStringList& arguments) { return admin(site, QStringList {QStringLiteral("period")} + arguments); };
    QCOMPARE(period({QStringLiteral("status")}).out, QStringLiteral("no pay period is closed\n"));
    QCOMPARE(admin(site, {QStringLiteral("setting"), QStringLiteral("set"), QStringLiteral("PAY_PERIOD_FIRST_DAY"), QStringLiteral("26")}).exitCode, 0);
    auto run = period({QStringLiteral("close"), QStringLiteral("2026/11")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("closed 2026/11: 2026/10/26 to 2026/11/25\n"));
    // January's period starts in the December before.
    QCOMPARE(period({QStringLiteral("close"), QStringLiteral("2027/01")}).out, QStringLiteral("closed 2027/01: 2026/12/26 to 2027/01/25\n"));
    run = period({QStringLiteral("close"), QStringLiteral("2026/11")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith(QStringLiteral("kordane-admin: 2026/11 (2026/10/26 to 2026/11/25) is closed already (closed by SYSDBA at ")), qPrintable(run.err));
    // A changed first day makes periods that would overlap a closed one.
    QCOMPARE(admin(site, {QStringLiteral("setting"), QStringLiteral("set"), QStringLiteral("PAY_PERIOD_FIRST_DAY"), QStringLiteral("1")}).exitCode, 0);
    run = period({QStringLiteral("close"), QStringLiteral("2026/12")});
    QVERIFY2(run.err.startsWith(QStringLiteral("kordane-admin: 2026/12 (2026/12/01 to 2026/12/31) overlaps the closed period 2026/12/26 to 2027/01/25 (closed by SYSDBA at ")), qPrintable(run.err));
    QCOMPARE(period({QStringLiteral("close"), QStringLiteral("2026/13")}).exitCode, 2);
    QCOMPARE(period({QStringLiteral("close")}).exitCode, 2);

    // Every program is refused a record of a closed day, and takes one of an open day.
    RawFirebird db(databaseOf(site).toStdString(), "SYSDBA", "x");
    const std::string insert = "INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, TIME_IN) VALUES ('A001', ";
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.execute(insert + "'2026/11/25', '08:00:00')"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.execute(insert + "'2026/10/26', '08:00:00')"));
    // Dates compared as the reports select them: a blank after one does not take it out.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.execute(insert + "'2026/11/05 ', '08:00:00')"));
    db.execute({insert + "'2026/11/26', '08:00:00')", insert + "'2026/10/25', '08:00:00')"});
    // Moving a record into a closed day is refused as much as one out of it.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.execute("UPDATE POS_DAY SET INI_DATE = '2026/11/20' WHERE INI_DATE = '2026/11/26'"));

    run = period({QStringLiteral("reopen"), QStringLiteral("2026/11")});
    QCOMPARE(run.out, QStringLiteral("reopened 2026/11: 2026/10/26 to 2026/11/25\n"));
    QCOMPARE(period({QStringLiteral("reopen"), QStringLiteral("2026/11")}).err, QStringLiteral("kordane-admin: no closed pay period ends in 2026/11\n"));
    db.execute(insert + "'2026/11/25', '08:00:00')");
    run = period({QStringLiteral("status"), QStringLiteral("2026/11")});
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral("2026/11 (2026/11/01 to 2026/11/30): open"));
    QVERIFY2(lines[1].endsWith(QStringLiteral(" close 2026/10/26 to 2026/11/25 by SYSDBA")), qPrintable(run.out));
    QVERIFY2(lines[2].endsWith(QStringLiteral(" reopen 2026/10/26 to 2026/11/25 by SYSDBA")), qPrintable(run.out));
    run = period({QStringLiteral("status")});
    QVERIFY2(run.out.startsWith(QStringLiteral("2026/12/26 to 2027/01/25: closed by SYSDBA at ")), qPrintable(run.out));
}

// A desk's write still in flight when the period closes was checked before it closed: the
// close waits for it, and a write after the close is refused.
void TestSchedules::closeWaitsForWritesInFlight()
{
    const QString site = newSite(QStringLiteral("inflight"));
    RawFirebird desk(databaseOf(site).toStdString(), "SYSDBA", "x");
    QProcess close;
    {
        RawTransaction open(desk.handle());
        desk.executeIn(open, "INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, TIME_IN) VALUES ('A001', '2026/12/05', '08:00:00')");
        close.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kordane-admin"),
                    {QStringLiteral("period"), QStringLiteral("close"), QStringLiteral("2026/12"), QStringLiteral("--connections"), site + QStringLiteral("/dbxconnections.ini")});
        QVERIFY(close.waitForStarted());
        QVERIFY2(!close.waitForFinished(2000), close.readAllStandardError().constData());
        open.commit();
    }
    QVERIFY(close.waitForFinished(30000));
    QCOMPARE(close.exitCode(), 0);
    QCOMPARE(close.readAllStandardOutput(), QByteArray("closed 2026/12: 2026/12/01 to 2026/12/31\n"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, desk.execute("DELETE FROM POS_DAY"));
}

// An older database, with the program's two tables and records only: upgrade adds every
// part's tables in one go, and nothing the second time.
void TestSchedules::upgradeAddsThePartsOnce()
{
    test::TestDatabase db;
    db.raw().execute("INSERT INTO POS_DAY VALUES ('E1', '2026/11/05', '08:00:00', '17:00:00', '', NULL, 'C1')");
    db.release();
    const auto admin = [&](const QStringList& arguments) {
        return runTool(QStringLiteral("kordane-admin"), arguments + QStringList {QStringLiteral("--connections"), db.connectionsFile()});
    };
    const auto upgrade = [&](const QStringList& arguments) { return admin(QStringList {QStringLiteral("upgrade")} + arguments); };
    // Until then the schedule commands say what to run.
    for (const QStringList& command : {QStringList {QStringLiteral("shift"), QStringLiteral("list")},
                                       QStringList {QStringLiteral("holiday"), QStringLiteral("add"), QStringLiteral("2026/12/25"), QStringLiteral("Christmas")}}) {
        const auto refused = admin(command);
        QCOMPARE(refused.exitCode, 1);
        QCOMPARE(refused.err, QStringLiteral("kordane-admin: the database lacks the schedules' tables (kordane-admin upgrade adds them)\n"));
    }
    auto run = upgrade({QStringLiteral("--check")});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QStringLiteral("schedules: missing\nperiods: missing\npunches: missing\n"));
    run = upgrade({});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("added schedules\nadded periods\nadded punches\n"));
    run = upgrade({});
    QCOMPARE(run.out, QStringLiteral("%1 is up to date\n").arg(db.database()));
    run = upgrade({QStringLiteral("--check")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("schedules: there\nperiods: there\npunches: there\n"));
    // The records are as they were; the period part works on them.
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM POS_DAY"), std::optional<std::string>("1"));
    db.raw().execute("INSERT INTO PAY_PERIOD_CLOSED VALUES (DATE '2026-11-01', DATE '2026-11-30', 'X', CURRENT_TIMESTAMP)");
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.raw().execute("DELETE FROM POS_DAY"));

    // A lock of an earlier upgrade compared the date texts alone, so another program's
    // record of a date the reports count in the closed period, written without its zeros,
    // went in: upgrade brings the lock up to the one that refuses it.
    db.raw().execute("ALTER TRIGGER POS_DAY_PERIOD_LOCK AS BEGIN IF (NEW.INI_DATE BETWEEN '2026/11/01' AND '2026/11/30') THEN EXCEPTION POS_DAY_CLOSED; END");
    db.release();
    QCOMPARE(upgrade({}).out, QStringLiteral("added periods\n"));
    const auto insert = [&](const char* date) {
        db.raw().execute(std::string("INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE) VALUES ('E2', '") + date + "')");
    };
    for (const char* date : {"2026/11/5", "2026/11/ 5", "2026/11/05/", " 2026/ 11/05"})
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, insert(date));
    for (const char* date : {"2026/12/5", "2026/11/31", "2026/11/"})
        insert(date);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_ID = 'E2'"), std::optional<std::string>("3"));
}

QTEST_MAIN(TestSchedules)
#include "tst_schedules.moc"
