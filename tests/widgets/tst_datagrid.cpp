// The data grid under real mouse and key events, bound to a result set loaded from an
// embedded database. Mouse events go through the window system layer, as a real mouse
// does: double clicks, context menus and the implicit grab come from Qt itself.
#define QTEST_QPA_MOUSE_HANDLING
#include "data/resultset/ClientDataSet.h"
#include "data/resultset/Components.h"
#include "data/resultset/DataSetProvider.h"
#include "data/resultset/DataSource.h"
#include "data/sql/SqlStatement.h"
#include "tests/support/TestDatabase.h"
#include "widgets/Beep.h"
#include "widgets/DataGrid.h"
#include "widgets/DataSetModel.h"
#include "widgets/MaskedEdit.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace kordane;

namespace {

struct Window : QWidget {
    explicit Window(const test::TestDatabase& db)
        : connectionOwner(db.connection())
    {
        dataSet.setProvider(&provider);
        auto* layout = new QVBoxLayout(this);
        field = new MaskedEdit(this);
        field->setEditMask(QStringLiteral("!90:00:00;1;_"));
        grid = new DataGrid(this);
        other = new QLineEdit(this);
        layout->addWidget(field);
        layout->addWidget(grid);
        layout->addWidget(other);
        grid->setDataSource(&source);
        grid->setPopupMenu(&menu);
        menu.addAction(QStringLiteral("item"));
        grid->setErrorHandler([this](std::exception_ptr e) {
            try {
                std::rethrow_exception(e);
            } catch (const Exception& x) {
                errors << x.message();
            }
        });
        resize(700, 400);
    }

    void load(const QString& date)
    {
        dataSet.close();
        dataSet.setCommandText(QStringLiteral("select * from POS_DAY \r\nwhere INI_DATE = '%1'\r\nORDER BY EMPLOYEE_ID,TIME_IN \r\n")
                                   .arg(date));
        dataSet.open();
    }

    std::unique_ptr<SqlConnection> connectionOwner;
    SqlDataSet sql {QStringLiteral("SQLDataSet1"), *connectionOwner};
    DataSetProvider provider {QStringLiteral("DataSetProvider1"), sql};
    ClientDataSet dataSet {QStringLiteral("ClientDataSet1")};
    DataSource source {QStringLiteral("DataSource1"), dataSet};
    QMenu menu;
    MaskedEdit* field;
    DataGrid* grid;
    QLineEdit* other;
    QStringList errors;
};

const QString day = QStringLiteral("2026/12/09");

} // namespace

class TestDataGrid : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void clickRulesAfterLoad();
    void releaseOffTheCellsRunsNothing();
    void rightPressMakesRowCurrentAndOpensMenu();
    void closedAndEmptyShapes();
    void widthsAndOrderComeBackAtLoad();
    void tabStaysInTheGrid();
    void ctrlDeleteAsks_data();
    void ctrlDeleteAsks();
    void editingAndLeavingTheRow();
    void refusedTextGoesToTheErrorHandler();
    void moveElsewhereDropsTheEditorText();
    void incompleteMaskedFieldKeepsThePress();
    void aLongSetScrollsThroughAWindow();
    void theScreenFollowsTheRows();
    void everyChangedRowIsTold();
    void titlesFollowTheirFont();

private:
    // `count` records L0000, L0001, ... on `date`, beside the fixture's own.
    void fillDay(const QString& date, int count)
    {
        db_->raw().execute("EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < " + std::to_string(count)
                           + ") DO BEGIN INSERT INTO POS_DAY VALUES ('L' || LPAD(:i, 4, '0'), '" + date.toStdString()
                           + "', '08:00:00', '17:00:00', 'W', 'N' || :i, 'C' || :i); i = i + 1; END END");
    }
    QPoint centre(int row, int column) const
    {
        return w->grid->visualRect(w->grid->model()->index(row, column)).center();
    }
    void click(int row, int column) { QTest::mouseClick(w->grid->viewport(), Qt::LeftButton, {}, centre(row, column)); }
    void key(int k, Qt::KeyboardModifiers m = {}) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), m); }
    // Each character to whatever has the focus by then, as a keyboard would.
    void type(const QString& text)
    {
        for (QChar c : text)
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }

    std::unique_ptr<test::TestDatabase> db_;
    std::unique_ptr<Window> w;
    std::unique_ptr<QSignalSpy> clicks;
};

