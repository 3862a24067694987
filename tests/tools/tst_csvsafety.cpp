// What the tools write as CSV, opened by a spreadsheet: no cell starts a formula, in the
// employee export, the audit listing and the reports; the employee export still gives
// back the stored bytes through the import. What the import refuses to store: control
// characters, and a code with a blank at either end.
#include "data/sql/EmbeddedEngine.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/ToolRun.h"
#include "tools/rawfb/RawFirebird.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace kordane;
using test::runTool;

namespace {

std::string cp950(const QString& text)
{
    QStringEncoder encoder("windows-950");
    return QByteArray(encoder.encode(text)).toStdString();
}

// The employees as stored, a row a line, to compare byte for byte.
QByteArrayList storedEmployees(RawFirebird& db)
{
    QByteArrayList rows;
    for (const auto& row : db.query("SELECT EMPLOYEE_ID, EMPLOYEE_NAME, CARD_ID FROM EMPLOYEE ORDER BY EMPLOYEE_ID")) {
        QByteArrayList values;
        for (const auto& value : row)
            values << (value ? QByteArray::fromStdString(*value) : QByteArray("<null>"));
        rows << values.join('|');
    }
    return rows;
}

const QString header = QStringLiteral("EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID\n");

} // namespace

class TestCsvSafety : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void employeeExport();
    void auditCsv();
    void reportCsv();
    void refusedTexts_data();
    void refusedTexts();
    void textsThatStay();

private:
    QString newSite(const QString& name, const QStringList& options = {});
    RawFirebird attach(const QString& name) const;
    test::ToolRun admin(const QString& site, QStringList arguments);

    QTemporaryDir dir_;
};

void TestCsvSafety::initTestCase()
{
    QVERIFY(dir_.isValid());
    // This process looks at the databases while the tools run, as the tools share them.
    engine::configure(dir_.filePath(QStringLiteral("any.fdb")));
}

QString TestCsvSafety::newSite(const QString& name, const QStringList& options)
{
    const QString site = dir_.filePath(name);
    const auto run = runTool(QStringLiteral("kordane-admin"), QStringList {QStringLiteral("init"), QStringLiteral("--dir"), site, QStringLiteral("--database"), dir_.filePath(name + QStringLiteral(".FDB")), QStringLiteral("--no-demo-rows")} + options);
    if (run.exitCode != 0)
        qWarning("%s", qPrintable(run.err));
    return site;
}

RawFirebird TestCsvSafety::attach(const QString& name) const
{
    return RawFirebird(dir_.filePath(name + QStringLiteral(".FDB")).toStdString(), "SYSDBA", "x");
}

test::ToolRun TestCsvSafety::admin(const QString& site, QStringList arguments)
{
    arguments << QStringLiteral("--connections") << site + QStringLiteral("/dbxconnections.ini");
    return runTool(QStringLiteral("kordane-admin"), arguments);
}

