// A closed pay period met through the real window on an embedded database: an add, a
// modify, a delete and a grid removal of a record dated in it are refused with the
// server's text through the error display, and nothing changes; a date outside it takes
// them all; the start-up backfill still names a record in it.
#define QTEST_QPA_MOUSE_HANDLING
#include "tests/support/DialogAnswers.h"
#include "tests/support/FieldEntry.h"
#include "tests/support/GridActions.h"
#include "tests/support/WindowFixture.h"
#include "tools/admin/SiteParts.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QTest>

using namespace kordane;
using kordane::test::click;
using kordane::test::fill;
using kordane::test::WindowFixture;
using Answers = kordane::test::DialogAnswers;

namespace {

// The days before today are closed, today is open: the backfill looks back 35 days.
const QDate today = QDate::currentDate();
const QString closedDay = today.addDays(-2).toString(QStringLiteral("yyyy/MM/dd"));
const QString openDay = today.toString(QStringLiteral("yyyy/MM/dd"));

QString refusal(const QString& date)
{
    return QStringLiteral("INI_DATE %1 is in the pay period %2 to %3, which is closed: its records cannot be added, changed or removed")
        .arg(date, today.addDays(-20).toString(QStringLiteral("yyyy/MM/dd")), today.addDays(-1).toString(QStringLiteral("yyyy/MM/dd")));
}

// The period part on the test's database, the days before today closed, and a record
// stored on a closed day (with no name) and one on today.
void closeRecentDays(WindowFixture& f)
{
    RawFirebird& db = f.db().raw();
    db.execute({"INSERT INTO EMPLOYEE VALUES ('E1', 'Amy', 'C1')", "INSERT INTO EMPLOYEE VALUES ('E2', 'Bob', 'C2')",
                "INSERT INTO POS_DAY VALUES ('E1', '" + closedDay.toStdString() + "', '08:00:00', '17:00:00', '', NULL, 'C1')",
                "INSERT INTO POS_DAY VALUES ('E1', '" + openDay.toStdString() + "', '08:00:00', '17:00:00', '', 'Amy', 'C1')"});
    admin::addMissingParts(db, TextCodec(QString()));
    db.executePrepared("INSERT INTO PAY_PERIOD_CLOSED VALUES (?, ?, CURRENT_USER, CURRENT_TIMESTAMP)",
                       {today.addDays(-20).toString(Qt::ISODate).toStdString(), today.addDays(-1).toString(Qt::ISODate).toStdString()});
}

std::string count(WindowFixture& f, const QString& date)
{
    return f.db().scalar("SELECT COUNT(*) FROM POS_DAY WHERE INI_DATE = '" + date.toStdString() + "'").value_or("null");
}

} // namespace

class TestPeriodLock : public QObject {
    Q_OBJECT
private slots:
    void commandsOnAClosedDay();
    void gridOnAClosedDay();
};

void TestPeriodLock::commandsOnAClosedDay()
{
    WindowFixture f;
    closeRecentDays(f);
    TFormKordane& w = f.shownWindow();
    // The backfill named the record on the closed day all the same.
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
    QCOMPARE(f.db().scalar("SELECT EMPLOYEE_NAME FROM POS_DAY WHERE INI_DATE = '" + closedDay.toStdString() + "'"), std::optional<std::string>("Amy"));

    struct Case {
        const char* what;
        SpeedButton* button;
        QStringList answers;
        QString code;
    };
    const Case cases[] = {
        {"add", w.SpeedButton3, {QStringLiteral("Y")}, QStringLiteral("E2")},
        {"modify", w.SpeedButton1, {QStringLiteral("Y")}, QStringLiteral("E1")},
        {"delete", w.SpeedButton4, {QStringLiteral("Y"), QStringLiteral("N")}, QStringLiteral("E1")},
    };
    for (const Case& c : cases) {
        for (const QString& date : {closedDay, openDay}) {
            f.clearErrors();
            const std::string before = count(f, date);
            fill(w, date, c.code, QStringLiteral("08:00:00"), QStringLiteral("17:00:00"));
            w.Edit5->setText(QStringLiteral("Name"));
            {
                Answers answers(c.answers);
                click(c.button);
            }
            if (date == closedDay) {
                QVERIFY2(f.errors().size() == 1, c.what);
                QVERIFY2(f.errors()[0].contains(refusal(closedDay)), qPrintable(f.errors()[0]));
                QCOMPARE(count(f, date), before);
            } else {
                QVERIFY2(f.errors().isEmpty(), qPrintable(QString::fromLatin1(c.what) + u' ' + f.errors().join(u'\n')));
            }
            f.reactivate();
        }
    }
    // The record on the closed day is as it was; today's was added, modified and deleted.
    QCOMPARE(f.db().raw().query("SELECT EMPLOYEE_ID, TIME_IN, EMPLOYEE_NAME FROM POS_DAY WHERE INI_DATE = '" + closedDay.toStdString() + "'"),
             (std::vector<RawFirebird::Row> {{"E1", "08:00:00", "Amy"}}));
    QCOMPARE(f.db().raw().query("SELECT EMPLOYEE_ID FROM POS_DAY WHERE INI_DATE = '" + openDay.toStdString() + "'"),
             (std::vector<RawFirebird::Row> {{"E2"}}));
}

void TestPeriodLock::gridOnAClosedDay()
{
    WindowFixture f;
    closeRecentDays(f);
    RawFirebird& db = f.db().raw();
    db.executeEach("INSERT INTO POS_DAY VALUES (?, ?, '09:00:00', '18:00:00', '', 'Bob', 'C2')", {{"E2", openDay.toStdString()}, {"E3", openDay.toStdString()}});
    TFormKordane& w = f.shownWindow();
    for (const QString& date : {closedDay, openDay}) {
        w.MaskEdit1->assignText(date);
        click(w.SpeedButton2);
        f.clearErrors();
        const std::string before = count(f, date);
        test::removeRow(w, 0, QStringLiteral("Y"));
        if (date == closedDay) {
            QCOMPARE(f.errors().size(), 1);
            QVERIFY2(f.errors()[0].contains(refusal(closedDay)), qPrintable(f.errors()[0]));
            QCOMPARE(count(f, date), before);
        } else {
            QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
            QCOMPARE(count(f, date), std::to_string(std::stoi(before) - 1));
        }
        f.reactivate();
    }
    // A record moved into the closed period by a grid edit is refused too, and the removal
    // sent with it.
    w.MaskEdit1->assignText(openDay);
    click(w.SpeedButton2);
    f.clearErrors();
    QVERIFY(test::typeIntoCell(w, 0, 1, closedDay));
    test::removeRow(w, w.ClientDataSet1.recordCount() - 1, QStringLiteral("Y"));
    QCOMPARE(f.errors().size(), 1);
    QVERIFY2(f.errors()[0].contains(refusal(closedDay)), qPrintable(f.errors()[0]));
    QCOMPARE(count(f, openDay), std::string("2"));
    QCOMPARE(count(f, closedDay), std::string("1"));
}

QTEST_MAIN(TestPeriodLock)
#include "tst_periodlock.moc"
