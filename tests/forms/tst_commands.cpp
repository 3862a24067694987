// The employee lookup and the add / modify / delete commands, in the real window
// against an embedded database, with every dialog answered by key.
#include "data/resultset/ClientDataSet.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/FieldEntry.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/WindowFixture.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QTest>

using namespace kordane;
using kordane::test::click;
using kordane::test::fill;
using kordane::test::WindowFixture;

namespace {

using Answers = kordane::test::DialogAnswers;

const std::string today = QDate(2026, 12, 7).toString(QStringLiteral("yyyy/MM/dd")).toStdString();

} // namespace

class TestCommands : public QObject {
    Q_OBJECT
private slots:
    void lookupFillsFromRecord();
    void lookupFillsFromEmployee();
    void lookupUnknownCode();
    void lookupEmptyCodeDoesNothing();
    void addAndDuplicate();
    void refusalsInOrder_data();
    void refusalsInOrder();
    void innerBlankRefusedWhenWritten();
    void noChangesNothing();
    void modifyReplacesOrAdds();
    void modifyKeepsOldRecordWhenInsertFails();
    void deleteRemovesAllAndClears();
    void quotesStoredExactly();
    void unencodableTextRefused();
};

namespace {

void seed(WindowFixture& f)
{
    f.db().raw().execute({
        "INSERT INTO EMPLOYEE VALUES ('E1', 'Amy', 'C1')",
        "INSERT INTO EMPLOYEE VALUES ('E2', 'Bob', 'C2')",
        "INSERT INTO POS_DAY VALUES ('E1', '" + today + "', '08:00:00', '17:00:00', '', 'Amy', 'C1')",
    });
}

std::string count(WindowFixture& f, const std::string& where = "1=1")
{
    return f.db().scalar("SELECT COUNT(*) FROM POS_DAY WHERE " + where).value_or("null");
}

} // namespace

void TestCommands::lookupFillsFromRecord()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    w.MaskEdit1->assignText(QString::fromStdString(today));
    w.Edit7->setText(QStringLiteral("一"));
    w.Edit1->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(w.Edit1, QStringLiteral("E1"));
    QTest::keyClick(w.Edit1, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), w.MaskEdit2);
    QCOMPARE(w.MaskEdit2->fieldText(), QStringLiteral("08:00:00"));
    QCOMPARE(w.MaskEdit3->fieldText(), QStringLiteral("17:00:00"));
    QCOMPARE(w.Edit5->text(), QStringLiteral("Amy"));
    QCOMPARE(w.Edit6->text(), QStringLiteral("C1"));
    QCOMPARE(w.Edit7->text(), QStringLiteral("一")); // BILL_WEEK empty: kept
    QCOMPARE(w.ClientDataSet1.recordCount(), 1);
    QVERIFY(f.errors().isEmpty());
}

void TestCommands::lookupFillsFromEmployee()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    fill(w, QString::fromStdString(today), QString(), QStringLiteral("09:00:00"), QString());
    w.Edit1->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(w.Edit1, QStringLiteral("E2"));
    QTest::keyClick(w.Edit1, Qt::Key_Tab);
    QCOMPARE(w.Edit5->text(), QStringLiteral("Bob"));
    QCOMPARE(w.Edit6->text(), QStringLiteral("C2"));
    QCOMPARE(w.MaskEdit2->fieldText(), QStringLiteral("09:00:00"));
    QVERIFY(w.ClientDataSet1.active());
    QCOMPARE(w.ClientDataSet1.recordCount(), 0);
}

void TestCommands::lookupUnknownCode()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    w.Edit5->setText(QStringLiteral("old"));
    w.Edit7->setText(QStringLiteral("一"));
    w.Edit1->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(w.Edit1, QStringLiteral("NOPE"));
    Answers answers({QStringLiteral("Enter")});
    QTest::keyClick(w.Edit1, Qt::Key_Return);
    QCOMPARE(answers.texts(), QStringList {QStringLiteral("人員代號錯誤!")});
    QCOMPARE(w.Edit1->text(), QString());
    QCOMPARE(w.Edit5->text(), QString());
    QCOMPARE(w.Edit6->text(), QString());
    QCOMPARE(w.Edit7->text(), QStringLiteral("一"));
    f.reactivate();
    QTRY_COMPARE(QApplication::focusWidget(), w.Edit1);
}

void TestCommands::lookupEmptyCodeDoesNothing()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    w.MaskEdit1->assignText(QString::fromStdString(today));
    click(w.SpeedButton2);
    QCOMPARE(w.ClientDataSet1.recordCount(), 1);
    w.Edit1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.Edit1, Qt::Key_Return);
    QCOMPARE(w.ClientDataSet1.recordCount(), 1);
    QVERIFY(f.errors().isEmpty());
}