void TestDataGrid::initTestCase()
{
    db_ = std::make_unique<test::TestDatabase>();
    db_->raw().execute({"INSERT INTO POS_DAY VALUES ('E01', '2026/12/09', '08:00:00', '17:00:00', 'W', 'Ann', 'C1')",
                        "INSERT INTO POS_DAY VALUES ('E02', '2026/12/09', '09:00:00', '18:00:00', 'W', 'Bob', NULL)",
                        "INSERT INTO POS_DAY VALUES ('E03', '2026/12/09', '07:30:00', '16:30:00', 'W', 'Cid', 'C3')"});
}

void TestDataGrid::init()
{
    w = std::make_unique<Window>(*db_);
    clicks = std::make_unique<QSignalSpy>(w->grid, &DataGrid::cellClick);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    w->grid->setFocus(Qt::OtherFocusReason);
}

void TestDataGrid::cleanup()
{
    clicks.reset();
    w.reset();
}

void TestDataGrid::clickRulesAfterLoad()
{
    w->load(day);
    // The current cell right after a load is the first one: a click there edits.
    click(0, 0);
    QVERIFY(w->grid->editorOpen());
    QCOMPARE(clicks->count(), 0);
    key(Qt::Key_Escape);
    QVERIFY(!w->grid->editorOpen());

    click(0, 2);
    QCOMPARE(clicks->count(), 1);
    QCOMPARE(w->grid->selectedColumn(), 2);

    click(1, 3);
    QCOMPARE(clicks->count(), 2);
    QCOMPARE(w->dataSet.currentRow(), 1);
    QCOMPARE(w->dataSet.fieldByName(QStringLiteral("EMPLOYEE_ID")).asString(), QStringLiteral("E02"));

    // The same cell again: the editor, no copy.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    click(1, 3);
    QVERIFY(w->grid->editorOpen());
    QCOMPARE(clicks->count(), 2);
    key(Qt::Key_Escape);

    // A double click on another cell copies on both releases.
    QTest::mouseDClick(w->grid->viewport(), Qt::LeftButton, {}, centre(2, 1));
    QCOMPARE(clicks->count(), 4);
    QCOMPARE(w->dataSet.currentRow(), 2);
    QVERIFY(!w->grid->editorOpen());

    // Moving by keyboard copies nothing.
    key(Qt::Key_Up);
    QCOMPARE(w->dataSet.currentRow(), 1);
    QCOMPARE(clicks->count(), 4);
}

void TestDataGrid::releaseOffTheCellsRunsNothing()
{
    w->load(day);
    QHeaderView* titles = w->grid->horizontalHeader();
    const QPoint title(titles->sectionViewportPosition(2) + 10, titles->height() / 2);
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, title);
    QTest::mouseClick(w->grid->verticalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(w->grid->verticalHeader()->width() / 2, centre(1, 0).y()));
    QCOMPARE(w->dataSet.currentRow(), 0);

    // Dragging the border between two titles resizes and runs nothing.
    const int width = titles->sectionSize(1);
    const QPoint border(titles->sectionViewportPosition(1) + width - 1, titles->height() / 2);
    QTest::mousePress(titles->viewport(), Qt::LeftButton, {}, border);
    QTest::mouseMove(titles->viewport(), border + QPoint(30, 0));
    QTest::mouseRelease(titles->viewport(), Qt::LeftButton, {}, border + QPoint(30, 0));
    QCOMPARE(titles->sectionSize(1), width + 30);

    // A press on a cell released over the titles makes the row current, nothing more.
    QTest::mousePress(w->grid->viewport(), Qt::LeftButton, {}, centre(2, 2));
    QTest::mouseRelease(w->grid->viewport(), Qt::LeftButton, {}, QPoint(centre(2, 2).x(), -5));
    QCOMPARE(w->dataSet.currentRow(), 2);
    QCOMPARE(clicks->count(), 0);
}

