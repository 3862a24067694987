// The day grid in the real window: the view command, row-to-field copy, removal through
// the grid's menu and edits made in the grid, against an embedded database.
#define QTEST_QPA_MOUSE_HANDLING
#include "tests/support/DialogAnswers.h"
#include "tests/support/GridActions.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/WindowFixture.h"
#include "widgets/DataGrid.h"
#include "widgets/ErrorDisplay.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QHeaderView>
#include <QMenu>
#include <QTest>

using namespace kordane;
using kordane::test::clickCell;
using kordane::test::removeRow;
using kordane::test::whenModal;
using kordane::test::WindowFixture;

namespace {

const std::string day = "2026/12/07";

void seed(WindowFixture& f)
{
    f.db().raw().execute({
        "INSERT INTO POS_DAY VALUES ('E2', '" + day + "', '09:00:00', '18:00:00', '\xA4\x40', 'Bob', 'C2')",
        "INSERT INTO POS_DAY VALUES ('E1', '" + day + "', '08:00:00', '17:00:00', '', 'Amy', NULL)",
        "INSERT INTO POS_DAY VALUES ('E3', '2026/12/08', '08:00:00', '17:00:00', '', 'Cy', 'C3')",
    });
}

std::string rows(WindowFixture& f)
{
    return f.db().scalar("SELECT COUNT(*) FROM POS_DAY").value_or("null");
}

TFormKordane& viewed(WindowFixture& f)
{
    seed(f);
    TFormKordane& w = f.shownWindow();
    w.MaskEdit1->assignText(QString::fromStdString(day));
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    return w;
}

} // namespace

class TestGrid : public QObject {
    Q_OBJECT
private slots:
    void viewTitlesAndOrder();
    void viewOnEmptyMask();
    void clickRulesAfterLoad();
    void clickOnClosedGridReports();
    void removalThroughMenu();
    void menuOnEmptyGridDoesNothing();
    void gridEditLostOrWrittenWithRemoval();
    void movedColumnRestoredByView();
    void maskErrorStopsGridPress();
    void pressThatReloadsDoesNothing();
    void storedBytesComeBack();
    void failedRemovalIsSaid();
};

void TestGrid::viewTitlesAndOrder()
{
    WindowFixture f;
    TFormKordane& w = viewed(f);
    QCOMPARE(w.ClientDataSet1.recordCount(), 2);
    const QStringList titles = {QStringLiteral("員工代號"), QStringLiteral("日期"), QStringLiteral("上班時間"), QStringLiteral("下班時間"), QStringLiteral("星期"), QStringLiteral("員工姓名"), QStringLiteral("CARD_ID")};
    for (int c = 0; c < titles.size(); ++c)
        QCOMPARE(w.DBGrid1->model()->headerData(c, Qt::Horizontal).toString(), titles[c]);
    QCOMPARE(w.ClientDataSet1.cellText(0, 0), QStringLiteral("E1"));
    QCOMPARE(w.ClientDataSet1.cellText(1, 4), QStringLiteral("一"));
    QCOMPARE(QApplication::focusWidget(), w.PageControl1->tabBar());
    QVERIFY(f.errors().isEmpty());
}

void TestGrid::viewOnEmptyMask()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    w.MaskEdit1->assignText(QString());
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    QVERIFY(w.ClientDataSet1.active());
    QCOMPARE(w.ClientDataSet1.recordCount(), 0);
    QCOMPARE(w.DBGrid1->model()->rowCount(), 1); // the blank row under the titles
    // Clicking it copies empty values, Edit7 aside.
    w.Edit7->setText(QStringLiteral("一"));
    w.Edit1->setText(QStringLiteral("x"));
    clickCell(w, 0, 2);
    QCOMPARE(w.Edit1->text(), QString());
    QCOMPARE(w.MaskEdit2->fieldText(), QStringLiteral("  :  :  "));
    QCOMPARE(w.Edit7->text(), QStringLiteral("一"));
}

