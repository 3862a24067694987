#include "DataSetModel.h"

#include "ClientDataSet.h"

#include <algorithm>

namespace kordane {

TDataSetModel::TDataSetModel(QObject* parent) : QAbstractTableModel(parent) {}

void TDataSetModel::setDataSet(TClientDataSet* dataSet)
{
    if (dataSet == dataSet_)
        return;
    if (dataSet_)
        disconnect(dataSet_, nullptr, this, nullptr);
    dataSet_ = dataSet;
    if (dataSet_) {
        connect(dataSet_, &TClientDataSet::rowsReset, this, &TDataSetModel::reset);
        connect(dataSet_, &TClientDataSet::rowChanged, this, &TDataSetModel::onRowChanged);
        connect(dataSet_, &TClientDataSet::rowInserted, this, &TDataSetModel::onRowInserted);
        connect(dataSet_, &TClientDataSet::rowRemoved, this, &TDataSetModel::onRowRemoved);
        connect(dataSet_, &TClientDataSet::currentRowChanged, this, &TDataSetModel::onCurrentRowChanged);
        connect(dataSet_, &TClientDataSet::stateChanged, this, &TDataSetModel::onStateChanged);
        connect(dataSet_, &TClientDataSet::fieldChanged, this, &TDataSetModel::onFieldChanged);
        connect(dataSet_, &QObject::destroyed, this, [this] { reset(); });
    }
    reset();
}

bool TDataSetModel::active() const
{
    return dataSet_ && dataSet_->active();
}

void TDataSetModel::reset()
{
    beginResetModel();
    records_ = active() ? dataSet_->recordCount() : 0;
    columns_ = active() ? std::max(dataSet_->fieldCount(), 1) : 1;
    indicatorRow_ = active() ? dataSet_->currentRow() : -1;
    endResetModel();
}

int TDataSetModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !active())
        return 0;
    return std::max(records_, 1);
}

int TDataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns_;
}

QVariant TDataSetModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    if (!isRecord(index.row()) || index.column() >= dataSet_->fieldCount())
        return QString();
    return dataSet_->cellText(index.row(), index.column());
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (role != Qt::DisplayRole)
            return {};
        if (!active() || section >= dataSet_->fieldCount())
            return QString();
        return dataSet_->field(section).displayLabel();
    }
    if (role == Qt::DisplayRole)
        return QString();
    if (role != IndicatorRole)
        return {};
    if (section != indicatorRow_ || !active())
        return static_cast<int>(Indicator::None);
    switch (dataSet_->state()) {
    case TClientDataSet::State::Edit:
        return static_cast<int>(Indicator::Edit);
    case TClientDataSet::State::Insert:
        return static_cast<int>(Indicator::Insert);
    default:
        return static_cast<int>(Indicator::Current);
    }
}

Qt::ItemFlags TDataSetModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (isRecord(index.row()) && index.column() < dataSet_->fieldCount())
        f |= Qt::ItemIsEditable;
    return f;
}

void TDataSetModel::refreshRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    emit dataChanged(index(row, 0), index(row, columns_ - 1), {Qt::DisplayRole, Qt::EditRole});
}

void TDataSetModel::refreshIndicator(int row)
{
    if (row >= 0 && row < rowCount())
        emit headerDataChanged(Qt::Vertical, row, row);
}

void TDataSetModel::onRowChanged(int row)
{
    refreshRow(row);
}

void TDataSetModel::onRowInserted(int row)
{
    if (records_ == 0) {
        // The placeholder becomes the new record.
        records_ = 1;
        refreshRow(0);
        return;
    }
    beginInsertRows({}, row, row);
    ++records_;
    if (indicatorRow_ >= row)
        ++indicatorRow_;
    endInsertRows();
}

void TDataSetModel::onRowRemoved(int row)
{
    if (records_ == 1) {
        // The last record leaves the placeholder behind.
        records_ = 0;
        refreshRow(0);
        return;
    }
    beginRemoveRows({}, row, row);
    --records_;
    if (indicatorRow_ > row)
        --indicatorRow_;
    else if (indicatorRow_ == row)
        indicatorRow_ = -1;
    endRemoveRows();
}

void TDataSetModel::onCurrentRowChanged(int row)
{
    const int old = indicatorRow_;
    indicatorRow_ = row;
    refreshIndicator(old);
    refreshIndicator(row);
}

void TDataSetModel::onStateChanged()
{
    refreshIndicator(indicatorRow_);
}

void TDataSetModel::onFieldChanged(int column)
{
    if (column >= 0 && column < columns_)
        emit headerDataChanged(Qt::Horizontal, column, column);
}

} // namespace kordane
