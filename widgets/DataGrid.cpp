#include "widgets/DataGrid.h"

#include "data/resultset/ClientDataSet.h"
#include "data/resultset/DataSource.h"
#include "widgets/CellText.h"
#include "widgets/DataSetModel.h"
#include "widgets/GridHeaders.h"
#include "widgets/MaskedEdit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include <algorithm>
#include <optional>

namespace kordane {

// The in-place editor: a frameless line edit over the current cell. Enter keeps the
// text in the row, Escape abandons it, Tab and Shift+Tab hand over to the grid.
class DataGrid::CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(DataGrid& grid)
        : QStyledItemDelegate(&grid)
        , grid_(grid)
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        QObject::connect(editor, &QLineEdit::textEdited, &grid_, [this] { grid_.editorEdited(); });
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        auto* line = static_cast<QLineEdit*>(editor);
        line->setText(index.data(Qt::EditRole).toString());
        line->selectAll();
    }

    // The model gives a cell its text alone: no font, colour, alignment or decoration of
    // its own that the style would have to draw.
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (!text_.draw(*painter, option, index.data(Qt::DisplayRole).toString()))
            QStyledItemDelegate::paint(painter, option, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        // The text belongs to the row it was typed in, never to the one the set moved to.
        const ClientDataSet* set = grid_.dataSet();
        if (set && grid_.model_->recordAt(index.row()) == set->currentRow())
            grid_.writeCell(index.column(), static_cast<QLineEdit*>(editor)->text());
    }

protected:
    bool eventFilter(QObject* object, QEvent* e) override
    {
        if (e->type() != QEvent::KeyPress)
            return QStyledItemDelegate::eventFilter(object, e);
        auto* editor = static_cast<QLineEdit*>(object);
        const auto* k = static_cast<QKeyEvent*>(e);
        const bool plain = !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        switch (k->key()) {
        case Qt::Key_Enter:
        case Qt::Key_Return:
            if (grid_.writeCell(grid_.column_, editor->text()))
                emit closeEditor(editor, NoHint);
            return true;
        case Qt::Key_Escape:
            emit closeEditor(editor, RevertModelCache);
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (!plain)
                break;
            if (grid_.writeCell(grid_.column_, editor->text()))
                emit closeEditor(editor, k->key() == Qt::Key_Tab && !(k->modifiers() & Qt::ShiftModifier) ? EditNextItem : EditPreviousItem);
            return true;
        default:
            break;
        }
        return QStyledItemDelegate::eventFilter(object, e);
    }

private:
    DataGrid& grid_;
    mutable CellText text_;
};

DataGrid::DataGrid(QWidget* parent)
    : QTableView(parent)
    , model_(new DataSetModel(this))
{
    setModel(model_);
    setItemDelegate(new CellDelegate(*this));
    setHorizontalHeader(new TitleHeader(this));
    auto* indicators = new IndicatorHeader(this);
    setVerticalHeader(indicators);
    connect(model_, &DataSetModel::indicatorsChanged, indicators, &IndicatorHeader::repaintRows);
    // Mouse clicks open the editor through the grid's own press rules only.
    setEditTriggers(AnyKeyPressed | EditKeyPressed);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectItems);
    setFocusPolicy(Qt::StrongFocus);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setShowGrid(true);
    setVerticalScrollMode(ScrollPerItem);

    QHeaderView* titles = horizontalHeader();
    titles->setSectionsMovable(true);
    titles->setSectionsClickable(false);
    titles->setHighlightSections(false);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setStretchLastSection(false);

    QHeaderView* indicator = verticalHeader();
    indicator->setSectionsClickable(false);
    indicator->setHighlightSections(false);
    indicator->setSectionResizeMode(QHeaderView::Fixed);
    indicator->setMinimumSectionSize(1);

    connect(model_, &QAbstractItemModel::modelReset, this, &DataGrid::onRowsReset);
    for (QWidget* part : {titles->viewport(), indicator->viewport(), static_cast<QWidget*>(horizontalScrollBar()),
                          static_cast<QWidget*>(verticalScrollBar())})
        part->installEventFilter(this);
    applyFontMetrics();
}

DataGrid::~DataGrid() = default;

void DataGrid::setDataSource(DataSource* source)
{
    if (source == source_)
        return;
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    if (source_)
        connect(source_, &QObject::destroyed, this, [this] {
            source_ = nullptr;
            bindDataSet(nullptr);
        });
    bindDataSet(source_ ? &source_->dataSet() : nullptr);
}