void TestGrid::clickRulesAfterLoad()
{
    WindowFixture f;
    TFormKordane& w = viewed(f);
    w.Edit7->setText(QStringLiteral("四"));
    clickCell(w, 0, 0); // the current cell: opens the editor, copies nothing
    QCOMPARE(w.Edit1->text(), QString());
    QVERIFY(w.DBGrid1->editorOpen());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    clickCell(w, 0, 2); // another column of the row: copies, BILL_WEEK empty keeps Edit7
    QCOMPARE(w.Edit1->text(), QStringLiteral("E1"));
    QCOMPARE(w.MaskEdit1->fieldText(), QString::fromStdString(day));
    QCOMPARE(w.MaskEdit3->fieldText(), QStringLiteral("17:00:00"));
    QCOMPARE(w.Edit6->text(), QString());
    QCOMPARE(w.Edit7->text(), QStringLiteral("四"));
    clickCell(w, 1, 3); // another row
    QCOMPARE(w.Edit1->text(), QStringLiteral("E2"));
    QCOMPARE(w.Edit7->text(), QStringLiteral("一"));
    w.Edit1->setText(QStringLiteral("typed"));
    clickCell(w, 1, 3); // the same cell again: the editor, nothing copied
    QCOMPARE(w.Edit1->text(), QStringLiteral("typed"));
    QVERIFY(f.errors().isEmpty());
}

void TestGrid::clickOnClosedGridReports()
{
    WindowFixture f;
    TFormKordane& w = f.shownWindow();
    w.Edit7->setText(QStringLiteral("一"));
    QTest::mouseClick(w.DBGrid1->viewport(), Qt::LeftButton, {}, QPoint(40, 30));
    // A closed set shows no data cell, so a click there is no cell click at all;
    // the handler itself reports the missing field and changes nothing.
    QVERIFY(f.errors().isEmpty());
    guarded([&] { w.DBGrid1CellClick(0); });
    QCOMPARE(w.Edit7->text(), QStringLiteral("一"));
    QCOMPARE(f.errors(), QStringList {QStringLiteral("ClientDataSet1: Field 'BILL_WEEK' not found.")});
}

void TestGrid::removalThroughMenu()
{
    WindowFixture f;
    TFormKordane& w = viewed(f);
    clickCell(w, 0, 2); // the fields hold E1's row
    removeRow(w, 1, QStringLiteral("N"));
    QCOMPARE(rows(f), std::string("3"));
    QCOMPARE(w.ClientDataSet1.recordCount(), 2);
    removeRow(w, 1, QStringLiteral("Y"));
    // The right-clicked row went, not the one in the fields.
    QCOMPARE(rows(f), std::string("2"));
    QCOMPARE(f.db().scalar("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_ID = 'E2'"), std::optional<std::string>("0"));
    QCOMPARE(w.ClientDataSet1.recordCount(), 1);
    QCOMPARE(w.Edit1->text(), QStringLiteral("E1"));
    QVERIFY(f.errors().isEmpty());
}

void TestGrid::menuOnEmptyGridDoesNothing()
{
    WindowFixture f;
    TFormKordane& w = f.shownWindow();
    bool asked = false;
    whenModal([&](QWidget* modal) { asked = true; kordane::test::play(modal, QStringLiteral("Escape")); }, 300);
    guarded([&] { w.N1Click(w.N1); });
    QTest::qWait(400);
    QVERIFY(!asked);
    QVERIFY(f.errors().isEmpty());
}

void TestGrid::gridEditLostOrWrittenWithRemoval()
{
    WindowFixture f;
    TFormKordane& w = viewed(f);
    const auto editName = [&](int row, const QString& name) { QVERIFY(kordane::test::typeIntoCell(w, row, 5, name)); };
    editName(0, QStringLiteral("Zed"));
    QCOMPARE(w.ClientDataSet1.cellText(0, 5), QStringLiteral("Zed"));
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton); // a reload drops it
    QCOMPARE(f.db().scalar("SELECT EMPLOYEE_NAME FROM POS_DAY WHERE EMPLOYEE_ID = 'E1'"), std::optional<std::string>("Amy"));
    editName(0, QStringLiteral("Zed"));
    removeRow(w, 1, QStringLiteral("Y")); // leaving the row posted it; the removal sends both
    QCOMPARE(f.db().scalar("SELECT EMPLOYEE_NAME FROM POS_DAY WHERE EMPLOYEE_ID = 'E1'"), std::optional<std::string>("Zed"));
    QCOMPARE(rows(f), std::string("2"));
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(QLatin1Char('\n'))));
}

void TestGrid::movedColumnRestoredByView()
{
    WindowFixture f;
    TFormKordane& w = viewed(f);
    QHeaderView* header = w.DBGrid1->horizontalHeader();
    header->moveSection(0, 3);
    QCOMPARE(header->logicalIndex(0), 1);
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    for (int c = 0; c < header->count(); ++c)
        QCOMPARE(header->logicalIndex(c), c);
    QCOMPARE(w.DBGrid1->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("員工代號"));
}

