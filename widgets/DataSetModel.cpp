#include "widgets/DataSetModel.h"

#include "data/resultset/ClientDataSet.h"

#include <algorithm>

namespace kordane {

namespace {

// Built once: a list made for every change would cost an allocation a removal.
const QList<int>& shownRoles()
{
    static const QList<int> roles {Qt::DisplayRole, Qt::EditRole};
    return roles;
}

} // namespace

DataSetModel::DataSetModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void DataSetModel::setDataSet(ClientDataSet* dataSet)
{
    if (dataSet == dataSet_)
        return;
    if (dataSet_)
        disconnect(dataSet_, nullptr, this, nullptr);
    dataSet_ = dataSet;
    if (dataSet_) {
        connect(dataSet_, &ClientDataSet::rowsReset, this, &DataSetModel::reset);
        connect(dataSet_, &ClientDataSet::rowChanged, this, &DataSetModel::onRowChanged);
        connect(dataSet_, &ClientDataSet::rowInserted, this, &DataSetModel::onRowInserted);
        connect(dataSet_, &ClientDataSet::rowRemoved, this, &DataSetModel::onRowRemoved);
        connect(dataSet_, &ClientDataSet::currentRowChanged, this, &DataSetModel::refreshIndicators);
        connect(dataSet_, &ClientDataSet::stateChanged, this, &DataSetModel::refreshIndicators);
        connect(dataSet_, &ClientDataSet::fieldChanged, this, &DataSetModel::onFieldChanged);
        connect(dataSet_, &QObject::destroyed, this, [this] { reset(); });
    }
    reset();
}

bool DataSetModel::active() const
{
    return dataSet_ && dataSet_->active();
}

int DataSetModel::wanted() const
{
    return active() ? std::clamp(std::max(records_, 1) - top_, 0, window_) : 0;
}

void DataSetModel::reset()
{
    beginResetModel();
    records_ = active() ? dataSet_->recordCount() : 0;
    columns_ = active() ? std::max(dataSet_->fieldCount(), 1) : 1;
    top_ = 0;
    shown_ = wanted();
    endResetModel();
    noteIndicated();
}

void DataSetModel::fill()
{
    const int rows = wanted();
    if (rows < shown_) {
        beginRemoveRows({}, rows, shown_ - 1);
        shown_ = rows;
        endRemoveRows();
    } else if (rows > shown_) {
        beginInsertRows({}, shown_, rows - 1);
        shown_ = rows;
        endInsertRows();
    }
}

void DataSetModel::setTop(int top)
{
    top = std::clamp(top, 0, std::max(records_ - window_, 0));
    if (top == top_)
        return;
    top_ = top;
    fill();
    refreshRows(0, shown_ - 1);
}

void DataSetModel::setWindow(int rows)
{
    rows = std::max(rows, 1);
    if (rows == window_)
        return;
    window_ = rows;
    top_ = std::clamp(top_, 0, std::max(records_ - window_, 0));
    fill();
    refreshRows(0, shown_ - 1);
}

int DataSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : shown_;
}

int DataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns_;
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    if (!isRecord(index.row()) || index.column() >= dataSet_->fieldCount())
        return QString();
    return dataSet_->cellText(recordAt(index.row()), index.column());
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
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
    if (!isRecord(section) || recordAt(section) != dataSet_->currentRow())
        return static_cast<int>(Indicator::None);
    return static_cast<int>(currentIndicator());
}

DataSetModel::Indicator DataSetModel::currentIndicator() const
{
    if (!active())
        return Indicator::None;
    switch (dataSet_->state()) {
    case ClientDataSet::State::Edit:
        return Indicator::Edit;
    case ClientDataSet::State::Insert:
        return Indicator::Insert;
    default:
        return Indicator::Current;
    }
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (isRecord(index.row()) && index.column() < dataSet_->fieldCount())
        f |= Qt::ItemIsEditable;
    return f;
}

void DataSetModel::refreshRows(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, shown_ - 1);
    if (first > last)
        return;
    emit dataChanged(index(first, 0), index(last, columns_ - 1), shownRoles());
    emit indicatorsChanged(first, last);
    noteIndicated();
}

void DataSetModel::noteIndicated()
{
    indicated_ = indicatorRow();
    indicatedKind_ = currentIndicator();
}

int DataSetModel::indicatorRow() const
{
    const int row = active() ? rowOf(dataSet_->currentRow()) : -1;
    return isRecord(row) ? row : -1;
}

// Only the row that showed the indicator and the row that shows it now: the current row
// moves with every key. A removal usually leaves the indicator as it was drawn, in the
// same row, and then nothing is told.
void DataSetModel::refreshIndicators()
{
    const int row = indicatorRow();
    const Indicator kind = currentIndicator();
    if (row == indicated_ && kind == indicatedKind_)
        return;
    if (indicated_ >= 0 && indicated_ < shown_ && indicated_ != row)
        emit indicatorsChanged(indicated_, indicated_);
    if (row >= 0)
        emit indicatorsChanged(row, row);
    indicated_ = row;
    indicatedKind_ = kind;
}

void DataSetModel::refreshAllIndicators()
{
    if (shown_ > 0)
        emit indicatorsChanged(0, shown_ - 1);
    noteIndicated();
}

void DataSetModel::onRowChanged(int record)
{
    const int row = rowOf(record);
    refreshRows(row, row);
}

void DataSetModel::onRowInserted(int record)
{
    records_ = dataSet_->recordCount();
    if (records_ == 1) {
        // The placeholder becomes the new record.
        refreshRows(0, 0);
        return;
    }
    const int row = rowOf(record);
    if (row < 0) {
        // Above the window: it keeps showing the same records.
        ++top_;
        return;
    }
    if (row <= shown_ && row < window_) {
        beginInsertRows({}, row, row);
        ++shown_;
        endInsertRows();
    }
    fill();
    refreshAllIndicators();
}

void DataSetModel::onRowRemoved(int record)
{
    records_ = dataSet_->recordCount();
    if (records_ == 0) {
        // The last record leaves the placeholder behind.
        refreshRows(0, 0);
        return;
    }
    const int row = rowOf(record);
    if (row < 0) {
        --top_;
        return;
    }
    if (row >= shown_)
        return;
    if (wanted() == shown_) {
        // A record from below the window takes the freed place: the rows stay and show
        // the records that moved up, which spares the views a removal and an insertion.
        // The indicators follow with the current row, which every removal tells again.
        emit dataChanged(index(row, 0), index(shown_ - 1, columns_ - 1), shownRoles());
        return;
    }
    beginRemoveRows({}, row, row);
    --shown_;
    endRemoveRows();
    refreshAllIndicators();
}

void DataSetModel::onFieldChanged(int column)
{
    if (column >= 0 && column < columns_)
        emit headerDataChanged(Qt::Horizontal, column, column);
}

} // namespace kordane