void DataGrid::bindDataSet(ClientDataSet* set)
{
    if (ClientDataSet* old = model_->dataSet())
        disconnect(old, nullptr, this, nullptr);
    // An editor over a removed record goes before the model puts the next record in its row.
    if (set)
        connect(set, &ClientDataSet::rowRemoved, this, &DataGrid::dropEditorOfRemoved);
    // The model hears every other signal first, so the rows are in place when the grid moves.
    model_->setDataSet(set);
    if (set) {
        connect(set, &ClientDataSet::currentRowChanged, this, &DataGrid::syncCurrentCell);
        connect(set, &ClientDataSet::fieldChanged, this,
                [this](int column) { horizontalHeader()->resizeSection(column, defaultColumnWidth(column)); });
    }
}

// Empty once the set is gone, even while the data source lives on.
ClientDataSet* DataGrid::dataSet() const
{
    return model_->dataSet();
}

bool DataGrid::active() const
{
    return model_->active();
}

void DataGrid::setTitleFont(const QFont& font)
{
    horizontalHeader()->setFont(font);
    applyColumnLayout();
}

QFont DataGrid::titleFont() const
{
    return horizontalHeader()->font();
}

bool DataGrid::guarded(const std::function<void()>& action)
{
    try {
        action();
        return true;
    } catch (...) {
        reportError(std::current_exception());
        return false;
    }
}

void DataGrid::reportError(std::exception_ptr error)
{
    try {
        if (errorHandler_) {
            errorHandler_(error);
            return;
        }
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        qWarning("DataGrid: %s", e.what());
    } catch (...) {
        qWarning("DataGrid: unknown error");
    }
}

// ---- layout ----

int DataGrid::defaultColumnWidth(int column) const
{
    const ClientDataSet* set = dataSet();
    if (!active() || column >= set->fieldCount())
        return horizontalHeader()->defaultSectionSize();
    const DataField& field = set->field(column);
    const int data = field.displayWidth() * fontMetrics().horizontalAdvance(QLatin1Char('0')) + 4;
    const int title = QFontMetrics(titleFont()).horizontalAdvance(field.displayLabel()) + 4;
    return std::max(data, title);
}

void DataGrid::onRowsReset()
{
    interaction_.rowsReloaded(QApplication::focusWidget() == this);
    column_ = 0;
    first_ = 0;
    applyColumnLayout();
    syncCurrentCell();
}

// A load brings back the result's own column order and the widths by the rule.
void DataGrid::applyColumnLayout()
{
    QHeaderView* titles = horizontalHeader();
    for (int i = 0; i < titles->count(); ++i) {
        const int visual = titles->visualIndex(i);
        if (visual != i)
            titles->moveSection(visual, i);
        titles->resizeSection(i, defaultColumnWidth(i));
    }
}

void DataGrid::applyFontMetrics()
{
    const int line = fontMetrics().height();
    verticalHeader()->setDefaultSectionSize(line + 4);
    verticalHeader()->setFixedWidth(line);
    model_->setWindow(windowRows());
    applyColumnLayout();
}

void DataGrid::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::FontChange)
        applyFontMetrics();
    QTableView::changeEvent(e);
}

void DataGrid::syncCurrentCell()
{
    if (active()) {
        const int row = std::max(dataSet()->currentRow(), 0);
        if (row < first_)
            showFrom(row);
        else if (row >= first_ + visibleRows())
            showFrom(row - visibleRows() + 1);
        else
            showFrom(first_);
    }
    placeCurrentCell(true);
}

void DataGrid::placeCurrentCell(bool follow)
{
    if (!active()) {
        selectionModel()->clear();
        return;
    }
    const int row = model_->rowOf(std::max(dataSet()->currentRow(), 0));
    const int column = std::clamp(column_, 0, model_->columnCount() - 1);
    // The set moved away under an open editor (the grid closes it before its own moves):
    // its text is for a row that is no longer current.
    if (currentIndex().row() != row)
        dropEditor();
    std::optional<GridInteraction::During> keepRows;
    if (!follow)
        keepRows.emplace(interaction_, GridInteraction::Work::KeepingRows);
    if (row < 0 || row >= model_->rowCount()) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex cell = model_->index(row, column);
    // As it is, which after a removal it usually is: the grid selects one cell at a time.
    if (cell == currentIndex() && selectionModel()->isSelected(cell))
        return;
    selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect);
}