void TestGrid::maskErrorStopsGridPress()
{
    WindowFixture f;
    TFormKordane& w = viewed(f);
    w.MaskEdit1->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(w.MaskEdit1, QStringLiteral("20"));
    w.Edit1->setText(QStringLiteral("kept"));
    clickCell(w, 1, 2);
    QTRY_COMPARE(f.errors().size(), 1);
    QCOMPARE(f.errors().first(), QStringLiteral("Invalid input value.  Use escape key to abandon changes."));
    QCOMPARE(w.ClientDataSet1.currentRow(), 0);
    QCOMPARE(w.Edit1->text(), QStringLiteral("kept"));
    QCOMPARE(QApplication::focusWidget(), w.MaskEdit1);
}

// Leaving Edit1 by a press in the grid looks the code up, which replaces the rows under
// the pointer: that press neither copies, nor moves, nor opens the menu. The next one does.
void TestGrid::pressThatReloadsDoesNothing()
{
    WindowFixture f;
    f.db().raw().execute("INSERT INTO POS_DAY VALUES ('E2', '" + day + "', '10:00:00', '19:00:00', '', 'Bob', 'C2')");
    TFormKordane& w = viewed(f);
    QCOMPARE(w.ClientDataSet1.recordCount(), 3);
    const auto typeCode = [&](const char* code) {
        w.Edit1->setFocus(Qt::TabFocusReason);
        w.Edit1->clear();
        QTest::keyClicks(w.Edit1, QString::fromLatin1(code));
    };

    typeCode("E2");
    QTest::mousePress(w.DBGrid1->viewport(), Qt::RightButton, {}, kordane::test::cellCentre(w, 1, 1));
    QTest::mouseRelease(w.DBGrid1->viewport(), Qt::RightButton, {}, kordane::test::cellCentre(w, 1, 1));
    QTest::qWait(100);
    QVERIFY(!w.PopupMenu1->isVisible());
    QCOMPARE(w.ClientDataSet1.recordCount(), 2); // E2's records, the first current
    QCOMPARE(w.ClientDataSet1.currentRow(), 0);

    typeCode("E2");
    w.MaskEdit2->assignText(QString());
    QTest::mouseClick(w.DBGrid1->viewport(), Qt::LeftButton, {}, kordane::test::cellCentre(w, 1, 2));
    QCOMPARE(w.ClientDataSet1.currentRow(), 0);
    QCOMPARE(w.DBGrid1->currentIndex().column(), 0);
    QCOMPARE(w.MaskEdit2->fieldText(), w.ClientDataSet1.cellText(0, 2)); // the lookup's, not the row's
    clickCell(w, 1, 2); // the clerk clicks again, on rows seen
    QCOMPARE(w.MaskEdit2->fieldText(), w.ClientDataSet1.cellText(1, 2));

    // An unknown code: the warning, the fields emptied, and the press still does nothing.
    typeCode("ZZ");
    kordane::test::DialogAnswers answers({QStringLiteral("Return")});
    QTest::mouseClick(w.DBGrid1->viewport(), Qt::LeftButton, {}, kordane::test::cellCentre(w, 0, 2));
    QCOMPARE(answers.texts(), QStringList {QStringLiteral("人員代號錯誤!")});
    QCOMPARE(w.MaskEdit1->fieldText(), QString::fromStdString(day));
    QVERIFY(f.errors().isEmpty());

    // Leaving by the keyboard and pressing afterwards are unchanged.
    f.reactivate();
    typeCode("E1");
    QTest::keyClick(w.Edit1, Qt::Key_Return);
    QCOMPARE(w.ClientDataSet1.recordCount(), 1);
    w.MaskEdit3->assignText(QString());
    clickCell(w, 0, 3);
    QCOMPARE(w.MaskEdit3->fieldText(), QStringLiteral("17:00:00"));
    QCOMPARE(rows(f), std::string("4"));
}