void TestDataGrid::rightPressMakesRowCurrentAndOpensMenu()
{
    w->load(day);
    QTest::mousePress(w->grid->viewport(), Qt::RightButton, {}, centre(2, 4));
    QCOMPARE(w->dataSet.currentRow(), 2);
    QTRY_VERIFY(w->menu.isVisible());
    QVERIFY(w->menu.geometry().contains(w->grid->viewport()->mapToGlobal(centre(2, 4)) + QPoint(2, 2)));
    w->menu.hide();
    QTest::mouseRelease(w->grid->viewport(), Qt::RightButton, {}, centre(2, 4));
    QCOMPARE(clicks->count(), 0);
}

void TestDataGrid::closedAndEmptyShapes()
{
    QAbstractItemModel* model = w->grid->model();
    QCOMPARE(model->columnCount(), 1);
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString());
    click(0, 0); // nothing there to click
    QCOMPARE(clicks->count(), 0);

    w->load(QStringLiteral("    /  /  "));
    QCOMPARE(model->columnCount(), 7);
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->headerData(6, Qt::Horizontal).toString(), QStringLiteral("CARD_ID"));
    QCOMPARE(model->index(0, 1).data().toString(), QString());
    click(0, 0); // the blank row's current cell: no editor, no copy
    QVERIFY(!w->grid->editorOpen());
    QCOMPARE(clicks->count(), 0);
    click(0, 3);
    QCOMPARE(clicks->count(), 1);

    // A row inserted there takes the blank row's place, and leaving it unchanged gives it back.
    key(Qt::Key_Insert);
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(w->dataSet.recordCount(), 1);
    key(Qt::Key_Escape);
    QCOMPARE(w->dataSet.recordCount(), 0);
    QCOMPARE(model->rowCount(), 1);

    w->dataSet.close();
    QCOMPARE(model->columnCount(), 1);
    QCOMPARE(model->rowCount(), 0);
}

void TestDataGrid::widthsAndOrderComeBackAtLoad()
{
    QFont titleFont = w->grid->font();
    titleFont.setPointSize(titleFont.pointSize() * 2);
    w->grid->setTitleFont(titleFont);
    w->dataSet.setAfterOpen([](ClientDataSet& set) { set.field(4).setDisplayLabel(QStringLiteral("A rather long title")); });
    w->load(day);

    QHeaderView* titles = w->grid->horizontalHeader();
    const int zero = w->grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const QFontMetrics titleMetrics(titleFont);
    const auto expected = [&](int i) {
        const DataField& f = w->dataSet.field(i);
        return std::max(f.displayWidth() * zero + 4, titleMetrics.horizontalAdvance(f.displayLabel()) + 4);
    };
    for (int i = 0; i < w->dataSet.fieldCount(); ++i)
        QCOMPARE(titles->sectionSize(i), expected(i));
    // BILL_WEEK holds two characters: its long title decides its width.
    QCOMPARE(titles->sectionSize(4), titleMetrics.horizontalAdvance(QStringLiteral("A rather long title")) + 4);

    // Drag the third title to the front, and change a width.
    const QPoint from(titles->sectionViewportPosition(2) + titles->sectionSize(2) / 2, titles->height() / 2);
    QTest::mousePress(titles->viewport(), Qt::LeftButton, {}, from);
    for (int x = from.x(); x > 2; x -= 10)
        QTest::mouseMove(titles->viewport(), QPoint(x, from.y()));
    QTest::mouseRelease(titles->viewport(), Qt::LeftButton, {}, QPoint(2, from.y()));
    QCOMPARE(titles->logicalIndex(0), 2);
    QCOMPARE(w->grid->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("TIME_IN"));
    titles->resizeSection(0, 300);

    w->load(day);
    for (int i = 0; i < titles->count(); ++i)
        QCOMPARE(titles->logicalIndex(i), i);
    QCOMPARE(titles->sectionSize(0), expected(0));
}