void DataGrid::dropEditor()
{
    if (editorOpen())
        if (QWidget* editor = indexWidget(currentIndex()))
            QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void DataGrid::dropEditorOfRemoved(int record)
{
    // The model is about to show the next record in the removed one's row: an editor there
    // is for the removed record, and goes unwritten, as a view drops a removed row's editor.
    const int row = model_->rowOf(record);
    if (row >= 0 && currentIndex().row() == row)
        dropEditor();
}

void DataGrid::showFrom(int first)
{
    const int page = visibleRows();
    first_ = std::clamp(first, 0, std::max(model_->records() - page, 0));
    // The window holds the page shown, the row shown in part below it, and more on
    // either side, so that moving in the page never moves the window.
    if (first_ < model_->top() || first_ + page + 1 > model_->top() + model_->window())
        model_->setTop(first_ - (model_->window() - page) / 2);
    const GridInteraction::During syncing(interaction_, GridInteraction::Work::SyncingScrollBar);
    QScrollBar* bar = verticalScrollBar();
    const int last = std::max(model_->records() - page, 0);
    // When the bar stays as shown or as hidden and keeps its value, the scroll area need
    // not hear of it, and telling it costs a posted event a removal.
    std::optional<QSignalBlocker> quiet;
    if ((bar->maximum() > 0) == (last > 0) && bar->value() <= last)
        quiet.emplace(bar);
    bar->setRange(0, last);
    quiet.reset();
    bar->setPageStep(page);
    bar->setSingleStep(1);
    bar->setValue(first_);
    // Drawn again only when other rows come into view: a changed row, or a window moved
    // under the view, is the model's to tell, and a removal tells it already.
    QHeaderView* rows = verticalHeader();
    const int offset = rows->offset();
    rows->setOffsetToSectionPosition(model_->rowOf(first_));
    if (rows->offset() != offset)
        viewport()->update();
}

void DataGrid::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (index.isValid() && active() && !interaction_.inWork(GridInteraction::Work::KeepingRows)) {
        const int row = model_->recordAt(index.row());
        const int page = visibleRows();
        if (hint == PositionAtTop || (hint == EnsureVisible && row < first_))
            showFrom(row);
        else if (hint == PositionAtBottom || (hint == EnsureVisible && row >= first_ + page))
            showFrom(row - page + 1);
        else if (hint == PositionAtCenter)
            showFrom(row - page / 2);
    }
    {
        // The view's own scrolling places the columns; the rows stay where they are.
        const GridInteraction::During syncing(interaction_, GridInteraction::Work::SyncingScrollBar);
        QTableView::scrollTo(index, hint);
    }
    showFrom(first_);
}

void DataGrid::scrollContentsBy(int dx, int dy)
{
    if (dy != 0 && !interaction_.inWork(GridInteraction::Work::SyncingScrollBar)) {
        // Scrolled by the user: an open editor hands its text to its row first.
        const int first = verticalScrollBar()->value();
        if (closeOpenEditor()) {
            const int top = model_->top();
            showFrom(first);
            if (model_->top() != top)
                placeCurrentCell(false);
        } else {
            showFrom(first_);
        }
        updateEditorGeometries();
    }
    QTableView::scrollContentsBy(dx, 0);
}

void DataGrid::updateGeometries()
{
    {
        const GridInteraction::During syncing(interaction_, GridInteraction::Work::SyncingScrollBar);
        QTableView::updateGeometries();
    }
    showFrom(first_);
}

void DataGrid::resizeEvent(QResizeEvent* e)
{
    model_->setWindow(windowRows());
    QTableView::resizeEvent(e);
}

int DataGrid::windowRows() const
{
    return std::max(256, 4 * visibleRows());
}

int DataGrid::visibleRows() const
{
    return std::max(1, viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()));
}

int DataGrid::lastVisualColumn() const
{
    return horizontalHeader()->count() - 1;
}

// ---- focus and Tab ----

bool DataGrid::event(QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab)
            && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(k);
            return true;
        }
    }
    return QTableView::event(e);
}

bool DataGrid::focusNextPrevChild(bool next)
{
    tabMove(next);
    return true;
}

void DataGrid::focusInEvent(QFocusEvent* e)
{
    interaction_.focusIn(e->reason() == Qt::MouseFocusReason);
    QTableView::focusInEvent(e);
}

void DataGrid::focusOutEvent(QFocusEvent* e)
{
    interaction_.focusOut();
    QTableView::focusOutEvent(e);
}

