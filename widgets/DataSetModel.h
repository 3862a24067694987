#pragma once
// The day result set as a table model. Cells are read straight from the result set, so
// a load costs nothing per row here. The set tells about a change once it is in place;
// the model keeps its own row count so that the views still see the old shape between
// the begin and end notifications.
//
// A closed set shows one empty column and no rows; an open set without rows shows one
// blank placeholder row that is no record.
#include "ClientDataSet.h"

#include <QAbstractTableModel>
#include <QPointer>

namespace kordane {


class TDataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // What the indicator shows beside the current row (UserRole of the vertical header).
    enum class Indicator { None, Current, Edit, Insert };
    static constexpr int IndicatorRole = Qt::UserRole;

    explicit TDataSetModel(QObject* parent = nullptr);

    void setDataSet(TClientDataSet* dataSet);
    TClientDataSet* dataSet() const { return dataSet_; }
    bool active() const;
    bool isPlaceholder(int row) const { return active() && records_ == 0 && row == 0; }
    bool isRecord(int row) const { return active() && row >= 0 && row < records_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void reset();
    void onRowChanged(int row);
    void onRowInserted(int row);
    void onRowRemoved(int row);
    void onCurrentRowChanged(int row);
    void onStateChanged();
    void onFieldChanged(int column);
    void refreshRow(int row);
    void refreshIndicator(int row);

    QPointer<TClientDataSet> dataSet_;
    int records_ = 0;
    int columns_ = 1;
    int indicatorRow_ = -1;
};

} // namespace kordane
