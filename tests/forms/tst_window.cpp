// The real window: layout, focus movement and start-up, against an embedded database.
#include "tests/support/ModalDriver.h"
#include "tests/support/WindowFixture.h"
#include "widgets/DataGrid.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QLabel>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

using namespace kordane;
using kordane::test::WindowFixture;

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void layout();
    void resizeKeepsPanelsAndGrid();
    void focusStartsOnTabStrip();
    void enterAndEscapeWalkTheFields_data();
    void enterAndEscapeWalkTheFields();
    void ctrlTabChangesPages();
    void speedButtonKeepsFocusAndWeekday();
    void startupFillsRecentNames();
    void startupWithoutDatabase();
};

void TestWindow::layout()
{
    WindowFixture f;
    TFormKordane& w = f.window();
    QCOMPARE(w.windowTitle(), QStringLiteral("出勤資料"));
    QCOMPARE(w.size(), QSize(552, 395));
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(w.PageControl1->count(), 2);
    QCOMPARE(w.PageControl1->tabText(0), QStringLiteral("TabSheet1"));
    QCOMPARE(w.PageControl1->tabText(1), QStringLiteral("TabSheet2"));
    QCOMPARE(w.PageControl1->currentIndex(), 0);
    QVERIFY(w.font().families().contains(QStringLiteral("新細明體")));
    QCOMPARE(w.font().pixelSize(), 15);

    struct Placed {
        QWidget* widget;
        QRect geometry;
    };
    const Placed placed[] = {
        {w.MaskEdit1, {88, 20, 88, 23}},
        {w.Edit7, {181, 20, 29, 23}},
        {w.SpeedButton2, {431, 9, 73, 41}},
        {w.Edit1, {88, 52, 88, 23}},
        {w.Edit5, {181, 52, 105, 23}},
        {w.Edit6, {287, 52, 177, 23}},
        {w.MaskEdit2, {88, 82, 88, 23}},
        {w.MaskEdit3, {88, 114, 88, 23}},
        {w.SpeedButton1, {224, 97, 73, 41}},
        {w.SpeedButton3, {309, 97, 73, 41}},
        {w.SpeedButton4, {392, 97, 73, 41}},
    };
    for (const Placed& p : placed) {
        QCOMPARE(p.widget->parentWidget(), w.Panel2);
        QCOMPARE(p.widget->geometry(), p.geometry);
    }
    QCOMPARE(w.Label1->text(), QStringLiteral("日期"));
    QCOMPARE(w.Label3->text(), QStringLiteral("人員"));
    QCOMPARE(w.Label2->text(), QStringLiteral("上班"));
    QCOMPARE(w.Label6->text(), QStringLiteral("下班"));
    QCOMPARE(w.Label1->pos(), QPoint(40, 24));
    QCOMPARE(w.Label6->pos(), QPoint(40, 120));
    QCOMPARE(w.SpeedButton2->text(), QStringLiteral("檢視"));
    QCOMPARE(w.SpeedButton1->text(), QStringLiteral("修改存檔"));
    QCOMPARE(w.SpeedButton3->text(), QStringLiteral("新增存檔"));
    QCOMPARE(w.SpeedButton4->text(), QStringLiteral("刪除資料"));
    QCOMPARE(w.N1->text(), QStringLiteral("刪除資料"));
    for (LineEdit* grey : {w.Edit5, w.Edit6, w.Edit7}) {
        QVERIFY(grey->isReadOnly());
        QCOMPARE(grey->focusPolicy(), Qt::ClickFocus);
    }
    QCOMPARE(w.MaskEdit2->fieldText(), QStringLiteral("  :  :  "));
    QCOMPARE(w.MaskEdit2->text(), QStringLiteral("__:__:__"));
}

void TestWindow::resizeKeepsPanelsAndGrid()
{
    WindowFixture f;
    TFormKordane& w = f.shownWindow();
    w.resize(700, 600);
    QTest::qWait(20);
    QCOMPARE(w.Panel1->height(), 41);
    QCOMPARE(w.Panel3->height(), 41);
    QCOMPARE(w.DBGrid1->height(), 133);
    QCOMPARE(w.DBGrid1->geometry().bottom(), w.Panel2->height() - 2);
    QCOMPARE(w.DBGrid1->width(), w.Panel2->width() - 2);
    QCOMPARE(w.MaskEdit1->pos(), QPoint(88, 20));
}

