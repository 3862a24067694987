#include "data/resultset/RecordStore.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace kordane {

RecordStore::RecordStore(int columnCount)
    : columns_(columnCount)
{
}

CellValue RecordStore::readCell(const char*& at)
{
    const auto first = static_cast<unsigned char>(*at++);
    if (first == nullMark)
        return std::nullopt;
    std::uint32_t length = first;
    if (first == longLength) {
        std::memcpy(&length, at, sizeof length);
        at += sizeof length;
    }
    const std::string_view bytes(at, length);
    at += length;
    return bytes;
}

void RecordStore::appendLongCell(const char* data, std::size_t length)
{
    if (length > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("value too large to hold in memory");
    const auto stored = static_cast<std::uint32_t>(length);
    char* const at = arena_.extend(1 + sizeof stored + length);
    *at = static_cast<char>(longLength);
    std::memcpy(at + 1, &stored, sizeof stored);
    std::memcpy(at + 1 + sizeof stored, data, length);
}

std::uint32_t RecordStore::endRecord()
{
    records_.push_back(arena_.finish());
    return static_cast<std::uint32_t>(records_.size() - 1);
}

void RecordStore::endRow()
{
    const std::uint32_t record = endRecord();
    visible_.push_back(static_cast<std::uint32_t>(rows_.size()));
    rows_.push_back({record, record});
    fetched_ = static_cast<std::uint32_t>(rows_.size());
}

CellValue RecordStore::value(std::uint32_t record, int column) const
{
    const char* at = arena_.at(records_[record]);
    for (int c = 0; c < column; ++c)
        (void)readCell(at);
    return readCell(at);
}

std::vector<CellValue> RecordStore::recordValues(std::uint32_t record) const
{
    // One walk along the record: each cell starts where the one before it ends.
    std::vector<CellValue> values;
    values.reserve(static_cast<std::size_t>(columns_));
    const char* at = arena_.at(records_[record]);
    for (int column = 0; column < columns_; ++column)
        values.push_back(readCell(at));
    return values;
}

std::vector<CellBytes> RecordStore::rowValues(int row) const
{
    std::vector<CellBytes> values;
    values.reserve(static_cast<std::size_t>(columns_));
    for (const CellValue& v : recordValues(rows_[visible_[static_cast<std::size_t>(row)]].current))
        values.push_back(v ? CellBytes(QByteArray(v->data(), static_cast<qsizetype>(v->size()))) : std::nullopt);
    return values;
}

std::uint32_t RecordStore::addRecord(const std::vector<CellBytes>& values)
{
    try {
        for (const CellBytes& v : values) {
            if (v)
                appendCell(v->constData(), static_cast<std::size_t>(v->size()));
            else
                appendNull();
        }
    } catch (...) {
        arena_.discard(); // the next record starts clean
        throw;
    }
    return endRecord();
}

bool RecordStore::sameValues(std::uint32_t record, const std::vector<CellBytes>& values) const
{
    const char* at = arena_.at(records_[record]);
    for (int column = 0; column < columns_; ++column) {
        const CellValue stored = readCell(at);
        const CellBytes& given = values[static_cast<std::size_t>(column)];
        if (stored.has_value() != given.has_value())
            return false;
        if (stored && *stored != std::string_view(given->constData(), static_cast<std::size_t>(given->size())))
            return false;
    }
    return true;
}

std::vector<RecordStore::LogEntry>::iterator RecordStore::findEntry(std::uint32_t row)
{
    return std::find_if(log_.begin(), log_.end(), [row](const LogEntry& e) { return e.row == row; });
}

void RecordStore::insertRow(int at, const std::vector<CellBytes>& values)
{
    const auto row = static_cast<std::uint32_t>(rows_.size());
    rows_.push_back({none, addRecord(values)});
    visible_.insert(visible_.begin() + at, row);
    log_.push_back({row, ChangeKind::Insert});
}

void RecordStore::modifyRow(int row, const std::vector<CellBytes>& values)
{
    const std::uint32_t id = visible_[static_cast<std::size_t>(row)];
    Row& r = rows_[id];
    if (sameValues(r.current, values))
        return;
    if (r.original != none && sameValues(r.original, values)) {
        r.current = r.original;
        log_.erase(findEntry(id));
        return;
    }
    r.current = addRecord(values);
    if (findEntry(id) == log_.end())
        log_.push_back({id, ChangeKind::Modify});
}

void RecordStore::deleteRow(int row)
{
    const std::uint32_t id = visible_[static_cast<std::size_t>(row)];
    visible_.erase(visible_.begin() + row);
    const auto entry = findEntry(id);
    if (rows_[id].original == none)
        log_.erase(entry);
    else if (entry != log_.end())
        entry->kind = ChangeKind::Delete;
    else
        log_.push_back({id, ChangeKind::Delete});
}

RecordStore::Reverted RecordStore::revert(std::uint32_t id)
{
    const auto entry = findEntry(id);
    if (entry == log_.end())
        return {};
    const ChangeKind kind = entry->kind;
    log_.erase(entry);
    const auto place = std::find(visible_.begin(), visible_.end(), id);
    if (kind == ChangeKind::Insert) {
        const int row = static_cast<int>(place - visible_.begin());
        visible_.erase(place);
        return {Reverted::What::Hidden, row};
    }
    rows_[id].current = rows_[id].original;
    if (kind == ChangeKind::Modify)
        return {Reverted::What::Changed, static_cast<int>(place - visible_.begin())};
    // Back among the fetched rows in fetch order (their ids grow with it); rows inserted
    // since keep their places.
    const auto before = std::find_if(visible_.begin(), visible_.end(), [&](std::uint32_t v) { return v > id && v < fetched_; });
    const int row = static_cast<int>(before - visible_.begin());
    visible_.insert(before, id);
    return {Reverted::What::Shown, row};
}

std::vector<DeltaRecord> RecordStore::delta() const
{
    std::vector<DeltaRecord> records;
    records.reserve(log_.size());
    for (const LogEntry& e : log_) {
        const Row& r = rows_[e.row];
        DeltaRecord d {e.kind, {}, {}};
        if (e.kind != ChangeKind::Insert)
            d.oldValues = recordValues(r.original);
        if (e.kind != ChangeKind::Delete)
            d.newValues = recordValues(r.current);
        records.push_back(std::move(d));
    }
    return records;
}

void RecordStore::merge(const std::vector<bool>& applied)
{
    std::vector<LogEntry> pending;
    for (std::size_t i = 0; i < log_.size(); ++i) {
        if (i < applied.size() && applied[i]) {
            Row& r = rows_[log_[i].row];
            r.original = r.current;
        } else {
            pending.push_back(log_[i]);
        }
    }
    log_ = std::move(pending);
}

} // namespace kordane
