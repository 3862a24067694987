#pragma once
// The day result set's in-memory engine: rows as fetched, new values beside them for
// changed rows, and the ordered log of pending changes.
//
// Cell values are kept as the connection's bytes in a block arena, and decoded only
// when read. A record is its cells one after the other, each behind its length, in one
// place in the arena: a row costs its text, a byte a cell and a locator. Loading then
// writes little beyond the text, and reading a cell walks the few before it.
#include "data/resultset/BlockStorage.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <string_view>
#include <vector>

namespace kordane {

// A stored value: the bytes, or nullopt for null. Views stay valid until the store changes.
using CellValue = std::optional<std::string_view>;
// A value on its way into the store.
using CellBytes = std::optional<QByteArray>;

// Text to and from the bytes the store keeps.
class CellCodec {
public:
    virtual ~CellCodec() = default;
    virtual QString decode(std::string_view bytes) const = 0;
    // A character the connection's set cannot hold raises EDatabaseError.
    virtual QByteArray encode(const QString& text) const = 0;
};

enum class ChangeKind : std::uint8_t { Insert,
                                       Modify,
                                       Delete };

// One pending change as the provider sees it. An insert has no old values; a deletion
// has no new ones.
struct DeltaRecord {
    ChangeKind kind;
    std::vector<CellValue> oldValues;
    std::vector<CellValue> newValues;
};

class RecordStore {
public:
    explicit RecordStore(int columnCount = 0);

    int columnCount() const { return columns_; }

    // Loading, one fetched row after the other: a cell at a time, then endRow().
    void appendCell(const char* data, std::size_t length)
    {
        if (length >= longLength) {
            appendLongCell(data, length);
            return;
        }
        char* const at = arena_.extend(1 + length);
        *at = static_cast<char>(length);
        if (length != 0)
            std::memcpy(at + 1, data, length);
    }
    void appendNull() { *arena_.extend(1) = static_cast<char>(nullMark); }
    void endRow();

    // The visible rows (deleted ones hidden), with their current values.
    int rowCount() const { return static_cast<int>(visible_.size()); }
    CellValue cell(int row, int column) const { return value(rows_[visible_[row]].current, column); }
    std::vector<CellBytes> rowValues(int row) const;

    // Local changes, each joining the change log. A row carries one entry, at the place
    // of its first change: an insert edited later is still one insert, a modified row
    // deleted later is one deletion with the values as fetched, an inserted row deleted
    // again leaves no trace.
    void insertRow(int at, const std::vector<CellBytes>& values);
    // A modification that brings every value back to the fetched one drops the entry.
    void modifyRow(int row, const std::vector<CellBytes>& values);
    void deleteRow(int row);

    // Names a row, hidden or not, for the life of the store.
    std::uint32_t rowId(int row) const { return visible_[static_cast<std::size_t>(row)]; }
    // Undoes the pending change of a row, if it has one: a deleted row is back in view as
    // fetched, a modified one has its fetched values again, an inserted one is gone.
    struct Reverted {
        enum class What { Nothing,
                          Shown,
                          Changed,
                          Hidden } what
            = What::Nothing;
        int row = -1; // the row's place in view (before it was hidden, for Hidden)
    };
    Reverted revert(std::uint32_t id);

    int changeCount() const { return static_cast<int>(log_.size()); }
    // The row a pending change belongs to, by its place in the log.
    std::uint32_t changedRow(int entry) const { return log_[static_cast<std::size_t>(entry)].row; }
    // The log in order; the views refer into the store.
    std::vector<DeltaRecord> delta() const;
    // After an apply: the changes marked applied become the rows' fetched values and
    // leave the log; the others stay pending, rows as the changes left them.
    void merge(const std::vector<bool>& applied);

private:
    static constexpr std::uint32_t none = 0xffffffffu;
    // A cell's first byte is its length, or one of these marks.
    static constexpr unsigned char longLength = 0xfe; // four bytes of length follow
    static constexpr unsigned char nullMark = 0xff;

    struct Row {
        std::uint32_t original; // record as fetched (or last applied); none for an insert
        std::uint32_t current; // record as the changes left it
    };
    struct LogEntry {
        std::uint32_t row;
        ChangeKind kind;
    };

    void appendLongCell(const char* data, std::size_t length);
    // The cell a record holds at `at`; `at` moves on to the next one.
    static CellValue readCell(const char*& at);
    CellValue value(std::uint32_t record, int column) const;
    // The cells appended since the last record, kept as the next record.
    std::uint32_t endRecord();
    std::uint32_t addRecord(const std::vector<CellBytes>& values);
    bool sameValues(std::uint32_t record, const std::vector<CellBytes>& values) const;
    std::vector<CellValue> recordValues(std::uint32_t record) const;
    std::vector<LogEntry>::iterator findEntry(std::uint32_t row);

    int columns_;
    ByteArena arena_;
    BlockVector<std::uint32_t> records_; // where each record starts in arena_
    std::vector<Row> rows_; // every row, hidden ones too
    // In view order. A deque moves the shorter side on a removal or insertion, so a
    // removal at the top of a million rows moves none of the others.
    std::deque<std::uint32_t> visible_;
    std::uint32_t fetched_ = 0; // rows loaded; later ones were inserted
    std::vector<LogEntry> log_;
};

} // namespace kordane
