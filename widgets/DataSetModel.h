#pragma once
// The day result set as a table model over a window of its records: up to `window`
// records from `top`. The views (and the row headers, which keep something per row) only
// ever hold the window's rows, so a load, a removal, an insertion or a scroll costs the
// same for ten records as for a million. Sets smaller than the window are shown whole,
// row for record. Cells are read straight from the result set. The set tells about a
// change once it is in place; the model keeps its own row count so that the views still
// see the old shape between the begin and end notifications.
//
// A closed set shows one empty column and no rows; an open set without rows shows one
// blank placeholder row that is no record.
#include "data/resultset/ClientDataSet.h"

#include <QAbstractTableModel>
#include <QPointer>

namespace kordane {

class DataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // What the indicator shows beside the current row (UserRole of the vertical header).
    enum class Indicator { None,
                           Current,
                           Edit,
                           Insert };
    static constexpr int IndicatorRole = Qt::UserRole;

    explicit DataSetModel(QObject* parent = nullptr);

    void setDataSet(ClientDataSet* dataSet);
    ClientDataSet* dataSet() const { return dataSet_; }
    bool active() const;
    // Of a row of the model.
    bool isRecord(int row) const { return active() && row >= 0 && row < shown_ && top_ + row < records_; }
    int recordAt(int row) const { return top_ + row; }
    int rowOf(int record) const { return record - top_; }
    int records() const { return records_; }

    // The window: its first record, and how many records it holds at most.
    int top() const { return top_; }
    int window() const { return window_; }
    // Moves the window (kept within the records); its rows then stand for other records.
    void setTop(int top);
    void setWindow(int rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The indicator of these rows is to be drawn again. Not told as a change of header
    // data: views lay out every row again on that, which a move of the current row
    // must not cost.
    void indicatorsChanged(int first, int last);

private:
    void reset();
    void onRowChanged(int record);
    void onRowInserted(int record);
    void onRowRemoved(int record);
    void onFieldChanged(int column);
    void refreshRows(int first, int last);
    void refreshIndicators();
    // After rows moved under it: the indicator may have moved with them.
    void refreshAllIndicators();
    int indicatorRow() const; // -1 when no shown row is current
    Indicator currentIndicator() const; // what the current row shows
    void noteIndicated(); // the header now shows the indicator as it stands
    // Rows added or dropped at the window's end until it holds what it should.
    void fill();
    int wanted() const;

    QPointer<ClientDataSet> dataSet_;
    int records_ = 0;
    int columns_ = 1;
    int top_ = 0;
    int window_ = 256;
    int shown_ = 0; // rows of the window, as the views know them
    int indicated_ = -1; // the row the header was last told shows the indicator
    Indicator indicatedKind_ = Indicator::None; // and what it shows there
};

} // namespace kordane
