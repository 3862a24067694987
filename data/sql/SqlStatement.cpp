#include "data/sql/SqlStatement.h"

#include "data/sql/SqlConnection.h"
#include "data/sql/SqlParams.h"

#include <algorithm>
#include <optional>

namespace kordane {
namespace {

// A select, which changes nothing: told by its first word.
bool readsOnly(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].unicode() <= ' ')
        ++i;
    return text.sliced(i).startsWith(u"select", Qt::CaseInsensitive)
        && (text.size() == i + 6 || text[i + 6].unicode() <= ' ' || text[i + 6] == u'*');
}

} // namespace

SqlStatement::SqlStatement(QString name, SqlConnection& connection)
    : name_(std::move(name))
    , connection_(connection)
{
    connection_.attach(this);
}

SqlStatement::~SqlStatement()
{
    unprepare();
    connection_.detach(this);
}

QString SqlStatement::text() const { return commandText(); }

void SqlStatement::unprepare()
{
    close();
    connection_.recycle(std::move(command_));
}

void SqlStatement::releaseIfIdle() noexcept
{
    if (!active())
        command_ = {};
}

std::unique_ptr<dbx::ISQLCursor> SqlStatement::execute()
{
    connection_.open();
    if (!connection_.inTransaction() && !readsOnly(commandText()))
        connection_.refuseSharedWrite();
    connection_.noteUse();
    if (!command_) {
        if (commandText().isEmpty())
            throw EDatabaseError(componentMessage(name_, QStringLiteral("No SQL statement available")));
        command_ = connection_.prepareCommand(preparedText(), parameterCount());
    }
    return connection_.runPrepared(command_, [this] { return bindAndExecute(); });
}

std::unique_ptr<dbx::ISQLCursor> SqlStatement::bindAndExecute()
{
    try {
        bindParameters(*command_);
    } catch (...) {
        // Prepared but never run: not kept for another statement with what it began.
        command_ = {};
        throw;
    }
    std::unique_ptr<dbx::ISQLCursor> cursor;
    connection_.check(command_.command.get(), command_->execute(cursor));
    return cursor;
}

void SqlStatement::run()
{
    close();
    execute().reset();
}

void SqlStatement::open()
{
    if (active())
        return;
    if (commandText().isEmpty())
        throw EDatabaseError(QStringLiteral("Missing query, table name or procedure name"));
    auto cursor = execute();
    if (!cursor)
        throw EDatabaseError(componentMessage(name_, QStringLiteral("Cursor not returned from Query")));
    cursor_ = std::move(cursor);
    try {
        readFields();
        eof_ = false;
        next();
        empty_ = eof_;
    } catch (...) {
        cursor_.reset();
        fields_.clear();
        eof_ = true;
        throw;
    }
    connection_.statementOpened();
}

void SqlStatement::close()
{
    if (!cursor_)
        return;
    cursor_.reset();
    fields_.clear();
    eof_ = true;
    empty_ = true;
    connection_.statementClosed();
}

void SqlStatement::readFields()
{
    int count = 0;
    connection_.check(cursor_.get(), cursor_->getColumnCount(count));
    fields_.clear();
    const auto columns = static_cast<std::size_t>(std::max(count, 0));
    fields_.reserve(columns);
    rowData_.assign(columns, nullptr);
    rowLengths_.assign(columns, 0);
    rowNulls_ = std::make_unique<bool[]>(columns);
    for (int column = 1; column <= count; ++column) {
        TField field;
        connection_.check(cursor_.get(), cursor_->getColumnInfo(column, field.info));
        field.name = connection_.decode(field.info.name.data(), field.info.name.size());
        fields_.push_back(std::move(field));
    }
}

bool SqlStatement::isEmpty() const { return !active() || empty_; }

void SqlStatement::next()
{
    if (!cursor_ || eof_)
        return;
    const dbx::Status status = cursor_->next();
    if (status == dbx::DBXERR_EOF)
        eof_ = true;
    else
        connection_.check(cursor_.get(), status);
}