// Records another program stored with code page 950 pairs that read as another pair's
// character, or with a lead byte left at the end: picked from the grid and saved unchanged
// they stay one record with the same bytes; delete and the grid's removal find them.
void TestGrid::storedBytesComeBack()
{
    WindowFixture f;
    const char* const pairs[] = {"\xA2\xA4", "\xA2\xA5", "\xA2\xA6", "\xA2\xA7", "\xA2\xCC",
                                 "\xA2\xCE", "\xF9\xFA", "\xF9\xFB", "\xF9\xFC", "\xF9\xFD"};
    int n = 0;
    for (const char* pair : pairs) {
        const std::string id = "K" + std::to_string(n++) + pair;
        f.db().raw().executePrepared("INSERT INTO POS_DAY VALUES (?, ?, '08:00:00', '17:00:00', '\xA4\x40', ?, 'C')",
                                     {id, day, std::string(pair) + "x"});
    }
    f.db().raw().executePrepared("INSERT INTO POS_DAY VALUES ('L', ?, '08:00:00', '17:00:00', '\xA4\x40', ?, 'C')",
                                 {day, std::string("Amy\xA4")});
    const auto stored = [&] { return f.db().raw().query("SELECT * FROM POS_DAY ORDER BY EMPLOYEE_ID"); };
    const auto before = stored();
    QCOMPARE(before.size(), std::size_t(11));

    TFormKordane& w = f.shownWindow();
    w.MaskEdit1->assignText(QString::fromStdString(day));
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    QCOMPARE(w.ClientDataSet1.recordCount(), 11);
    for (int row = 0; row < 11; ++row) {
        clickCell(w, row, 2);
        kordane::test::DialogAnswers answers({QStringLiteral("Y")});
        QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
        QCOMPARE(answers.texts(), QStringList {QStringLiteral("是否要修改原資料?")});
        f.reactivate();
    }
    QVERIFY(stored() == before);

    clickCell(w, 4, 2); // the numeral ten
    {
        kordane::test::DialogAnswers answers({QStringLiteral("Y"), QStringLiteral("N")});
        QTest::mouseClick(w.SpeedButton4, Qt::LeftButton);
        QCOMPARE(answers.texts().size(), 2);
    }
    f.reactivate();
    QCOMPARE(rows(f), std::string("10"));
    QCOMPARE(f.db().scalar("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_ID = 'K4\xA2\xCC'"), std::optional<std::string>("0"));
    removeRow(w, 10, QStringLiteral("Y")); // the lone lead byte
    QCOMPARE(rows(f), std::string("9"));
    QCOMPARE(f.db().scalar("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_ID = 'L'"), std::optional<std::string>("0"));
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
}

// One of two identical rows cannot be removed alone: the clerk is told, the row stays in
// view, and a grid edit made before stays pending and goes with the next removal, which
// does not carry the failed one.
void TestGrid::failedRemovalIsSaid()
{
    WindowFixture f;
    f.db().raw().execute({
        "INSERT INTO POS_DAY VALUES ('E1', '" + day + "', '08:00:00', '17:00:00', '', 'Amy', NULL)",
        "INSERT INTO POS_DAY VALUES ('E4', '" + day + "', '07:00:00', '16:00:00', '', 'Di', 'C4')",
    });
    TFormKordane& w = viewed(f);
    QCOMPARE(w.ClientDataSet1.recordCount(), 4); // E1, E1, E2, E4
    QVERIFY(kordane::test::typeIntoCell(w, 2, 5, QStringLiteral("Zed")));
    QCOMPARE(w.ClientDataSet1.cellText(2, 5), QStringLiteral("Zed"));

    removeRow(w, 0, QStringLiteral("Y"));
    QCOMPARE(f.errors(), QStringList {QStringLiteral("Update affected more than 1 record.")});
    QCOMPARE(w.ClientDataSet1.recordCount(), 4);
    QCOMPARE(w.DBGrid1->model()->rowCount(), 4);
    QCOMPARE(w.ClientDataSet1.currentRow(), 0);
    QCOMPARE(w.ClientDataSet1.changeCount(), 1); // the grid edit
    QCOMPARE(f.db().scalar("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_ID = 'E1'"), std::optional<std::string>("2"));
    QCOMPARE(f.db().scalar("SELECT EMPLOYEE_NAME FROM POS_DAY WHERE EMPLOYEE_ID = 'E2'"), std::optional<std::string>("Bob"));

    f.clearErrors();
    removeRow(w, 3, QStringLiteral("Y"));
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
    QCOMPARE(f.db().scalar("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_ID = 'E4'"), std::optional<std::string>("0"));
    QCOMPARE(f.db().scalar("SELECT EMPLOYEE_NAME FROM POS_DAY WHERE EMPLOYEE_ID = 'E2'"), std::optional<std::string>("Zed"));
    QCOMPARE(f.db().scalar("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_ID = 'E1'"), std::optional<std::string>("2"));
    QCOMPARE(w.ClientDataSet1.recordCount(), 3);
    QCOMPARE(w.ClientDataSet1.changeCount(), 0);
}

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