void TestDataGrid::tabStaysInTheGrid()
{
    // Closed: Tab goes nowhere.
    key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w->grid);

    w->load(day);
    const int columns = w->dataSet.fieldCount();
    for (int i = 0; i < columns * 3 - 1; ++i)
        key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w->grid);
    QCOMPARE(w->dataSet.currentRow(), 2);
    QCOMPARE(w->grid->selectedColumn(), columns - 1);

    key(Qt::Key_Tab); // past the last cell of the last row
    QCOMPARE(w->dataSet.recordCount(), 4);
    QCOMPARE(w->dataSet.state(), ClientDataSet::State::Insert);
    QCOMPARE(w->grid->selectedColumn(), 0);

    key(Qt::Key_Backtab); // back to the last row; the untouched new row goes away
    QCOMPARE(w->dataSet.recordCount(), 3);
    QCOMPARE(w->dataSet.currentRow(), 2);
    QCOMPARE(w->grid->selectedColumn(), columns - 1);

    // Tab inside an editor also moves to the next cell.
    key(Qt::Key_Up);
    key(Qt::Key_Left);
    key(Qt::Key_F2);
    QVERIFY(w->grid->editorOpen());
    key(Qt::Key_Tab);
    QVERIFY(!w->grid->editorOpen());
    QCOMPARE(w->grid->selectedColumn(), columns - 1);

    w->dataSet.first();
    key(Qt::Key_Home);
    for (int i = 0; i < columns; ++i)
        key(Qt::Key_Left);
    key(Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), w->grid);
    QCOMPARE(w->dataSet.currentRow(), 0);
    QCOMPARE(w->grid->selectedColumn(), 0);
    QCOMPARE(clicks->count(), 0);
}

void TestDataGrid::ctrlDeleteAsks_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("rowsLeft");
    QTest::newRow("no") << false << 3;
    QTest::newRow("yes") << true << 2;
}

