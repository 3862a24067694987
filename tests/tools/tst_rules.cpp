// The database's own rules and audit trail, met through the real window on an embedded
// database: each rule refuses a write (the server's text reaching the error display) and
// takes a good one; records stored before the rules still start; every kind of write the
// window makes leaves its audit entry.
#define QTEST_QPA_MOUSE_HANDLING
#include "tests/support/DialogAnswers.h"
#include "tests/support/GridActions.h"
#include "tests/support/WindowFixture.h"
#include "tools/admin/Rules.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QTest>

using namespace kordane;
using kordane::test::WindowFixture;
using Answers = kordane::test::DialogAnswers;

namespace {

const std::string day = "2026/12/07"; // a Monday

void fill(TFormKordane& w, const std::string& date, const QString& code, const QString& in, const QString& out)
{
    w.MaskEdit1->assignText(QString::fromStdString(date));
    w.Edit1->setText(code);
    w.MaskEdit2->assignText(in);
    w.MaskEdit3->assignText(out);
}

void click(SpeedButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

void withRules(WindowFixture& f)
{
    f.db().raw().execute({"INSERT INTO EMPLOYEE VALUES ('E1', 'Amy', 'C1')", "INSERT INTO EMPLOYEE VALUES ('E2', 'Bob', 'C2')"});
    QVERIFY(admin::installRules(f.db().raw(), TextCodec(QString()))); // with the unique key
}

std::string count(WindowFixture& f, const std::string& where = "1=1")
{
    return f.db().scalar("SELECT COUNT(*) FROM POS_DAY WHERE " + where).value_or("null");
}

// The audit entries from `first` on, a line each: action, then the values before and after.
QStringList audit(WindowFixture& f, int first = 1)
{
    QStringList lines;
    const auto rows = f.db().raw().query(
        "SELECT ACTION, OLD_EMPLOYEE_ID, OLD_INI_DATE, OLD_TIME_IN, OLD_TIME_OUT, OLD_EMPLOYEE_NAME,"
        " NEW_EMPLOYEE_ID, NEW_INI_DATE, NEW_TIME_IN, NEW_TIME_OUT, NEW_EMPLOYEE_NAME FROM POS_DAY_AUDIT WHERE AUDIT_ID >= "
        + std::to_string(first) + " ORDER BY AUDIT_ID");
    for (const auto& row : rows) {
        QStringList cells;
        for (const auto& value : row)
            cells << (value ? QString::fromStdString(*value) : QStringLiteral("-"));
        lines << cells.join(u' ');
    }
    return lines;
}

} // namespace

class TestRules : public QObject {
    Q_OBJECT
private slots:
    void timesThroughTheCommands();
    void dateAndWeekdayThroughTheGrid();
    void oldRecordsStillStart();
    void everyWriteAudited();
    void earlierTrailKept();
};

void TestRules::timesThroughTheCommands()
{
    WindowFixture f;
    // Stored before the rules, and breaking one.
    f.db().raw().execute("INSERT INTO POS_DAY VALUES ('E1', '" + day + "', '08:00:00', '24:00:00', '', 'Amy', 'C1')");
    withRules(f);
    TFormKordane& w = f.shownWindow();
    struct Case {
        const char* in;
        const char* out;
        const char* refusal; // empty: taken
    };
    const Case cases[] = {
        {"25:61:00", "17:00:00", "TIME_IN must be a time HH:MM:SS from 00:00:00 to 23:59:59"},
        {"08:00:00", "23:60:00", "TIME_OUT must be a time HH:MM:SS from 00:00:00 to 23:59:59, or empty"},
        {"08:00:00", "17:00:00", ""},
        {"22:00:00", "06:00:00", ""}, // a spell that ends after midnight
    };
    int stored = 1;
    for (const Case& c : cases) {
        f.clearErrors();
        fill(w, day, QStringLiteral("E1"), QString::fromLatin1(c.in), QString::fromLatin1(c.out));
        Answers answers({QStringLiteral("Y")});
        click(w.SpeedButton3);
        if (*c.refusal) {
            QCOMPARE(f.errors().size(), 1);
            QVERIFY2(f.errors()[0].contains(QLatin1String(c.refusal)), qPrintable(f.errors()[0]));
        } else {
            QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
            ++stored;
        }
        QCOMPARE(count(f), std::to_string(stored));
        f.reactivate();
    }
    // A modify that the database refuses keeps the record it was to replace.
    f.clearErrors();
    fill(w, day, QStringLiteral("E1"), QStringLiteral("08:00:00"), QStringLiteral("24:00:00"));
    Answers answers({QStringLiteral("Y")});
    click(w.SpeedButton1);
    QCOMPARE(f.errors().size(), 1);
    QCOMPARE(count(f, "TIME_OUT = '24:00:00'"), std::string("1"));
}

void TestRules::dateAndWeekdayThroughTheGrid()
{
    WindowFixture f;
    f.db().raw().execute({
        "INSERT INTO POS_DAY VALUES ('E1', '" + day + "', '08:00:00', '17:00:00', '', 'Amy', 'C1')",
        "INSERT INTO POS_DAY VALUES ('E2', '" + day + "', '08:00:00', '17:00:00', '', 'Bob', 'C2')",
        "INSERT INTO POS_DAY VALUES ('E3', '" + day + "', '08:00:00', '17:00:00', '', 'Cy', 'C3')",
        "INSERT INTO POS_DAY VALUES ('E4', '" + day + "', '08:00:00', '17:00:00', '', 'Di', 'C4')",
        "INSERT INTO POS_DAY VALUES ('E5', '" + day + "', '08:00:00', '17:00:00', '', 'Ed', 'C5')",
    });
    withRules(f);
    TFormKordane& w = f.shownWindow();
    w.MaskEdit1->assignText(QString::fromStdString(day));
    // An edit in the grid goes to the database with the next removal, together.
    const auto apply = [&](int row, int column, const QString& text) {
        click(w.SpeedButton2);
        f.clearErrors();
        QVERIFY(test::typeIntoCell(w, row, column, text));
        test::removeRow(w, w.ClientDataSet1.recordCount() - 1, QStringLiteral("Y"));
    };
    const QString dateRule = QStringLiteral("INI_DATE must be a real date written YYYY/MM/DD");
    const QString weekdayRule = QStringLiteral("BILL_WEEK must be the weekday character of INI_DATE, or empty");
    for (const QString& date : {QStringLiteral("2026/02/29"), QStringLiteral("2026-12-07"), QStringLiteral("2026/12/32")}) {
        apply(0, 1, date);
        QCOMPARE(f.errors().size(), 1);
        QVERIFY2(f.errors()[0].contains(dateRule), qPrintable(f.errors()[0]));
        QCOMPARE(count(f), std::string("5"));
    }
    apply(0, 4, QStringLiteral("二"));
    QCOMPARE(f.errors().size(), 1);
    QVERIFY2(f.errors()[0].contains(weekdayRule), qPrintable(f.errors()[0]));
    QCOMPARE(count(f), std::string("5"));

    apply(0, 4, QStringLiteral("一"));
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
    QCOMPARE(f.db().scalar("SELECT BILL_WEEK FROM POS_DAY WHERE EMPLOYEE_ID = 'E1'"), std::optional<std::string>("\xA4\x40"));
    QCOMPARE(count(f), std::string("4"));
    apply(1, 1, QStringLiteral("2024/02/29")); // a leap day
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
    QCOMPARE(count(f, "INI_DATE = '2024/02/29'"), std::string("1"));
    // E1's weekday is Monday's: a new date must bring its own.
    apply(0, 1, QStringLiteral("2026/12/08"));
    QVERIFY2(f.errors().value(0).contains(weekdayRule), qPrintable(f.errors().join(u'\n')));
}

void TestRules::oldRecordsStillStart()
{
    WindowFixture f;
    const std::string recent = QDate::currentDate().addDays(-1).toString(QStringLiteral("yyyy/MM/dd")).toStdString();
    f.db().raw().execute({
        "INSERT INTO POS_DAY VALUES ('E1', '" + recent + "', '25:00:00', '', 'x', NULL, 'C1')",
        "INSERT INTO POS_DAY VALUES ('E2', '9999/99/99', '08:00:00', '17:00:00', '', '', 'C2')",
        "INSERT INTO POS_DAY VALUES ('E2', '" + recent + "', '08:00:00', '17:00:00', '', 'Bob', 'C2')",
    });
    const auto found = admin::ruleBreaches(f.db().raw(), TextCodec(QString()));
    QCOMPARE(found.size(), std::size_t(2));
    QCOMPARE(found[0].columns, (QStringList {QStringLiteral("TIME_IN"), QStringLiteral("BILL_WEEK")}));
    QCOMPARE(found[1].record.value(1), QStringLiteral("9999/99/99"));
    QCOMPARE(found[1].columns, (QStringList {QStringLiteral("INI_DATE")}));
    withRules(f);
    // The backfill names both, and is audited as any update.
    TFormKordane& w = f.shownWindow();
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
    QCOMPARE(w.MaskEdit1->fieldText(), QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd")));
    QCOMPARE(count(f, "EMPLOYEE_NAME IS NULL OR EMPLOYEE_NAME = ''"), std::string("0"));
    QCOMPARE(audit(f), (QStringList {QStringLiteral("UPDATE E1 %1 25:00:00  - E1 %1 25:00:00  Amy").arg(QString::fromStdString(recent)), QStringLiteral("UPDATE E2 9999/99/99 08:00:00 17:00:00  E2 9999/99/99 08:00:00 17:00:00 Bob")}));
    // Each entry of the backfill says when, who, from where, with which program and in
    // which transaction.
    const auto about = f.db().raw().query("SELECT CHANGED_AT, USER_NAME, CLIENT_ADDRESS, TRANSACTION_ID, CLIENT_PROCESS FROM POS_DAY_AUDIT ORDER BY AUDIT_ID");
    QCOMPARE(about.size(), std::size_t(2));
    for (const auto& row : about) {
        QVERIFY(row[0] && row[3]);
        QCOMPARE(row[1], std::optional<std::string>("SYSDBA"));
        QCOMPARE(row[2], std::optional<std::string>("embedded"));
        QCOMPARE(row[3], about[0][3]);
        QCOMPARE(row[4], std::optional<std::string>(QCoreApplication::applicationFilePath().toStdString()));
    }
    // Still refused when the write gives a checked column a value.
    f.db().raw().execute("UPDATE POS_DAY SET CARD_ID = 'C9' WHERE INI_DATE = '9999/99/99'");
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, f.db().raw().execute("UPDATE POS_DAY SET TIME_IN = '26:00:00' WHERE EMPLOYEE_ID = 'E1'"));
}

void TestRules::everyWriteAudited()
{
    WindowFixture f;
    withRules(f);
    f.db().raw().execute("INSERT INTO POS_DAY VALUES ('E1', '" + day + "', '08:00:00', '17:00:00', '', 'Amy', 'C1')");
    TFormKordane& w = f.shownWindow();
    const QString d = QString::fromStdString(day);
    QCOMPARE(audit(f).size(), 1);
    fill(w, day, QStringLiteral("E2"), QStringLiteral("09:00:00"), QStringLiteral("18:00:00"));
    w.Edit5->setText(QStringLiteral("Bob"));
    {
        Answers answers({QStringLiteral("Y")});
        click(w.SpeedButton3); // add
    }
    QCOMPARE(audit(f, 2), QStringList {QStringLiteral("INSERT - - - - - E2 %1 09:00:00 18:00:00 Bob").arg(d)});
    w.Edit5->setText(QStringLiteral("Bobby"));
    {
        Answers answers({QStringLiteral("Y")});
        click(w.SpeedButton1); // modify
    }
    QCOMPARE(audit(f, 3), (QStringList {QStringLiteral("DELETE E2 %1 09:00:00 18:00:00 Bob - - - - -").arg(d), QStringLiteral("INSERT - - - - - E2 %1 09:00:00 18:00:00 Bobby").arg(d)}));
    {
        Answers answers({QStringLiteral("Y"), QStringLiteral("N")});
        click(w.SpeedButton4); // delete
    }
    QCOMPARE(audit(f, 5), QStringList {QStringLiteral("DELETE E2 %1 09:00:00 18:00:00 Bobby - - - - -").arg(d)});
    f.db().raw().execute("INSERT INTO POS_DAY VALUES ('E2', '" + day + "', '09:00:00', '18:00:00', '', 'Bob', 'C2')");
    f.reactivate();
    click(w.SpeedButton2);
    QVERIFY(test::typeIntoCell(w, 0, 5, QStringLiteral("Zed"))); // grid edit
    test::removeRow(w, 1, QStringLiteral("Y")); // grid removal
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
    QCOMPARE(audit(f, 7), (QStringList {QStringLiteral("UPDATE E1 %1 08:00:00 17:00:00 Amy E1 %1 08:00:00 17:00:00 Zed").arg(d), QStringLiteral("DELETE E2 %1 09:00:00 18:00:00 Bob - - - - -").arg(d)}));

    // One transaction each for the modify and the grid's changes; who, where and when.
    const auto rows = f.db().raw().query("SELECT TRANSACTION_ID, USER_NAME, CLIENT_ADDRESS, CHANGED_AT FROM POS_DAY_AUDIT ORDER BY AUDIT_ID");
    QCOMPARE(rows.size(), std::size_t(8));
    QCOMPARE(rows[2][0], rows[3][0]);
    QCOMPARE(rows[6][0], rows[7][0]);
    QVERIFY(rows[4][0] != rows[6][0]);
    for (const auto& row : rows) {
        QCOMPARE(row[1], std::optional<std::string>("SYSDBA"));
        QCOMPARE(row[2], std::optional<std::string>("embedded"));
        QVERIFY(row[3].has_value());
    }
}

// A trail kept by an earlier install, whose entries were keyed: installing again drops the
// key, keeps every entry as it was, and goes on numbering after them.
void TestRules::earlierTrailKept()
{
    WindowFixture f;
    RawFirebird& db = f.db().raw();
    withRules(f);
    db.execute({"ALTER TABLE POS_DAY_AUDIT ADD CONSTRAINT POS_DAY_AUDIT_KEY PRIMARY KEY (AUDIT_ID)",
                "INSERT INTO POS_DAY VALUES ('E1', '" + day + "', '08:00:00', '', '', NULL, 'C1')",
                "UPDATE POS_DAY SET TIME_OUT = '17:00:00', EMPLOYEE_NAME = 'Amy'",
                "DELETE FROM POS_DAY"});
    const std::string everything = "SELECT * FROM POS_DAY_AUDIT ORDER BY AUDIT_ID";
    const auto before = db.query(everything);
    QCOMPARE(before.size(), std::size_t(3));
    const std::string keys = "SELECT COUNT(*) FROM RDB$RELATION_CONSTRAINTS WHERE RDB$RELATION_NAME = 'POS_DAY_AUDIT'"
                             " AND RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'";
    QCOMPARE(db.query(keys)[0][0], std::optional<std::string>("1"));
    for (int time = 0; time < 2; ++time) {
        admin::installRules(db, TextCodec(QString()));
        QCOMPARE(db.query(keys)[0][0], std::optional<std::string>("0"));
        QCOMPARE(db.query(everything), before);
    }
    db.execute("INSERT INTO POS_DAY VALUES ('E2', '" + day + "', '09:00:00', '', '', 'Bob', 'C2')");
    QCOMPARE(audit(f, 4), QStringList {QStringLiteral("INSERT - - - - - E2 %1 09:00:00  Bob").arg(QString::fromStdString(day))});
    QCOMPARE(db.query("SELECT COUNT(DISTINCT AUDIT_ID) FROM POS_DAY_AUDIT")[0][0], std::optional<std::string>("4"));
}

QTEST_MAIN(TestRules)
#include "tst_rules.moc"
