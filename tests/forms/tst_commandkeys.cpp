// The function keys of the four commands and the names the controls give a screen
// reader, in the real window against an embedded database, with real key events.
#define QTEST_QPA_MOUSE_HANDLING
#include "tests/support/DialogAnswers.h"
#include "tests/support/WindowFixture.h"
#include "widgets/DataGrid.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QAccessible>
#include <QTest>

#include <tuple>

using namespace kordane;
using kordane::test::WindowFixture;
using Answers = kordane::test::DialogAnswers;

namespace {

const QString day = QStringLiteral("2026/12/07");

void seed(WindowFixture& f)
{
    f.db().raw().execute({
        "INSERT INTO EMPLOYEE VALUES ('E2', 'Bob', 'C2')",
        "INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '08:00:00', '17:00:00', '', 'Amy', 'C1')",
        "INSERT INTO POS_DAY VALUES ('E3', '2026/12/08', '08:00:00', '17:00:00', '', 'Cy', 'C3')",
    });
}

// A record that is not stored yet: add passes its duplicate check.
void fillNewRecord(TFormKordane& w)
{
    w.MaskEdit1->assignText(day);
    w.Edit1->setText(QStringLiteral("E2"));
    w.MaskEdit2->assignText(QStringLiteral("09:00:00"));
    w.MaskEdit3->assignText(QStringLiteral("18:00:00"));
}

void press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }

std::string count(WindowFixture& f, const std::string& where = "1=1")
{
    return f.db().scalar("SELECT COUNT(*) FROM POS_DAY WHERE " + where).value_or("null");
}

} // namespace

class TestCommandKeys : public QObject {
    Q_OBJECT
private slots:
    void eachKeyFromEveryFieldAndTheGrid();
    void keyLeavesFocusAndLeaveHandlersAlone();
    void incompleteMaskedFieldAsTheButton();
    void keysDoNothingInCellEditor();
    void tooltipsAndAccessibleNames();
};

void TestCommandKeys::eachKeyFromEveryFieldAndTheGrid()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    const std::pair<Qt::Key, QString> questions[] = {{Qt::Key_F6, QStringLiteral("是否要修改原資料?")},
                                                     {Qt::Key_F7, QStringLiteral("確定要新增資料?")},
                                                     {Qt::Key_F8, QStringLiteral("確定要刪除資料?")}};
    for (QWidget* origin : std::initializer_list<QWidget*> {w.MaskEdit1, w.Edit1, w.MaskEdit2, w.MaskEdit3, w.DBGrid1,
                                                            w.Edit5, w.Edit6, w.Edit7}) {
        origin->setFocus(origin == w.DBGrid1 ? Qt::TabFocusReason : Qt::MouseFocusReason);
        QCOMPARE(QApplication::focusWidget(), origin);
        fillNewRecord(w);
        w.ClientDataSet1.close();
        press(Qt::Key_F5);
        QVERIFY2(w.ClientDataSet1.active(), qPrintable(origin->objectName()));
        QCOMPARE(w.ClientDataSet1.recordCount(), 1);
        QCOMPARE(QApplication::focusWidget(), origin);
        for (const auto& [key, question] : questions) {
            Answers answers({QStringLiteral("N")});
            press(key);
            QCOMPARE(answers.texts(), QStringList {question});
            f.reactivate();
            QCOMPARE(QApplication::focusWidget(), origin);
        }
    }
    QCOMPARE(count(f), std::string("2"));
    QVERIFY(f.errors().isEmpty());
}

// Typed texts are taken as they stand: neither the lookup of the employee field nor the
// weekday of the date field runs, as with a click on the button.
void TestCommandKeys::keyLeavesFocusAndLeaveHandlersAlone()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    fillNewRecord(w);
    w.Edit1->clear();
    w.Edit1->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(w.Edit1, QStringLiteral("E2"));
    {
        Answers answers({QStringLiteral("Y")});
        press(Qt::Key_F7);
        QCOMPARE(answers.texts(), QStringList {QStringLiteral("確定要新增資料?")});
    }
    QCOMPARE(count(f, "EMPLOYEE_ID = 'E2' AND EMPLOYEE_NAME = ''"), std::string("1"));
    QCOMPARE(w.Edit5->text(), QString());
    QVERIFY(!w.ClientDataSet1.active());
    f.reactivate();
    QCOMPARE(QApplication::focusWidget(), w.Edit1);

    w.MaskEdit1->setFocus(Qt::TabFocusReason);
    w.Edit7->clear();
    QTest::keyClicks(w.MaskEdit1, QStringLiteral("20261208"));
    press(Qt::Key_F5);
    QCOMPARE(w.ClientDataSet1.recordCount(), 1);
    QCOMPARE(w.ClientDataSet1.cellText(0, 0), QStringLiteral("E3"));
    QCOMPARE(w.Edit7->text(), QString());
    QCOMPARE(QApplication::focusWidget(), w.MaskEdit1);
    QVERIFY(w.MaskEdit1->isModifiedMark());
    QVERIFY(f.errors().isEmpty());
}