void TestWindow::focusStartsOnTabStrip()
{
    WindowFixture f;
    TFormKordane& w = f.shownWindow();
    QCOMPARE(QApplication::focusWidget(), w.PageControl1->tabBar());
    const QList<QWidget*> chain = {w.MaskEdit1, w.Edit1, w.MaskEdit2, w.MaskEdit3, w.DBGrid1};
    for (QWidget* next : chain) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestWindow::enterAndEscapeWalkTheFields_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("to");
    const int enter = Qt::Key_Return;
    const int escape = Qt::Key_Escape;
    QTest::newRow("date Enter") << "MaskEdit1" << enter << "Edit1";
    QTest::newRow("code Enter") << "Edit1" << enter << "MaskEdit2";
    QTest::newRow("in Enter") << "MaskEdit2" << enter << "MaskEdit3";
    QTest::newRow("out Enter") << "MaskEdit3" << enter << "DBGrid1";
    QTest::newRow("grey Enter") << "Edit5" << enter << "PageControl1";
    QTest::newRow("keypad Enter") << "MaskEdit2" << int(Qt::Key_Enter) << "MaskEdit3";
    QTest::newRow("date Escape") << "MaskEdit1" << escape << "PageControl1";
    QTest::newRow("code Escape") << "Edit1" << escape << "MaskEdit1";
    QTest::newRow("in Escape") << "MaskEdit2" << escape << "Edit1";
    QTest::newRow("out Escape") << "MaskEdit3" << escape << "MaskEdit2";
    QTest::newRow("grey Escape") << "Edit7" << escape << "DBGrid1";
}

void TestWindow::enterAndEscapeWalkTheFields()
{
    QFETCH(QString, from);
    QFETCH(int, key);
    QFETCH(QString, to);
    WindowFixture f;
    TFormKordane& w = f.shownWindow();
    auto* start = w.findChild<QWidget*>(from);
    QVERIFY(start);
    start->setFocus(Qt::MouseFocusReason);
    QCOMPARE(QApplication::focusWidget(), start);
    QTest::keyClick(start, Qt::Key(key));
    QWidget* expected = to == QLatin1String("PageControl1") ? w.PageControl1->tabBar() : w.findChild<QWidget*>(to);
    QCOMPARE(QApplication::focusWidget(), expected);
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(QLatin1Char('\n'))));
}

void TestWindow::ctrlTabChangesPages()
{
    WindowFixture f;
    TFormKordane& w = f.shownWindow();
    w.MaskEdit1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.MaskEdit1, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(w.PageControl1->currentIndex(), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(w.PageControl1->currentIndex(), 0);
    QCOMPARE(w.MaskEdit1->fieldText().size(), 10);
}

void TestWindow::speedButtonKeepsFocusAndWeekday()
{
    WindowFixture f;
    TFormKordane& w = f.shownWindow();
    w.MaskEdit1->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(w.MaskEdit1, QStringLiteral("20261207"));
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), w.MaskEdit1);
    QCOMPARE(w.Edit7->text(), QString());
    QTest::keyClick(w.MaskEdit1, Qt::Key_Return);
    QCOMPARE(w.Edit7->text(), QStringLiteral("一"));
}

void TestWindow::startupFillsRecentNames()
{
    WindowFixture f;
    const QDate today = QDate::currentDate();
    const auto date = [&](int back) { return today.addDays(-back).toString(QStringLiteral("yyyy/MM/dd")).toStdString(); };
    f.db().raw().execute({
        "INSERT INTO EMPLOYEE VALUES ('E1', 'Amy', 'C1')",
        "INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, EMPLOYEE_NAME) VALUES ('E1', '" + date(35) + "', NULL)",
        "INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, EMPLOYEE_NAME) VALUES ('E1', '" + date(3) + "', '')",
        "INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, EMPLOYEE_NAME) VALUES ('E1', '" + date(36) + "', '')",
        "INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, EMPLOYEE_NAME) VALUES ('E2', '" + date(1) + "', '')",
    });
    TFormKordane& w = f.window();
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(QLatin1Char('\n'))));
    const auto name = [&](int back, const char* id) {
        return f.db().scalar("SELECT EMPLOYEE_NAME FROM POS_DAY WHERE EMPLOYEE_ID = '" + std::string(id)
                             + "' AND INI_DATE = '" + date(back) + "'");
    };
    QCOMPARE(name(35, "E1"), std::optional<std::string>("Amy"));
    QCOMPARE(name(3, "E1"), std::optional<std::string>("Amy"));
    QCOMPARE(name(36, "E1"), std::optional<std::string>(""));
    QCOMPARE(name(1, "E2"), std::optional<std::string>());
    QCOMPARE(w.MaskEdit1->fieldText(), today.toString(QStringLiteral("yyyy/MM/dd")));
    QCOMPARE(w.Edit7->text(), QString());
}

void TestWindow::startupWithoutDatabase()
{
    WindowFixture f;
    f.db().writeConnectionsFile(f.db().connectionsText().replace(f.db().database(), f.db().dir() + QStringLiteral("/missing.fdb")));
    TFormKordane& w = f.window();
    QCOMPARE(f.errors().size(), 1);
    QVERIFY(!w.isVisible());
    QVERIFY2(f.errors().first().contains(QStringLiteral("missing.fdb")), qPrintable(f.errors().first()));
    QCOMPARE(w.MaskEdit1->fieldText(), QStringLiteral("    /  /  "));
    QCOMPARE(w.PageControl1->currentIndex(), 0);
    // The next command tries the connection again and reports again.
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    QCOMPARE(f.errors().size(), 2);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