void TestCsvSafety::employeeExport()
{
    const QString site = newSite(QStringLiteral("staff"));
    RawFirebird db = attach(QStringLiteral("staff"));
    // Stored as the program reads them, and the line each export writes.
    const struct {
        std::vector<RawFirebird::Value> stored;
        QString guarded;
        QString raw;
    } rows[] = {
        {{"=A", "=HYPERLINK(\"http://x.y\",\"z\")", "+886"},
         QStringLiteral("'=A,\"'=HYPERLINK(\"\"http://x.y\"\",\"\"z\"\")\",'+886\n"),
         QStringLiteral("=A,\"=HYPERLINK(\"\"http://x.y\"\",\"\"z\"\")\",+886\n")},
        {{"A1", "'abc", "-2"}, QStringLiteral("A1,'abc,'-2\n"), QStringLiteral("A1,'abc,-2\n")},
        {{"A2", "'=x", "''@y"}, QStringLiteral("A2,''=x,'''@y\n"), QStringLiteral("A2,'=x,''@y\n")},
        {{"A3", cp950(QStringLiteral("陳志明")), "'"}, QStringLiteral("A3,陳志明,'\n"), QStringLiteral("A3,陳志明,'\n")},
        {{"A4", " -x", "a=b"}, QStringLiteral("A4,\" -x\",a=b\n"), QStringLiteral("A4,\" -x\",a=b\n")},
        {{"T1", "\tTab", "\rCR"}, QStringLiteral("T1,'\tTab,\"'\rCR\"\n"), QStringLiteral("T1,\tTab,\"\rCR\"\n")},
    };
    QString guarded = header;
    QString raw = header;
    for (const auto& row : rows) {
        db.executePrepared("INSERT INTO EMPLOYEE VALUES (?, ?, ?)", row.stored);
        guarded += row.guarded;
        raw += row.raw;
    }
    auto run = admin(site, {QStringLiteral("employees"), QStringLiteral("export")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, guarded);
    run = admin(site, {QStringLiteral("employees"), QStringLiteral("export"), QStringLiteral("--raw")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, raw);

    // What an import may store (no tab or carriage return) comes back byte for byte, from
    // the guarded export and from the raw one read raw.
    db.execute("DELETE FROM EMPLOYEE WHERE EMPLOYEE_ID = 'T1'");
    const QByteArrayList stored = storedEmployees(db);
    const struct {
        const char* name;
        QStringList exportOptions;
        QStringList importOptions;
    } ways[] = {{"guarded", {}, {}}, {"raw", {QStringLiteral("--raw")}, {QStringLiteral("--raw")}}};
    for (const auto& way : ways) {
        const QString file = dir_.filePath(QString::fromLatin1(way.name) + QStringLiteral(".csv"));
        QCOMPARE(admin(site, QStringList {QStringLiteral("employees"), QStringLiteral("export"), file} + way.exportOptions).exitCode, 0);
        const QString copy = newSite(QString::fromLatin1(way.name));
        run = admin(copy, QStringList {QStringLiteral("employees"), QStringLiteral("import"), file} + way.importOptions);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        RawFirebird copied = attach(QString::fromLatin1(way.name));
        QCOMPARE(storedEmployees(copied), stored);
        run = admin(site, QStringList {QStringLiteral("employees"), QStringLiteral("import"), file} + way.importOptions);
        QCOMPARE(run.out, QStringLiteral("added 0, changed 0, unchanged 5, refused 0\n"));
    }
}

void TestCsvSafety::auditCsv()
{
    const QString site = newSite(QStringLiteral("audited"), {QStringLiteral("--rules")});
    RawFirebird db = attach(QStringLiteral("audited"));
    db.execute("INSERT INTO POS_DAY VALUES ('-1', '2026/12/07', '08:00:00', '', '', '=HYPERLINK(\"http://x.y\",\"z\")', '@c')");
    const auto run = admin(site, {QStringLiteral("audit"), QStringLiteral("--csv")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QStringList lines = run.out.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[1].endsWith(QStringLiteral(",INSERT,,'-1,,2026/12/07,,08:00:00,,,,,,\"'=HYPERLINK(\"\"http://x.y\"\",\"\"z\"\")\",,'@c")),
             qPrintable(lines[1]));
}

void TestCsvSafety::reportCsv()
{
    const QString site = newSite(QStringLiteral("reported"));
    RawFirebird db = attach(QStringLiteral("reported"));
    const std::string weekday = cp950(QStringLiteral("二"));
    const std::vector<std::vector<RawFirebird::Value>> rows = {
        {"-A1", "2024/03/05", "08:00:00", "17:00:00", weekday, "=HYPERLINK(\"http://x.y\",\"z\")", "+886"},
        {"A2", "2024/03/05", "08:00:00", "12:00:00", weekday, "\tTab", "@c"},
        {"A3", "2024/03/05", "13:00:00", "17:00:00", weekday, "\rCR", "'-3"},
    };
    db.executeEach("INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT, BILL_WEEK, EMPLOYEE_NAME, CARD_ID)"
                   " VALUES (?, ?, ?, ?, ?, ?, ?)",
                   rows);
    for (const auto& row : rows)
        db.executePrepared("INSERT INTO EMPLOYEE VALUES (?, ?, ?)", {row[0], row[5], row[6]});

    // The drivers file through a settings store of the report's own.
    QTemporaryDir settings;
    QDir().mkpath(settings.filePath(QStringLiteral("Kordane")));
    QVERIFY(test::writeTextFile(settings.filePath(QStringLiteral("Kordane/dbExpress.conf")),
                                QStringLiteral("[General]\nDriver Registry File=%1/dbxdrivers.ini\n").arg(site)));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), settings.path());
    const auto run = runTool(QStringLiteral("kordane-report"), {QStringLiteral("day"), QStringLiteral("2024/03/05"), QStringLiteral("--csv"), QStringLiteral("--connections"), site + QStringLiteral("/dbxconnections.ini")}, env);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("員工代號,姓名,卡號,星期,上班,下班,時數,備註\r\n"
                                     "'-A1,\"'=HYPERLINK(\"\"http://x.y\"\",\"\"z\"\")\",'+886,二,08:00:00,17:00:00,9:00,\r\n"
                                     "A2,'\tTab,'@c,二,08:00:00,12:00:00,4:00,\r\n"
                                     "A3,\"'\rCR\",''-3,二,13:00:00,17:00:00,4:00,\r\n"));
}

