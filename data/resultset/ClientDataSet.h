#pragma once
// A client result set: its rows in memory. Opening asks its provider for every row of
// the command text; from then on the
// rows live in memory. Deletions, edits and inserts are kept as pending changes until
// applyUpdates sends them, in the order they were made, in one transaction.
#include "data/Exceptions.h"
#include "data/resultset/Components.h"
#include "data/sql/SqlStatement.h"

#include "drivers/api/dbx.h"
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kordane {

class RecordStore;
class CellCodec;
class ClientDataSet;
class DataSetProvider;

// A column of the open result. The fields are made anew at every open, so a reference
// is good until the next open or close.
class DataField {
public:
    DataField(ClientDataSet& dataSet, int index, QString name, const dbx::ColumnInfo& info);

    int index() const { return index_; }
    const QString& fieldName() const { return name_; }
    dbx::FieldType dataType() const { return info_.type; }
    // Declared length in bytes for text, width of the text form otherwise.
    int size() const { return info_.size; }
    const dbx::ColumnInfo& info() const { return info_; }

    // The grid's title; the field name until set.
    const QString& displayLabel() const { return displayLabel_; }
    void setDisplayLabel(const QString& label);
    // In characters.
    int displayWidth() const { return displayWidth_; }

    // The value in the current row (the edit buffer while editing); a null reads as "".
    bool isNull() const;
    QString asString() const;

private:
    ClientDataSet& dataSet_;
    int index_;
    QString name_;
    dbx::ColumnInfo info_;
    QString displayLabel_;
    int displayWidth_;
};

class ClientDataSet : public QObject, public Component {
    Q_OBJECT
public:
    enum class State { Inactive,
                       Browse,
                       Edit,
                       Insert };
    Q_ENUM(State)
    // Names a stored row, in view or deleted, until the next open or close.
    using RowId = std::uint32_t;
    static constexpr RowId noRow = 0xffffffffu;

    explicit ClientDataSet(QString name, QObject* parent = nullptr);
    ~ClientDataSet() override;

    // Not owned; none: open and apply fail, naming this result set.
    void setProvider(DataSetProvider* provider) { provider_ = provider; }
    void setCommandText(const QString& text) { commandText_ = text; }
    // Runs after every successful open; what it throws reaches the caller of open().
    void setAfterOpen(std::function<void(ClientDataSet&)> handler) { afterOpen_ = std::move(handler); }

    // Fetches every row through the provider, makes the first row current, then runs
    // the after-open handler. On a failure of the provider the set stays closed.
    void open();
    // Drops the rows and every pending change. Closing a closed set does nothing.
    void close();
    bool active() const { return state_ != State::Inactive; }
    // The locale identifier the provider sent with the rows.
    int localeId() const { return localeId_; }

    // Rows and the current row. Rows count from 0; an unposted new row counts.
    int recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }
    int currentRow() const { return current_; } // -1 when there is none
    // Moving posts a pending change to the current row first (see checkBrowseMode).
    void moveTo(int row);
    void first() { moveTo(0); }
    void last() { moveTo(recordCount() - 1); }
    void next() { moveTo(current_ + 1); }
    bool eof() const { return current_ < 0 || current_ >= recordCount() - 1; }

    int fieldCount() const { return static_cast<int>(fields_.size()); }
    DataField& field(int index) const { return *fields_[static_cast<std::size_t>(index)]; }
    DataField* findField(const QString& name) const;
    // Fails with "Field '%s' not found" (component name in front), also when closed.
    DataField& fieldByName(const QString& name) const;

    // Any visible row, in constant time; the row being edited shows its edit buffer.
    QString cellText(int row, int column) const;
    bool cellIsNull(int row, int column) const;

    // Editing. edit() on an empty set inserts a row instead.
    State state() const { return state_; }
    bool modified() const { return modified_; }
    void edit();
    void insert(); // a new row before the current one
    void append(); // a new row after the last one
    // The text is encoded in the connection's character set; a character the set
    // cannot hold, or a text longer than the field, raises EDatabaseError. An empty
    // text is an empty string for text fields and null for the others.
    void setFieldText(int column, const QString& text);
    // A new row given no value at all is dropped like a cancelled one.
    void post();
    void cancel();
    // Post when something was changed, cancel otherwise (what leaving a row does).
    void checkBrowseMode();
    // Deletes the current row (the next one becomes current, the previous one after
    // the last). An unposted new row is only abandoned.
    void deleteRecord();

    // The current row's name; noRow for a new row not yet posted, or when there is none.
    RowId currentRowId() const;
    // Undoes the row's pending change, if any: a deleted row is back in view (and
    // current), a modified one has its fetched values again, an inserted one is gone.
    void revertRow(RowId id);

    // Pending changes in the log.
    int changeCount() const;
    // Sends every pending change (posting an edit first); gives the number that failed.
    // A change leaves the log only when the database keeps it: after a rolled-back apply
    // the changes not at fault stay pending, rows as the changes left them, while a failed
    // change is undone, so that it neither hides its row nor sinks every later apply.
    // Errors starting or ending the transaction reach the caller with the log unchanged.
    int applyUpdates(int maxErrors);
    // What each failed change of the last apply recorded (the driver's text for a
    // statement the server refused).
    const QStringList& applyErrors() const { return applyErrors_; }

signals:
    // Each is emitted once the change is in place.
    void rowsReset(); // after open and close: columns and rows are new
    void rowChanged(int row); // values of a row (or its edit buffer) changed
    void rowInserted(int row);
    void rowRemoved(int row);
    void currentRowChanged(int row);
    void stateChanged(kordane::ClientDataSet::State state);
    void fieldChanged(int column); // display label or width

private:
    friend class DataField;

    void requireActive() const;
    void requireEditing() const;
    void setState(State state);
    void setCurrent(int row);
    void startInsert(int at);
    void endEditing();
    void moveAfterRemoval(int row);
    bool editing() const { return state_ == State::Edit || state_ == State::Insert; }
    std::optional<std::string_view> value(int row, int column) const;
    [[noreturn]] void fail(const QString& message) const;

    DataSetProvider* provider_ = nullptr;
    QString commandText_;
    std::function<void(ClientDataSet&)> afterOpen_;

    std::vector<TField> columns_;
    std::unique_ptr<RecordStore> store_;
    std::shared_ptr<const CellCodec> codec_;
    std::vector<std::unique_ptr<DataField>> fields_;
    int localeId_ = 0;
    State state_ = State::Inactive;
    int current_ = -1;
    // While editing: the row's values as they will be posted.
    std::vector<std::optional<QByteArray>> buffer_;
    bool modified_ = false;
    QStringList applyErrors_;
};

} // namespace kordane