int SqlStatement::fieldIndex(const QString& name) const
{
    const auto it = std::find_if(fields_.begin(), fields_.end(), [&](const TField& field) {
        return field.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    return it == fields_.end() ? -1 : static_cast<int>(it - fields_.begin());
}

int SqlStatement::fieldByName(const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw EDatabaseError(componentMessage(name_, QStringLiteral("Field '%1' not found").arg(name)));
    return index;
}

void SqlStatement::raiseNoCell() const
{
    if (!cursor_ || eof_)
        throw EDatabaseError(componentMessage(name_, QStringLiteral("No current record")));
    throw EDatabaseError(componentMessage(name_, QStringLiteral("Field index out of range")));
}

std::string_view SqlStatement::rawText(int index) const
{
    if (!cursor_ || eof_ || index < 0 || index >= fieldCount())
        raiseNoCell();
    const char* data = nullptr;
    std::size_t length = 0;
    connection_.check(cursor_.get(), cursor_->getText(index + 1, data, length));
    return {data, length};
}

SqlStatement::RawRow SqlStatement::rawRow()
{
    if (!cursor_ || eof_)
        raiseNoCell();
    connection_.check(cursor_.get(), cursor_->getRow(rowData_.data(), rowLengths_.data(), rowNulls_.get()));
    return {rowData_.data(), rowLengths_.data(), rowNulls_.get()};
}

QString SqlStatement::asString(int index) const
{
    const std::string_view bytes = rawText(index);
    return connection_.decode(bytes.data(), bytes.size());
}

// --- SqlQuery ---

QString joinLines(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines) {
        text.append(line);
        text.append(u"\r\n");
    }
    return text;
}

SqlQuery::SqlQuery(QString name, SqlConnection& connection)
    : SqlStatement(std::move(name), connection)
{
}

void SqlQuery::clearSql()
{
    lines_.clear();
    textChanged();
}

void SqlQuery::addLine(const QString& line)
{
    lines_.append(line);
    textChanged();
}

void SqlQuery::setSql(const QStringList& lines)
{
    lines_ = lines;
    textChanged();
}

void SqlQuery::textChanged()
{
    unprepare();
    text_ = joinLines(lines_);

    std::vector<SqlParam> previous = std::move(params_);
    params_.clear();
    markerNames_.clear();
    markerParams_.clear();
    const auto find = [](std::vector<SqlParam>& list, const QString& name) {
        return std::find_if(list.begin(), list.end(), [&](const SqlParam& p) {
            return p.name().compare(name, Qt::CaseInsensitive) == 0;
        });
    };
    for (const sqlparams::Marker& marker : sqlparams::namedMarkers(text_)) {
        auto it = find(params_, marker.name);
        if (it == params_.end()) {
            // A parameter that existed before keeps its value.
            auto old = find(previous, marker.name);
            params_.push_back(old != previous.end() ? std::move(*old) : SqlParam(marker.name));
            it = params_.end() - 1;
        }
        markerNames_.append(marker.name);
        markerParams_.push_back(static_cast<std::size_t>(it - params_.begin()));
    }
}

SqlParam& SqlQuery::paramByName(const QString& name)
{
    for (SqlParam& param : params_) {
        if (param.name().compare(name, Qt::CaseInsensitive) == 0)
            return param;
    }
    throw EDatabaseError(componentMessage(this->name(), QStringLiteral("Parameter '%1' not found").arg(name)));
}

void SqlQuery::execSql()
{
    run();
}

std::int64_t SqlQuery::rowsAffected()
{
    std::int64_t rows = 0;
    if (PreparedCommand& command = preparedCommand())
        connection().check(command.command.get(), command->getRowsAffected(rows));
    return rows;
}

QString SqlQuery::preparedText() const
{
    if (markerNames_.isEmpty())
        return text_;
    return sqlparams::driverText(text_, markerNames_, connection().quoteChar());
}

void SqlQuery::bindParameters(dbx::ISQLCommand& command)
{
    for (const SqlParam& param : params_) {
        if (!param.assigned())
            throw EDatabaseError(QStringLiteral("No value for parameter '%1'").arg(param.name()));
    }
    for (std::size_t i = 0; i < markerParams_.size(); ++i) {
        const SqlParam& param = params_[markerParams_[i]];
        connection().bind(command, static_cast<int>(i) + 1,
                          param.isNull() ? std::nullopt : std::optional<QString>(param.asString()));
    }
}

// --- SqlDataSet ---

SqlDataSet::SqlDataSet(QString name, SqlConnection& connection)
    : SqlStatement(std::move(name), connection)
{
}

void SqlDataSet::setCommandText(const QString& text)
{
    unprepare();
    commandText_ = text;
}

} // namespace kordane