// No mask check runs: each command reads the half-typed date as the button does.
void TestCommandKeys::incompleteMaskedFieldAsTheButton()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    const QStringList refused {QStringLiteral("日期格式錯誤..!")};
    const std::tuple<Qt::Key, SpeedButton*, QStringList> commands[] = {{Qt::Key_F5, w.SpeedButton2, {}},
                                                                       {Qt::Key_F6, w.SpeedButton1, refused},
                                                                       {Qt::Key_F7, w.SpeedButton3, refused},
                                                                       {Qt::Key_F8, w.SpeedButton4, refused}};
    for (const auto& [key, button, expected] : commands) {
        QStringList shown[2]; // by the key, by the button
        for (int way : {0, 1}) {
            fillNewRecord(w);
            w.MaskEdit1->assignText(QString());
            w.MaskEdit1->setFocus(Qt::TabFocusReason);
            QTest::keyClicks(w.MaskEdit1, QStringLiteral("20"));
            w.ClientDataSet1.close();
            Answers answers({QStringLiteral("Enter")});
            if (way == 0)
                press(key);
            else
                QTest::mouseClick(button, Qt::LeftButton);
            shown[way] = answers.texts();
            f.reactivate();
            QCOMPARE(QApplication::focusWidget(), w.MaskEdit1);
            QCOMPARE(w.MaskEdit1->fieldText(), QStringLiteral("20  /  /  "));
            QVERIFY(w.MaskEdit1->isModifiedMark());
            // The view reads the date as it stands and finds nothing.
            QCOMPARE(w.ClientDataSet1.active(), key == Qt::Key_F5);
        }
        QCOMPARE(shown[0], expected);
        QCOMPARE(shown[1], shown[0]);
    }
    QCOMPARE(count(f), std::string("2"));
    QVERIFY(f.errors().isEmpty());
}

void TestCommandKeys::keysDoNothingInCellEditor()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    fillNewRecord(w);
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    const QModelIndex first = w.DBGrid1->model()->index(0, 0);
    QTest::mouseClick(w.DBGrid1->viewport(), Qt::LeftButton, {}, w.DBGrid1->visualRect(first).center());
    QVERIFY(w.DBGrid1->editorOpen());
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(editor != w.DBGrid1 && w.DBGrid1->isAncestorOf(editor));
    w.MaskEdit1->assignText(QStringLiteral("2026/12/08"));
    for (Qt::Key key : {Qt::Key_F5, Qt::Key_F6, Qt::Key_F7, Qt::Key_F8}) {
        Answers answers({QStringLiteral("Y"), QStringLiteral("Y")});
        press(key);
        QVERIFY(answers.texts().isEmpty());
        QVERIFY(w.DBGrid1->editorOpen());
        QCOMPARE(QApplication::focusWidget(), editor);
    }
    QCOMPARE(w.ClientDataSet1.cellText(0, 0), QStringLiteral("E1"));
    QCOMPARE(count(f), std::string("2"));
    // Closed again, the grid hands the key on.
    press(Qt::Key_Escape);
    QCOMPARE(QApplication::focusWidget(), w.DBGrid1);
    press(Qt::Key_F5);
    QCOMPARE(w.ClientDataSet1.cellText(0, 0), QStringLiteral("E3"));
    QVERIFY(f.errors().isEmpty());
}

void TestCommandKeys::tooltipsAndAccessibleNames()
{
    WindowFixture f;
    TFormKordane& w = f.shownWindow();
    QCOMPARE(w.SpeedButton2->toolTip(), QStringLiteral("檢視 (F5)"));
    QCOMPARE(w.SpeedButton1->toolTip(), QStringLiteral("修改存檔 (F6)"));
    QCOMPARE(w.SpeedButton3->toolTip(), QStringLiteral("新增存檔 (F7)"));
    QCOMPARE(w.SpeedButton4->toolTip(), QStringLiteral("刪除資料 (F8)"));
    const std::pair<QWidget*, QString> names[] = {
        {w.MaskEdit1, QStringLiteral("日期")}, {w.Edit1, QStringLiteral("人員")}, {w.MaskEdit2, QStringLiteral("上班")}, {w.MaskEdit3, QStringLiteral("下班")}, {w.Edit7, QStringLiteral("星期")}, {w.Edit5, QStringLiteral("姓名")}, {w.Edit6, QStringLiteral("卡號")}, {w.DBGrid1, QStringLiteral("出勤資料")}, {w.SpeedButton2, QStringLiteral("檢視")}, {w.SpeedButton1, QStringLiteral("修改存檔")}, {w.SpeedButton3, QStringLiteral("新增存檔")}, {w.SpeedButton4, QStringLiteral("刪除資料")}};
    for (const auto& [widget, name] : names) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), name);
    }
}

QTEST_MAIN(TestCommandKeys)
#include "tst_commandkeys.moc"