void TestCsvSafety::refusedTexts_data()
{
    QTest::addColumn<QByteArray>("line3"); // after a valid new employee
    QTest::addColumn<QString>("reason");
    const auto control = [](const char* column, const char* code) {
        return QStringLiteral("%1 holds a control character (U+%2)").arg(QLatin1String(column), QLatin1String(code));
    };
    QTest::newRow("NUL") << QByteArray("B1,a\0b,1\n", 9) << control("EMPLOYEE_NAME", "0000");
    QTest::newRow("line feed") << QByteArray("B1,\"a\nb\",1\n") << control("EMPLOYEE_NAME", "000A");
    QTest::newRow("tab") << QByteArray("B1,a,1\t2\n") << control("CARD_ID", "0009");
    QTest::newRow("escape") << QByteArray("B1\x1b,a,1\n") << control("EMPLOYEE_ID", "001B");
    QTest::newRow("DEL") << QByteArray("B1,a,\x7f\n") << control("CARD_ID", "007F");
    QTest::newRow("first C1") << QByteArray("B1,a\xc2\x80,1\n") << control("EMPLOYEE_NAME", "0080");
    QTest::newRow("last C1") << QByteArray("B1,a,\xc2\x9f\n") << control("CARD_ID", "009F");
    // The apostrophe that guards a formula comes off; what is left is still refused.
    QTest::newRow("guarded tab") << QByteArray("B1,'\tx,1\n") << control("EMPLOYEE_NAME", "0009");
    QTest::newRow("guarded carriage return") << QByteArray("B1,\"'\rx\",1\n") << control("EMPLOYEE_NAME", "000D");
    QTest::newRow("blank before a code") << QByteArray(" XF01,a,1\n") << QStringLiteral("EMPLOYEE_ID ' XF01' starts or ends with a blank");
    QTest::newRow("ideographic blank") << QStringLiteral("XF01\u3000,a,1\n").toUtf8() << QStringLiteral("EMPLOYEE_ID 'XF01\u3000' starts or ends with a blank");
}

// Refused with the line and the reason, and nothing written.
void TestCsvSafety::refusedTexts()
{
    QFETCH(QByteArray, line3);
    QFETCH(QString, reason);
    const QString site = dir_.filePath(QStringLiteral("refusing"));
    if (!QFile::exists(site))
        newSite(QStringLiteral("refusing"));
    const QString file = dir_.filePath(QStringLiteral("refused.csv"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(out.write(header.toUtf8() + "A1,ok,1\n" + line3) > 0);
    out.close();
    const auto run = admin(site, {QStringLiteral("employees"), QStringLiteral("import"), file});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QStringLiteral("added 1, changed 0, unchanged 0, refused 1\n"));
    QCOMPARE(run.err, QStringLiteral("line 3: ") + reason + QStringLiteral("\nkordane-admin: nothing written: 1 line refused\n"));
    RawFirebird db = attach(QStringLiteral("refusing"));
    QCOMPARE(db.query("SELECT COUNT(*) FROM EMPLOYEE")[0][0], std::optional<std::string>("0"));
}

// Blanks inside a code, at the ends of a name, and what lies just past the control ranges.
void TestCsvSafety::textsThatStay()
{
    const QString site = newSite(QStringLiteral("staying"));
    const QString file = dir_.filePath(QStringLiteral("staying.csv"));
    QVERIFY(test::writeTextFile(file, header + QStringLiteral("X F,\" 陳 \",~\nB1,°,\" \"\n")));
    const auto run = admin(site, {QStringLiteral("employees"), QStringLiteral("import"), file});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    RawFirebird db = attach(QStringLiteral("staying"));
    QCOMPARE(storedEmployees(db), (QByteArrayList {QByteArray("B1|") + QByteArray::fromStdString(cp950(QStringLiteral("°"))) + "| ", QByteArray("X F| ") + QByteArray::fromStdString(cp950(QStringLiteral("陳"))) + " |~"}));
}

QTEST_GUILESS_MAIN(TestCsvSafety)
#include "tst_csvsafety.moc"