void TestDataGrid::ctrlDeleteAsks()
{
    QFETCH(bool, answer);
    QFETCH(int, rowsLeft);
    int asked = 0;
    w->grid->setDeleteQuestion([&] {
        ++asked;
        return answer;
    });
    w->load(day);
    click(1, 2);
    key(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(asked, 1);
    QCOMPARE(w->dataSet.recordCount(), rowsLeft);
    QCOMPARE(w->grid->model()->rowCount(), rowsLeft);
    QCOMPARE(w->dataSet.changeCount(), 3 - rowsLeft);
    QCOMPARE(w->dataSet.cellText(1, 0), answer ? QStringLiteral("E03") : QStringLiteral("E02"));
}

void TestDataGrid::editingAndLeavingTheRow()
{
    w->load(day);
    QAbstractItemModel* model = w->grid->model();
    click(0, 5);
    type(QStringLiteral("Amy"));
    QVERIFY(w->grid->editorOpen());
    QCOMPARE(w->dataSet.state(), ClientDataSet::State::Edit);
    key(Qt::Key_Return);
    QVERIFY(!w->grid->editorOpen());
    QCOMPARE(model->index(0, 5).data().toString(), QStringLiteral("Amy"));
    QCOMPARE(w->dataSet.changeCount(), 0);
    key(Qt::Key_Down); // leaving the row posts it
    QCOMPARE(w->dataSet.state(), ClientDataSet::State::Browse);
    QCOMPARE(w->dataSet.changeCount(), 1);
    QCOMPARE(w->dataSet.cellText(0, 5), QStringLiteral("Amy"));

    // Escape in the editor drops its text; Escape after Enter drops the row's change.
    key(Qt::Key_Return);
    type(QStringLiteral("Zed"));
    key(Qt::Key_Escape);
    QCOMPARE(model->index(1, 5).data().toString(), QStringLiteral("Bob"));
    key(Qt::Key_F2);
    type(QStringLiteral("Zed"));
    key(Qt::Key_Return);
    QCOMPARE(model->index(1, 5).data().toString(), QStringLiteral("Zed"));
    key(Qt::Key_Escape);
    QCOMPARE(model->index(1, 5).data().toString(), QStringLiteral("Bob"));
    QCOMPARE(w->dataSet.state(), ClientDataSet::State::Browse);

    // Down past the last row appends; a typed value there is posted by moving up.
    key(Qt::Key_End);
    key(Qt::Key_Down);
    QCOMPARE(w->dataSet.state(), ClientDataSet::State::Insert);
    QCOMPARE(model->rowCount(), 4);
    key(Qt::Key_Down); // no second new row below an untouched one
    QCOMPARE(model->rowCount(), 4);
    type(QStringLiteral("E04"));
    key(Qt::Key_Up); // out of the editor and off the row
    QCOMPARE(w->dataSet.state(), ClientDataSet::State::Browse);
    QCOMPARE(w->dataSet.changeCount(), 2);
    QCOMPARE(model->index(3, 5).data().toString(), QStringLiteral("E04"));
    QCOMPARE(model->rowCount(), 4);
    QCOMPARE(clicks->count(), 1);
    QVERIFY(w->errors.isEmpty());
}

void TestDataGrid::refusedTextGoesToTheErrorHandler()
{
    w->load(day);
    key(Qt::Key_F2);
    type(QString(21, QLatin1Char('x'))); // EMPLOYEE_ID holds 20
    key(Qt::Key_Return);
    QCOMPARE(w->errors.size(), 1);
    QVERIFY2(w->errors.first().contains(QStringLiteral("EMPLOYEE_ID")), qPrintable(w->errors.first()));
    QVERIFY(w->grid->editorOpen()); // the text waits to be fixed
    key(Qt::Key_Backspace);
    key(Qt::Key_Return);
    QVERIFY(!w->grid->editorOpen());
    QCOMPARE(w->dataSet.cellText(0, 0), QString(20, QLatin1Char('x')));
    QCOMPARE(w->errors.size(), 1);
}

void TestDataGrid::moveElsewhereDropsTheEditorText()
{
    w->load(day);
    click(0, 5);
    type(QStringLiteral("Zed"));
    QVERIFY(w->grid->editorOpen());
    w->dataSet.moveTo(2); // not through the grid
    QVERIFY(!w->grid->editorOpen());
    QCOMPARE(w->grid->currentIndex().row(), 2);
    w->dataSet.first();
    QCOMPARE(w->dataSet.cellText(0, 5), QStringLiteral("Ann"));
    QCOMPARE(w->dataSet.cellText(2, 5), QStringLiteral("Cid"));
    QCOMPARE(w->dataSet.changeCount(), 0);
}

void TestDataGrid::incompleteMaskedFieldKeepsThePress()
{
    w->load(day);
    w->field->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(w->field, QStringLiteral("08"));
    const int beeps = beepCount();
    QTest::mouseClick(w->grid->viewport(), Qt::LeftButton, {}, centre(2, 3));
    QCOMPARE(w->dataSet.currentRow(), 0);
    QCOMPARE(clicks->count(), 0);
    QCOMPARE(QApplication::focusWidget(), w->field);
    QVERIFY(beepCount() > beeps);
}

// 3,000 rows: the view holds a window of them, yet every row is reached, shown, clicked
// and removed as in a short set.
void TestDataGrid::aLongSetScrollsThroughAWindow()
{
    const QString longDay = QStringLiteral("2026/11/30");
    fillDay(QStringLiteral("2026/11/30"), 3000);
    w->load(longDay);
    QCOMPARE(w->dataSet.recordCount(), 3000);
    QVERIFY(w->grid->model()->rowCount() < 3000);
    QVERIFY(w->grid->verticalHeader()->count() < 3000);
    QScrollBar* bar = w->grid->verticalScrollBar();
    const int page = bar->pageStep();
    QCOMPARE(bar->maximum(), 3000 - page);

    // The last row, by keyboard: the indicator and the current cell are on it.
    key(Qt::Key_End);
    QCOMPARE(w->dataSet.currentRow(), 2999);
    QCOMPARE(bar->value(), 3000 - page);
    const auto shown = [&](int row) { return w->grid->model()->index(row, 0).data().toString(); };
    QCOMPARE(shown(w->grid->currentIndex().row()), QStringLiteral("L2999"));
    QCOMPARE(w->grid->model()->headerData(w->grid->currentIndex().row(), Qt::Vertical, DataSetModel::IndicatorRole).toInt(),
             int(DataSetModel::Indicator::Current));

    // Scrolled to the middle with the bar, a click copies the row under the pointer.
    bar->setValue(1500);
    const QModelIndex top = w->grid->indexAt(QPoint(5, 2));
    QCOMPARE(shown(top.row()), QStringLiteral("L1500"));
    QTest::mouseClick(w->grid->viewport(), Qt::LeftButton, {}, w->grid->visualRect(top.sibling(top.row() + 2, 1)).center());
    QCOMPARE(w->dataSet.currentRow(), 1502);
    QCOMPARE(clicks->count(), 1);

    // A removal there leaves the next record in its place; Home goes back to the first.
    w->grid->setDeleteQuestion([] { return true; });
    key(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(w->dataSet.recordCount(), 2999);
    QCOMPARE(bar->maximum(), 2999 - page);
    QCOMPARE(shown(w->grid->currentIndex().row()), QStringLiteral("L1503"));
    QCOMPARE(shown(w->grid->currentIndex().row() - 1), QStringLiteral("L1501"));
    key(Qt::Key_Home);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(shown(w->grid->currentIndex().row()), QStringLiteral("L0000"));
    db_->raw().execute("DELETE FROM POS_DAY WHERE INI_DATE = '2026/11/30'");
}

// What reaches the screen, not what a fresh paint of the grid would give: the indicator
// moves with the current row and leaves none behind, in a set longer than the grid's
// window of rows as in a short one, turns into the edit mark without a move, and the
// scroll bar goes once the rows fit.
void TestDataGrid::theScreenFollowsTheRows()
{
    fillDay(QStringLiteral("2026/11/29"), 600);
    QHeaderView* indicator = w->grid->verticalHeader();
    // The row's indicator section as the screen shows it.
    const auto section = [&](int row) {
        QCoreApplication::processEvents();
        const QPoint corner = indicator->mapTo(w.get(), QPoint(0, indicator->sectionViewportPosition(row)));
        return w->screen()->grabWindow(w->winId()).toImage().copy(QRect(corner, QSize(indicator->width(), indicator->sectionSize(row))));
    };
    const auto marked = [&](int row) {
        const QImage image = section(row);
        int dark = 0;
        for (int y = 2; y < image.height() - 2; ++y)
            for (int x = 2; x < image.width() - 2; ++x)
                dark += qGray(image.pixel(x, y)) < 80;
        return dark > 4;
    };
    w->grid->setDeleteQuestion([] { return true; });
    for (const QString& date : {QStringLiteral("2026/11/29"), day}) {
        w->load(date);
        QVERIFY(marked(0));
        key(Qt::Key_Down);
        QVERIFY(!marked(0));
        QVERIFY(marked(1));
        key(Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(!marked(0));
        QVERIFY(marked(1));
        QVERIFY(!marked(2));
        key(Qt::Key_Up);
        QVERIFY(marked(0));
        QVERIFY(!marked(1));
    }
    const QImage browsing = section(0);
    type(QStringLiteral("X"));
    QCOMPARE(w->dataSet.state(), ClientDataSet::State::Edit);
    QVERIFY(section(0) != browsing);
    key(Qt::Key_Escape);
    key(Qt::Key_Escape);
    QCOMPARE(w->dataSet.state(), ClientDataSet::State::Browse);
    QCOMPARE(section(0), browsing);

    QScrollBar* bar = w->grid->verticalScrollBar();
    const int page = bar->pageStep();
    db_->raw().execute("DELETE FROM POS_DAY WHERE INI_DATE = '2026/11/29' AND EMPLOYEE_ID > 'L" + QString::number(page).rightJustified(4, u'0').toStdString() + "'");
    w->load(QStringLiteral("2026/11/29"));
    QCOMPARE(w->dataSet.recordCount(), page + 1);
    QCoreApplication::processEvents();
    QVERIFY(bar->isVisible());
    key(Qt::Key_Delete, Qt::ControlModifier);
    QCoreApplication::processEvents();
    QCOMPARE(bar->maximum(), 0);
    QVERIFY(!bar->isVisible());
    db_->raw().execute("DELETE FROM POS_DAY WHERE INI_DATE = '2026/11/29'");
}

// A view that keeps what it drew hears of every shown row whose text changes: after a
// removal in a long set (the rows stay, other records move into them), a removal in a
// short one, a change of a record and a move of the window, what such a view holds is
// what the model gives.
void TestDataGrid::everyChangedRowIsTold()
{
    fillDay(QStringLiteral("2026/11/28"), 600);
    QAbstractItemModel* model = w->grid->model();
    const auto texts = [&] {
        QList<QStringList> rows;
        for (int r = 0; r < model->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < model->columnCount(); ++c)
                row << model->index(r, c).data().toString();
            rows << row;
        }
        return rows;
    };
    const auto check = [&](const char* what, const std::function<void()>& change) {
        QList<QStringList> held = texts();
        QList<bool> stale(held.size(), false); // to be asked for again
        QList<QMetaObject::Connection> heard;
        heard << connect(model, &QAbstractItemModel::dataChanged, this, [&](const QModelIndex& from, const QModelIndex& to) {
            for (int r = from.row(); r <= to.row(); ++r)
                stale[r] = true;
        });
        heard << connect(model, &QAbstractItemModel::rowsRemoved, this, [&](const QModelIndex&, int first, int last) {
            held.remove(first, last - first + 1);
            stale.remove(first, last - first + 1);
        });
        heard << connect(model, &QAbstractItemModel::rowsInserted, this, [&](const QModelIndex&, int first, int last) {
            for (int r = first; r <= last; ++r) {
                held.insert(r, {});
                stale.insert(r, true);
            }
        });
        heard << connect(model, &QAbstractItemModel::modelReset, this, [&] { stale.fill(true, model->rowCount()); });
        change();
        for (const auto& c : heard)
            disconnect(c);
        const QList<QStringList> now = texts();
        QCOMPARE(held.size(), now.size());
        for (int r = 0; r < now.size(); ++r)
            QVERIFY2(stale[r] || held[r] == now[r], qPrintable(QStringLiteral("%1: row %2").arg(QLatin1String(what)).arg(r)));
    };
    w->load(QStringLiteral("2026/11/28"));
    w->dataSet.moveTo(2);
    check("a removal in a long set", [&] { w->dataSet.deleteRecord(); });
    check("a change", [&] {
        w->dataSet.edit();
        w->dataSet.setFieldText(5, QStringLiteral("changed"));
        w->dataSet.post();
    });
    check("a move of the window", [&] { w->grid->verticalScrollBar()->setValue(400); });
    check("a removal further down", [&] { w->dataSet.deleteRecord(); });
    w->load(day);
    QVERIFY(w->dataSet.recordCount() > 2);
    w->dataSet.moveTo(1);
    check("a removal in a short set", [&] { w->dataSet.deleteRecord(); });
    db_->raw().execute("DELETE FROM POS_DAY WHERE INI_DATE = '2026/11/28'");
}

// The titles' height is measured again when their font changes, not kept from before.
void TestDataGrid::titlesFollowTheirFont()
{
    w->load(day);
    QHeaderView* titles = w->grid->horizontalHeader();
    const int before = titles->sizeHint().height();
    QFont larger = w->grid->titleFont();
    larger.setPointSizeF(larger.pointSizeF() * 2);
    w->grid->setTitleFont(larger);
    QVERIFY2(titles->sizeHint().height() > before, qPrintable(QString::number(titles->sizeHint().height())));
    w->load(day);
    QVERIFY(titles->height() > before);
}

QTEST_MAIN(TestDataGrid)
#include "tst_datagrid.moc"