void TestCommands::addAndDuplicate()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    fill(w, QString::fromStdString(today), QStringLiteral("E2"), QStringLiteral("09:00:00"), QStringLiteral("18:00:00"));
    w.Edit5->setText(QStringLiteral("Bob"));
    w.Edit6->setText(QStringLiteral("C2"));
    {
        Answers answers({QStringLiteral("Y")});
        click(w.SpeedButton3);
        QCOMPARE(answers.texts(), QStringList {QStringLiteral("確定要新增資料?")});
    }
    QCOMPARE(count(f, "EMPLOYEE_ID = 'E2'"), std::string("1"));
    // 2026/12/07 is a Monday: its two Big5 bytes went in.
    QCOMPARE(f.db().scalar("SELECT BILL_WEEK FROM POS_DAY WHERE EMPLOYEE_ID = 'E2'"), std::optional<std::string>("\xA4\x40"));
    {
        Answers answers({QStringLiteral("Enter")});
        click(w.SpeedButton3);
        QCOMPARE(answers.texts(), QStringList {QStringLiteral("修改功能無效..!")});
    }
    QCOMPARE(count(f, "EMPLOYEE_ID = 'E2'"), std::string("1"));
    QVERIFY(f.errors().isEmpty());
}

void TestCommands::refusalsInOrder_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("weekday");
    const QString d = QString::fromStdString(today);
    QTest::newRow("empty date") << ""
                                << ""
                                << ""
                                << ""
                                << "日期格式錯誤..!"
                                << "";
    QTest::newRow("empty code") << d << ""
                                << ""
                                << ""
                                << "人員代號不可空白..!"
                                << "一";
    QTest::newRow("short time in") << d << "E2"
                                   << "8:00"
                                   << "17:00:00"
                                   << "日期格式錯誤..!"
                                   << "一";
    QTest::newRow("short time out") << d << "E2"
                                    << "08:00:00"
                                    << ""
                                    << "日期格式錯誤..!"
                                    << "一";
}

void TestCommands::refusalsInOrder()
{
    QFETCH(QString, date);
    QFETCH(QString, code);
    QFETCH(QString, in);
    QFETCH(QString, out);
    QFETCH(QString, message);
    QFETCH(QString, weekday);
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    for (SpeedButton* button : {w.SpeedButton3, w.SpeedButton1, w.SpeedButton4}) {
        fill(w, date, code, in, out);
        w.Edit7->clear();
        Answers answers({QStringLiteral("Escape")});
        click(button);
        QCOMPARE(answers.texts(), QStringList {message});
        QCOMPARE(w.Edit7->text(), button == w.SpeedButton4 ? QString() : weekday);
    }
    QCOMPARE(count(f), std::string("1"));
    QVERIFY(f.errors().isEmpty());
}