// A void press may land on a title, the indicator or a scroll bar instead of a cell.
bool DataGrid::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick)
        interaction_.pressedElsewhere();
    return QTableView::eventFilter(watched, e);
}

// A focused masked field that may not be left gets its own complaint, and the grid
// then does nothing with the press.
bool DataGrid::mayTakeFocusFromField() const
{
    auto* field = qobject_cast<MaskedEdit*>(QApplication::focusWidget());
    return !field || field->checkMaskOnLeave();
}

// ---- mouse ----

void DataGrid::mousePressEvent(QMouseEvent* e)
{
    pressCell(e, false);
}

void DataGrid::mouseDoubleClickEvent(QMouseEvent* e)
{
    // The second press of a double click never opens the editor, so its release is a
    // click again.
    pressCell(e, true);
}

void DataGrid::pressCell(QMouseEvent* e, bool doubleClick)
{
    e->accept();
    if (!interaction_.pressBegins())
        return;
    if (!mayTakeFocusFromField())
        return;
    if (e->button() == Qt::RightButton)
        interaction_.armMenu();
    if (!active())
        return;
    const QModelIndex index = indexAt(e->position().toPoint());
    if (!index.isValid() || !closeOpenEditor())
        return;
    const bool onCurrent = index == currentIndex();
    if (model_->isRecord(index.row()) && !guarded([&] { dataSet()->moveTo(model_->recordAt(index.row())); }))
        return;
    column_ = index.column();
    syncCurrentCell();
    if (e->button() != Qt::LeftButton)
        return;
    if (onCurrent && !doubleClick)
        openEditor();
    else
        interaction_.armClick();
}

void DataGrid::mouseMoveEvent(QMouseEvent* e)
{
    // No drag selection: the grid has one current cell.
    e->accept();
}

void DataGrid::mouseReleaseEvent(QMouseEvent* e)
{
    e->accept();
    if (e->button() != Qt::LeftButton || !interaction_.takeClick())
        return;
    if (!indexAt(e->position().toPoint()).isValid() || editorOpen())
        return;
    const int column = column_;
    guarded([&] { emit cellClick(column); });
}

void DataGrid::contextMenuEvent(QContextMenuEvent* e)
{
    e->accept();
    if (e->reason() == QContextMenuEvent::Mouse) {
        // Only a right press the grid took (not one a masked field refused).
        if (!interaction_.takeMenu())
            return;
    }
    if (!popupMenu_)
        return;
    const QPoint at = e->reason() == QContextMenuEvent::Mouse
        ? e->globalPos()
        : viewport()->mapToGlobal(visualRect(currentIndex()).center());
    popupMenu_->popup(at);
}

// ---- editing ----

bool DataGrid::mayEdit() const
{
    const ClientDataSet* set = dataSet();
    return set && source_ && (source_->autoEdit() || set->state() != ClientDataSet::State::Browse);
}

void DataGrid::openEditor(QKeyEvent* typed)
{
    const QModelIndex index = currentIndex();
    if (!active() || !mayEdit() || !(model_->flags(index) & Qt::ItemIsEditable) || editorOpen())
        return;
    if (typed)
        QTableView::edit(index, AnyKeyPressed, typed);
    else
        edit(index);
}

void DataGrid::editorEdited()
{
    ClientDataSet* set = dataSet();
    if (set && set->state() == ClientDataSet::State::Browse)
        guarded([set] { set->edit(); });
}

bool DataGrid::writeCell(int column, const QString& text)
{
    ClientDataSet* set = dataSet();
    // A refusal shown in a dialog takes the focus from the editor, which hands its text
    // over once more; that second attempt is no news.
    if (interaction_.inWork(GridInteraction::Work::WritingCell))
        return false;
    if (!active() || column >= set->fieldCount() || set->currentRow() < 0)
        return true;
    if (text == set->cellText(set->currentRow(), column))
        return true;
    const GridInteraction::During writing(interaction_, GridInteraction::Work::WritingCell);
    return guarded([&] {
        if (set->state() == ClientDataSet::State::Browse)
            set->edit();
        set->setFieldText(column, text);
    });
}

// Hands the open editor's text to the row; false when the row refused it (the editor
// then stays open).
bool DataGrid::closeOpenEditor()
{
    if (!editorOpen())
        return true;
    auto* editor = qobject_cast<QLineEdit*>(indexWidget(currentIndex()));
    if (!editor)
        return true;
    if (!writeCell(column_, editor->text()))
        return false;
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

void DataGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    const bool next = hint == QAbstractItemDelegate::EditNextItem;
    const bool previous = hint == QAbstractItemDelegate::EditPreviousItem;
    QTableView::closeEditor(editor, next || previous ? QAbstractItemDelegate::NoHint : hint);
    if (next || previous)
        tabMove(next);
}

