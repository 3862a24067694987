#pragma once
// The statement objects that run on a connection: a query (lines of text with named
// parameters, executed or opened) and a result set's source query (driven by its
// provider). Both read their result forward only.
#include "data/Exceptions.h"
#include "data/sql/PreparedCommand.h"

#include "drivers/api/dbx.h"
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace kordane {

class SqlConnection;

class SqlParam {
public:
    explicit SqlParam(QString name)
        : name_(std::move(name))
    {
    }
    const QString& name() const { return name_; }
    // The parameter becomes a text parameter; an empty text is an empty string, not null.
    void setAsString(const QString& text)
    {
        value_ = text;
        null_ = false;
        assigned_ = true;
    }
    void clear()
    {
        value_.clear();
        null_ = true;
        assigned_ = true;
    }
    const QString& asString() const { return value_; }
    bool isNull() const { return null_; }
    bool assigned() const { return assigned_; }

private:
    QString name_;
    QString value_;
    bool null_ = true;
    bool assigned_ = false;
};

// A column of an open result.
struct TField {
    QString name;
    dbx::ColumnInfo info;
};

class SqlStatement {
public:
    SqlStatement(QString name, SqlConnection& connection);
    virtual ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    const QString& name() const { return name_; }
    SqlConnection& connection() const { return connection_; }

    // The statement text: the lines joined, each followed by CR LF.
    QString text() const;

    bool active() const { return cursor_ != nullptr; }
    // Runs a query and makes its first row current; fails with "Cursor not returned
    // from Query" when the statement gives no result.
    void open();
    void close();

    // While open.
    bool isEmpty() const; // the query gave no row
    bool eof() const { return eof_; }
    void next();
    int fieldCount() const { return static_cast<int>(fields_.size()); }
    const TField& field(int index) const { return fields_[static_cast<std::size_t>(index)]; }
    int fieldIndex(const QString& name) const; // -1 when absent
    // Fails with "Field '%s' not found" (component name in front).
    int fieldByName(const QString& name) const;
    QString asString(int index) const; // a null gives an empty text
    std::string_view rawText(int index) const; // bytes in the connection's character set
    // The current row, a cell a field: its bytes, and whether it is null. Valid until
    // next(); for a whole result read row by row.
    struct RawRow {
        const char* const* data;
        const std::size_t* lengths;
        const bool* nulls;
    };
    RawRow rawRow();

protected:
    // The text as the driver gets it, and the parameters to bind, by position.
    virtual QString preparedText() const = 0;
    virtual int parameterCount() const { return 0; }
    virtual void bindParameters(dbx::ISQLCommand&) { }
    virtual QString commandText() const = 0;
    // Every change of the text closes the object and releases the prepared statement.
    void unprepare();
    // Prepare (when needed), bind, execute.
    void run();
    PreparedCommand& preparedCommand() { return command_; }

private:
    friend class SqlConnection; // releases the handles before it disconnects, and when idle

    std::unique_ptr<dbx::ISQLCursor> execute();
    std::unique_ptr<dbx::ISQLCursor> bindAndExecute();
    // Drops the prepared statement unless a result is open.
    void releaseIfIdle() noexcept;
    void readFields();
    // For a cell asked for with no current row or out of the row.
    [[noreturn]] void raiseNoCell() const;

    QString name_;
    SqlConnection& connection_;
    PreparedCommand command_;
    std::unique_ptr<dbx::ISQLCursor> cursor_;
    std::vector<TField> fields_;
    // Where rawRow() has the driver put a row.
    std::vector<const char*> rowData_;
    std::vector<std::size_t> rowLengths_;
    std::unique_ptr<bool[]> rowNulls_;
    bool eof_ = true;
    bool empty_ = true;
};

// A statement's text from its lines: every line followed by CR LF.
QString joinLines(const QStringList& lines);

// A query: lines of text with named parameters.
class SqlQuery : public SqlStatement {
public:
    SqlQuery(QString name, SqlConnection& connection);

    const QStringList& sql() const { return lines_; }
    void clearSql();
    void addLine(const QString& line);
    void setSql(const QStringList& lines);

    // One parameter per name, in order of first appearance.
    const std::vector<SqlParam>& params() const { return params_; }
    // Fails with "Parameter '%s' not found" (component name in front).
    SqlParam& paramByName(const QString& name);

    // Prepared execution with the parameters bound.
    void execSql();
    // The rows the last execSql changed, asked of the server only now: on a server the
    // question is a round trip of its own, which most callers do without.
    std::int64_t rowsAffected();

protected:
    QString preparedText() const override;
    int parameterCount() const override { return static_cast<int>(markerParams_.size()); }
    void bindParameters(dbx::ISQLCommand& command) override;
    QString commandText() const override { return text_; }

private:
    // What a text was parsed into. A command that alternates its statements (the add's
    // check and insert) finds the texts it ran lately parsed already.
    struct ParsedText {
        QStringList lines;
        QString text;
        QStringList paramNames; // in order of first appearance
        // For each marker in the text, its name as written and its parameter's index.
        QStringList markerNames;
        std::vector<std::size_t> markerParams;
        QString driverText; // as the driver gets it, made with `quote`
        QString quote;
    };
    void textChanged();
    const ParsedText& parsed();

    QStringList lines_;
    std::vector<ParsedText> parsed_; // the latest at the back
    QString text_;
    std::vector<SqlParam> params_;
    QStringList markerNames_;
    std::vector<std::size_t> markerParams_;
    mutable QString driverText_;
    mutable QString driverQuote_;
};

// The source query of a result set; the provider gives it its command text.
class SqlDataSet : public SqlStatement {
public:
    SqlDataSet(QString name, SqlConnection& connection);
    const QString& commandTextValue() const { return commandText_; }
    void setCommandText(const QString& text);

protected:
    QString preparedText() const override { return commandText_; }
    QString commandText() const override { return commandText_; }

private:
    QString commandText_;
};

} // namespace kordane
