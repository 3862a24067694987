#pragma once
// A data grid bound to the day result set through a data source: one column per field,
// titled by the field's display label, an indicator column marking the current row,
// and in-place editing of the current cell.
//
// Mouse: a press of any button on a data row makes that row current first. The left
// button's release over a data cell emits cellClick, except when the press fell on the
// current cell: that press opens the cell editor instead. Keys move, edit, insert,
// append and delete rows; Tab and Shift+Tab move from cell to cell and never leave.
// A press whose focus move reloads the result set (the field being left looks something
// up) does nothing more: the rows under the pointer are not the ones that were clicked.
//
// The grid shows a window of the records (DataSetModel) and scrolls over all of them
// itself: the view and its row headers hold only the window's rows, so a removal, an
// insertion or a scroll costs the same for ten records as for a million. The scroll
// bar's value is the first record shown.
//
// What the result set raises inside the grid's own event handling goes to the error
// handler, so nothing escapes a Qt event.
#include "widgets/GridInteraction.h"

#include <QTableView>

#include <exception>
#include <functional>

class QMenu;

namespace kordane {

class DataSource;
class ClientDataSet;
class DataSetModel;

class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    void setDataSource(DataSource* source);
    void setTitleFont(const QFont& font);
    QFont titleFont() const;
    // Opened at the pointer by a right click, once the row under it is current.
    void setPopupMenu(QMenu* menu) { popupMenu_ = menu; }
    // Asked by Ctrl+Delete; true deletes. Without one, Ctrl+Delete deletes nothing.
    void setDeleteQuestion(std::function<bool()> question) { deleteQuestion_ = std::move(question); }
    // Receives what the result set raised during a mouse or key event; by default the
    // error is only logged.
    void setErrorHandler(std::function<void(std::exception_ptr)> handler) { errorHandler_ = std::move(handler); }

    // The field index of the current cell's column.
    int selectedColumn() const { return column_; }
    bool editorOpen() const { return state() == EditingState; }
    // Width a column gets at a load.
    int defaultColumnWidth(int column) const;
    // Scrolls the columns only: the rows shown follow the current row.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

signals:
    // The left button was released over a data cell (the column pressed).
    void cellClick(int column);

protected:
    bool event(QEvent* e) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;
    void resizeEvent(QResizeEvent* e) override;

private:
    class CellDelegate;
    friend class CellDelegate;

    ClientDataSet* dataSet() const;
    void bindDataSet(ClientDataSet* set);
    bool active() const;
    // Runs an action of the result set; what it raises goes to the error handler.
    bool guarded(const std::function<void()>& action);
    void reportError(std::exception_ptr error);

    void onRowsReset();
    void applyColumnLayout();
    void applyFontMetrics();
    // Makes the current row current in the view too, scrolled into the page.
    void syncCurrentCell();
    // Marks the current cell when the window holds it; `follow` scrolls to it.
    void placeCurrentCell(bool follow);
    // Closes an open editor without handing its text to the row.
    void dropEditor();
    void dropEditorOfRemoved(int record);
    // Shows the page from a record: the window around it, the scroll bar and the rows.
    void showFrom(int first);
    int windowRows() const;
    void pressCell(QMouseEvent* e, bool doubleClick);
    bool mayTakeFocusFromField() const;
    bool closeOpenEditor();
    void openEditor(QKeyEvent* typed = nullptr);
    bool mayEdit() const;
    // Called by the editor: the user changed its text, or it hands its text back.
    void editorEdited();
    bool writeCell(int column, const QString& text);

    void moveRow(int row);
    void moveColumn(int visualStep);
    void tabMove(bool forward);
    bool appendRow();
    void deleteWithQuestion();
    int visibleRows() const;
    int lastVisualColumn() const;

    DataSource* source_ = nullptr;
    DataSetModel* model_;
    QMenu* popupMenu_ = nullptr;
    std::function<bool()> deleteQuestion_;
    std::function<void(std::exception_ptr)> errorHandler_;
    int column_ = 0;
    int first_ = 0; // the first record shown
    GridInteraction interaction_;
};

} // namespace kordane
