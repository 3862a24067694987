#include "data/resultset/ClientDataSet.h"

#include "data/resultset/DataSetProvider.h"
#include "data/resultset/RecordStore.h"

#include <algorithm>

namespace kordane {

// ---- DataField ----

DataField::DataField(ClientDataSet& dataSet, int index, QString name, const dbx::ColumnInfo& info)
    : dataSet_(dataSet)
    , index_(index)
    , name_(std::move(name))
    , info_(info)
    , displayLabel_(name_)
    , displayWidth_(std::max(info.size, 0))
{
}

void DataField::setDisplayLabel(const QString& label)
{
    if (label == displayLabel_)
        return;
    displayLabel_ = label;
    emit dataSet_.fieldChanged(index_);
}

bool DataField::isNull() const
{
    return dataSet_.current_ < 0 || dataSet_.cellIsNull(dataSet_.current_, index_);
}

QString DataField::asString() const
{
    return dataSet_.current_ < 0 ? QString() : dataSet_.cellText(dataSet_.current_, index_);
}

// ---- ClientDataSet ----

ClientDataSet::ClientDataSet(QString name, QObject* parent)
    : QObject(parent)
    , Component(std::move(name))
{
    setObjectName(this->name());
}

ClientDataSet::~ClientDataSet() = default;

void ClientDataSet::fail(const QString& message) const
{
    throw EDatabaseError(componentMessage(name(), message));
}

void ClientDataSet::requireActive() const
{
    if (!active())
        fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void ClientDataSet::requireEditing() const
{
    if (!editing())
        fail(QStringLiteral("Dataset not in edit or insert mode"));
}

void ClientDataSet::setState(State state)
{
    if (state == state_)
        return;
    state_ = state;
    emit stateChanged(state);
}

void ClientDataSet::setCurrent(int row)
{
    if (row == current_)
        return;
    current_ = row;
    emit currentRowChanged(row);
}

void ClientDataSet::open()
{
    if (active())
        return;
    if (!provider_)
        fail(QStringLiteral("Missing data provider or data packet"));
    DataPacket packet = provider_->getRecords(commandText_);

    columns_ = std::move(packet.columns);
    store_ = std::make_unique<RecordStore>(std::move(packet.rows));
    codec_ = std::move(packet.codec);
    localeId_ = packet.localeId;
    fields_.clear();
    for (std::size_t i = 0; i < columns_.size(); ++i)
        fields_.push_back(std::make_unique<DataField>(*this, static_cast<int>(i), columns_[i].name, columns_[i].info));
    current_ = store_->rowCount() > 0 ? 0 : -1;
    state_ = State::Browse;
    emit rowsReset();
    emit stateChanged(state_);
    emit currentRowChanged(current_);
    if (afterOpen_)
        afterOpen_(*this);
}

void ClientDataSet::close()
{
    if (!active())
        return;
    buffer_.clear();
    modified_ = false;
    applyErrors_.clear();
    fields_.clear();
    columns_.clear();
    store_.reset();
    codec_.reset();
    localeId_ = 0;
    current_ = -1;
    state_ = State::Inactive;
    if (provider_)
        provider_->reset();
    emit rowsReset();
    emit stateChanged(state_);
    emit currentRowChanged(current_);
}

int ClientDataSet::recordCount() const
{
    if (!store_)
        return 0;
    return store_->rowCount() + (state_ == State::Insert ? 1 : 0);
}

void ClientDataSet::moveTo(int row)
{
    requireActive();
    if (row == current_)
        return;
    if (editing()) {
        const int before = recordCount();
        const int from = current_;
        checkBrowseMode();
        if (recordCount() < before && row > from)
            --row; // the abandoned new row no longer stands before the target
    }
    const int count = recordCount();
    if (count == 0)
        return;
    setCurrent(std::clamp(row, 0, count - 1));
}

DataField* ClientDataSet::findField(const QString& name) const
{
    for (const auto& field : fields_)
        if (field->fieldName().compare(name, Qt::CaseInsensitive) == 0)
            return field.get();
    return nullptr;
}

DataField& ClientDataSet::fieldByName(const QString& name) const
{
    DataField* field = findField(name);
    if (!field)
        fail(QStringLiteral("Field '%1' not found").arg(name));
    return *field;
}

std::optional<std::string_view> ClientDataSet::value(int row, int column) const
{
    if (editing() && row == current_) {
        const auto& v = buffer_[static_cast<std::size_t>(column)];
        if (!v)
            return std::nullopt;
        return std::string_view(v->constData(), static_cast<std::size_t>(v->size()));
    }
    if (state_ == State::Insert && row > current_)
        --row;
    return store_->cell(row, column);
}

QString ClientDataSet::cellText(int row, int column) const
{
    const auto v = value(row, column);
    return v ? codec_->decode(*v) : QString();
}

bool ClientDataSet::cellIsNull(int row, int column) const
{
    return !value(row, column).has_value();
}

void ClientDataSet::edit()
{
    requireActive();
    if (editing())
        return;
    if (recordCount() == 0) {
        insert();
        return;
    }
    buffer_ = store_->rowValues(current_);
    modified_ = false;
    setState(State::Edit);
}

void ClientDataSet::insert()
{
    requireActive();
    checkBrowseMode();
    startInsert(std::max(current_, 0));
}

void ClientDataSet::append()
{
    requireActive();
    checkBrowseMode();
    startInsert(recordCount());
}

void ClientDataSet::startInsert(int at)
{
    buffer_.assign(columns_.size(), std::nullopt);
    modified_ = false;
    current_ = at;
    state_ = State::Insert;
    emit rowInserted(at);
    emit stateChanged(state_);
    emit currentRowChanged(at);
}

void ClientDataSet::setFieldText(int column, const QString& text)
{
    requireEditing();
    const DataField& field = *fields_.at(static_cast<std::size_t>(column));
    const bool textField = field.dataType() == dbx::FieldType::String || field.dataType() == dbx::FieldType::FixedString
        || field.dataType() == dbx::FieldType::Memo;
    std::optional<QByteArray> bytes;
    if (!text.isEmpty() || textField) {
        bytes = codec_->encode(text);
        if (textField && field.dataType() != dbx::FieldType::Memo && field.size() > 0 && bytes->size() > field.size())
            fail(QStringLiteral("Value too long for field '%1'").arg(field.fieldName()));
    }
    buffer_[static_cast<std::size_t>(column)] = std::move(bytes);
    modified_ = true;
    emit rowChanged(current_);
}

// Leaves edit or insert state; stateChanged follows once the rows are in place.
void ClientDataSet::endEditing()
{
    buffer_.clear();
    modified_ = false;
    state_ = State::Browse;
}

void ClientDataSet::post()
{
    requireEditing();
    const int row = current_;
    if (state_ == State::Insert) {
        const bool given = std::any_of(buffer_.begin(), buffer_.end(), [](const auto& v) { return v.has_value(); });
        if (!given) {
            cancel();
            return;
        }
        store_->insertRow(row, buffer_);
    } else {
        store_->modifyRow(row, buffer_);
    }
    endEditing();
    emit rowChanged(row);
    emit stateChanged(state_);
}

void ClientDataSet::cancel()
{
    if (!editing())
        return;
    const int row = current_;
    const bool abandonRow = state_ == State::Insert;
    endEditing();
    if (abandonRow) {
        emit rowRemoved(row);
        moveAfterRemoval(row);
    } else {
        emit rowChanged(row);
    }
    emit stateChanged(state_);
}

// The row at the removed one's place (the last one when it was last) becomes current.
void ClientDataSet::moveAfterRemoval(int row)
{
    current_ = std::min(row, recordCount() - 1);
    emit currentRowChanged(current_);
}

void ClientDataSet::checkBrowseMode()
{
    if (!editing())
        return;
    if (modified_)
        post();
    else
        cancel();
}

void ClientDataSet::deleteRecord()
{
    requireActive();
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    cancel();
    if (store_->rowCount() == 0)
        fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    const int row = current_;
    store_->deleteRow(row);
    emit rowRemoved(row);
    moveAfterRemoval(row);
}

ClientDataSet::RowId ClientDataSet::currentRowId() const
{
    if (!store_ || current_ < 0 || state_ == State::Insert || current_ >= store_->rowCount())
        return noRow;
    return store_->rowId(current_);
}

void ClientDataSet::revertRow(RowId id)
{
    if (!store_ || id == noRow)
        return;
    cancel();
    const RecordStore::Reverted reverted = store_->revert(id);
    using What = RecordStore::Reverted::What;
    switch (reverted.what) {
    case What::Nothing:
        return;
    case What::Changed:
        emit rowChanged(reverted.row);
        return;
    case What::Hidden:
        emit rowRemoved(reverted.row);
        moveAfterRemoval(reverted.row);
        return;
    case What::Shown:
        emit rowInserted(reverted.row);
        // Told even when the number is the one it had: the row under it is another.
        current_ = reverted.row;
        emit currentRowChanged(current_);
        return;
    }
}

int ClientDataSet::changeCount() const
{
    return store_ ? store_->changeCount() : 0;
}

int ClientDataSet::applyUpdates(int maxErrors)
{
    if (!active())
        return 0;
    checkBrowseMode();
    if (store_->changeCount() == 0)
        return 0;
    if (!provider_)
        fail(QStringLiteral("Missing data provider or data packet"));
    const ApplyResult result = provider_->applyUpdates(DeltaPacket {columns_, store_->delta()}, maxErrors);
    std::vector<RowId> failed;
    applyErrors_.clear();
    for (const UpdateError& error : result.errors) {
        failed.push_back(store_->changedRow(error.change));
        applyErrors_ << error.message;
    }
    store_->merge(result.applied);
    for (RowId id : failed)
        revertRow(id);
    return result.errorCount;
}

} // namespace kordane