// Typed as a clerk would: a blank left inside a date or a time is refused by add and modify
// before anything is written; delete still runs with it, to reach such stored records.
void TestCommands::innerBlankRefusedWhenWritten()
{
    WindowFixture f;
    seed(f);
    f.db().raw().execute("INSERT INTO POS_DAY VALUES ('E1', '2026/1 /07', '08:00:00', '17:00:00', '', 'Amy', 'C1')");
    TFormKordane& w = f.shownWindow();
    const auto typeInto = [&](MaskedEdit* edit, const char* keys) {
        edit->setFocus(Qt::OtherFocusReason);
        edit->assignText(QString());
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClicks(edit, QString::fromLatin1(keys));
    };
    fill(w, QString::fromStdString(today), QStringLiteral("E2"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00"));
    typeInto(w.MaskEdit1, "20261/07");
    QCOMPARE(w.MaskEdit1->fieldText(), QStringLiteral("2026/1 /07"));
    w.Edit1->setText(QStringLiteral("E1"));
    for (SpeedButton* button : {w.SpeedButton3, w.SpeedButton1}) {
        w.Edit7->clear();
        Answers answers({QStringLiteral("Escape")});
        click(button);
        QCOMPARE(answers.texts(), QStringList {QStringLiteral("日期格式錯誤..!")});
        QCOMPARE(w.Edit7->text(), QString()); // refused before the weekday is written
    }
    w.MaskEdit1->assignText(QString::fromStdString(today));
    typeInto(w.MaskEdit2, "080:00");
    QCOMPARE(w.MaskEdit2->fieldText(), QStringLiteral("08:0 :00"));
    for (SpeedButton* button : {w.SpeedButton3, w.SpeedButton1}) {
        Answers answers({QStringLiteral("Escape")});
        click(button);
        QCOMPARE(answers.texts(), QStringList {QStringLiteral("日期格式錯誤..!")});
    }
    QCOMPARE(count(f), std::string("2"));
    // Delete reaches the stored record with the blank inside its date.
    w.MaskEdit1->assignText(QStringLiteral("2026/1 /07"));
    w.MaskEdit2->assignText(QStringLiteral("08:00:00"));
    Answers answers({QStringLiteral("Y"), QStringLiteral("N")});
    click(w.SpeedButton4);
    QCOMPARE(answers.texts().size(), 2);
    QCOMPARE(count(f), std::string("1"));
    QVERIFY(f.errors().isEmpty());
}

void TestCommands::noChangesNothing()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    fill(w, QString::fromStdString(today), QStringLiteral("E1"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00"));
    for (SpeedButton* button : {w.SpeedButton1, w.SpeedButton4}) {
        Answers answers({QStringLiteral("N")});
        click(button);
        QCOMPARE(answers.texts().size(), 1);
    }
    fill(w, QString::fromStdString(today), QStringLiteral("E2"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00"));
    Answers answers({QStringLiteral("Close")});
    click(w.SpeedButton3);
    QCOMPARE(count(f), std::string("1"));
}

void TestCommands::modifyReplacesOrAdds()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    fill(w, QString::fromStdString(today), QStringLiteral("E1"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00"));
    w.Edit5->setText(QStringLiteral("Amy Lee"));
    w.Edit6->setText(QStringLiteral("C9"));
    {
        Answers answers({QStringLiteral("Y")});
        click(w.SpeedButton1);
        QCOMPARE(answers.texts(), QStringList {QStringLiteral("是否要修改原資料?")});
    }
    QCOMPARE(count(f), std::string("1"));
    QCOMPARE(f.db().scalar("SELECT EMPLOYEE_NAME || '/' || CARD_ID FROM POS_DAY"), std::optional<std::string>("Amy Lee/C9"));
    // A changed time adds a record and keeps the old one.
    w.MaskEdit3->assignText(QStringLiteral("18:00:00"));
    Answers answers({QStringLiteral("Y")});
    click(w.SpeedButton1);
    QCOMPARE(count(f), std::string("2"));
}

void TestCommands::modifyKeepsOldRecordWhenInsertFails()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    fill(w, QString::fromStdString(today), QStringLiteral("E1"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00"));
    w.Edit5->setText(QString(60, QLatin1Char('x'))); // wider than the column
    Answers answers({QStringLiteral("Y")});
    click(w.SpeedButton1);
    QCOMPARE(f.errors().size(), 1);
    QCOMPARE(count(f, "EMPLOYEE_ID = 'E1'"), std::string("1"));
    QCOMPARE(f.db().scalar("SELECT EMPLOYEE_NAME FROM POS_DAY"), std::optional<std::string>("Amy"));
}

void TestCommands::deleteRemovesAllAndClears()
{
    WindowFixture f;
    seed(f);
    f.db().raw().execute("INSERT INTO POS_DAY VALUES ('E1', '" + today + "', '08:00:00', '17:00:00', '', 'Amy', 'C1')");
    TFormKordane& w = f.shownWindow();
    fill(w, QString::fromStdString(today), QStringLiteral("E1"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00"));
    w.Edit7->setText(QStringLiteral("一"));
    {
        Answers answers({QStringLiteral("Y"), QStringLiteral("N")});
        click(w.SpeedButton4);
        QCOMPARE(answers.texts(), (QStringList {QStringLiteral("確定要刪除資料?"), QStringLiteral("要清畫面嗎?")}));
    }
    QCOMPARE(count(f), std::string("0"));
    QCOMPARE(w.Edit1->text(), QStringLiteral("E1"));
    // Nothing matches now: the same questions, no error, and this time the window clears.
    Answers answers({QStringLiteral("Y"), QStringLiteral("Y")});
    click(w.SpeedButton4);
    QCOMPARE(answers.texts().size(), 2);
    QCOMPARE(w.MaskEdit1->fieldText(), QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd")));
    for (LineEdit* e : {w.Edit1, w.Edit5, w.Edit6, w.Edit7})
        QCOMPARE(e->text(), QString());
    QCOMPARE(w.MaskEdit2->fieldText(), QStringLiteral("  :  :  "));
    f.reactivate();
    QCOMPARE(QApplication::focusWidget(), w.MaskEdit1);
    QVERIFY(f.errors().isEmpty());
}

void TestCommands::quotesStoredExactly()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    const QString code = QStringLiteral("O'Neil' OR '1'='1");
    fill(w, QString::fromStdString(today), code, QStringLiteral("08:00:00"), QStringLiteral("17:00:00"));
    Answers add({QStringLiteral("Y")});
    click(w.SpeedButton3);
    QCOMPARE(count(f), std::string("2"));
    QCOMPARE(count(f, "EMPLOYEE_ID = 'O''Neil'' OR ''1''=''1'"), std::string("1"));
    // Found again by the lookup, removed alone by the delete.
    f.reactivate();
    w.MaskEdit2->assignText(QString());
    w.Edit1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.Edit1, Qt::Key_Tab);
    QCOMPARE(w.MaskEdit2->fieldText(), QStringLiteral("08:00:00"));
    Answers remove({QStringLiteral("Y"), QStringLiteral("N")});
    click(w.SpeedButton4);
    QCOMPARE(count(f), std::string("1"));
    QCOMPARE(count(f, "EMPLOYEE_ID = 'E1'"), std::string("1"));
    QVERIFY(f.errors().isEmpty());
}

void TestCommands::unencodableTextRefused()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    fill(w, QString::fromStdString(today), QStringLiteral("E\u00e9\U0001F600"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00"));
    Answers answers({QStringLiteral("Y")});
    click(w.SpeedButton3);
    QCOMPARE(f.errors().size(), 1);
    QCOMPARE(count(f), std::string("1"));
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