// ---- keyboard ----

void DataGrid::keyPressEvent(QKeyEvent* e)
{
    e->accept();
    if (!active()) {
        if (e->key() != Qt::Key_Tab && e->key() != Qt::Key_Backtab)
            e->ignore();
        return;
    }
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    const ClientDataSet* set = dataSet();
    const int row = set->currentRow();
    switch (e->key()) {
    case Qt::Key_Up:
        moveRow(row - 1);
        return;
    case Qt::Key_Down:
        if (set->eof())
            appendRow();
        else
            moveRow(row + 1);
        return;
    case Qt::Key_PageUp:
        moveRow(row - visibleRows());
        return;
    case Qt::Key_PageDown:
        moveRow(row + visibleRows());
        return;
    case Qt::Key_Home:
        moveRow(0);
        return;
    case Qt::Key_End:
        moveRow(set->recordCount() - 1);
        return;
    case Qt::Key_Left:
        moveColumn(-1);
        return;
    case Qt::Key_Right:
        moveColumn(1);
        return;
    case Qt::Key_Tab:
        tabMove(!(mods & Qt::ShiftModifier));
        return;
    case Qt::Key_Backtab:
        tabMove(false);
        return;
    case Qt::Key_F2:
    case Qt::Key_Enter:
    case Qt::Key_Return:
        openEditor();
        return;
    case Qt::Key_Escape:
        if (!editorOpen() && set->state() != ClientDataSet::State::Browse)
            guarded([this] { dataSet()->cancel(); });
        return;
    case Qt::Key_Insert:
        if (mods == Qt::NoModifier && closeOpenEditor())
            guarded([this] { dataSet()->insert(); });
        return;
    case Qt::Key_Delete:
        if (mods == Qt::ControlModifier)
            deleteWithQuestion();
        else
            e->ignore();
        return;
    default:
        break;
    }
    const QString text = e->text();
    if (!text.isEmpty() && text.at(0).isPrint() && !(mods & (Qt::ControlModifier | Qt::AltModifier)))
        openEditor(e);
    else
        e->ignore();
}

void DataGrid::moveRow(int row)
{
    ClientDataSet* set = dataSet();
    if (!closeOpenEditor() || set->recordCount() == 0)
        return;
    guarded([&] { set->moveTo(std::clamp(row, 0, set->recordCount() - 1)); });
}

void DataGrid::moveColumn(int visualStep)
{
    if (!closeOpenEditor())
        return;
    const int visual = std::clamp(horizontalHeader()->visualIndex(column_) + visualStep, 0, lastVisualColumn());
    column_ = horizontalHeader()->logicalIndex(visual);
    syncCurrentCell();
}

// Cell to cell in the shown column order, wrapping to the next or previous row; past
// the last cell of the last row a new row is appended.
void DataGrid::tabMove(bool forward)
{
    if (!active() || !closeOpenEditor())
        return;
    const ClientDataSet* set = dataSet();
    const int visual = horizontalHeader()->visualIndex(column_);
    int target = visual + (forward ? 1 : -1);
    if (target < 0 || target > lastVisualColumn()) {
        const int row = set->currentRow();
        if (forward) {
            if (set->eof() ? !appendRow() : !guarded([this, row] { dataSet()->moveTo(row + 1); }))
                return;
            target = 0;
        } else {
            if (row <= 0 || !guarded([this, row] { dataSet()->moveTo(row - 1); }))
                return;
            target = lastVisualColumn();
        }
    }
    column_ = horizontalHeader()->logicalIndex(target);
    syncCurrentCell();
}

// A new row after the last; a new row still untouched is not followed by another.
bool DataGrid::appendRow()
{
    ClientDataSet* set = dataSet();
    if (!closeOpenEditor())
        return false;
    if (set->state() == ClientDataSet::State::Insert && !set->modified() && set->eof())
        return true;
    return guarded([set] { set->append(); });
}

void DataGrid::deleteWithQuestion()
{
    ClientDataSet* set = dataSet();
    if (!closeOpenEditor() || set->isEmpty() || !deleteQuestion_)
        return;
    bool yes = false;
    if (guarded([&] { yes = deleteQuestion_(); }) && yes)
        guarded([set] { set->deleteRecord(); });
}

} // namespace kordane
