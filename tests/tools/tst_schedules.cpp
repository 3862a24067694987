// Departments, shifts, weekly patterns, holidays and settings kept by the admin tool, run
// as an admin runs it on an embedded site: what each command stores and lists back, the
// refusals with their line and reason, imports all or nothing, and an upgrade that adds
// the part's tables once.
#include "data/sql/EmbeddedEngine.h"
#include "tests/support/ToolRun.h"
#include "tools/rawfb/RawFirebird.h"

#include <QFile>
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

QTEST_MAIN(TestSchedules)
#include "tst_schedules.moc"
