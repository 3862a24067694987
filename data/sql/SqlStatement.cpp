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

namespace {

constexpr std::size_t parsedLimit = 4;

} // namespace

const SqlQuery::ParsedText& SqlQuery::parsed()
{
    const QString& quote = connection().quoteChar();
    const auto same = std::find_if(parsed_.begin(), parsed_.end(), [&](const ParsedText& p) { return p.lines == lines_; });
    if (same != parsed_.end()) {
        std::rotate(same, same + 1, parsed_.end());
    } else {
        if (parsed_.size() >= parsedLimit)
            parsed_.erase(parsed_.begin());
        ParsedText p;
        p.lines = lines_;
        p.text = joinLines(lines_);
        for (const sqlparams::Marker& marker : sqlparams::namedMarkers(p.text)) {
            auto it = std::find_if(p.paramNames.begin(), p.paramNames.end(),
                                   [&](const QString& name) { return name.compare(marker.name, Qt::CaseInsensitive) == 0; });
            if (it == p.paramNames.end()) {
                p.paramNames.append(marker.name);
                it = p.paramNames.end() - 1;
            }
            p.markerNames.append(marker.name);
            p.markerParams.push_back(static_cast<std::size_t>(it - p.paramNames.begin()));
        }
        p.quote = quote;
        p.driverText = p.markerNames.isEmpty() ? p.text : sqlparams::driverText(p.text, p.markerNames, quote);
        parsed_.push_back(std::move(p));
    }
    ParsedText& p = parsed_.back();
    // Parsed before the connection said how it quotes names.
    if (p.quote != quote) {
        p.quote = quote;
        p.driverText = p.markerNames.isEmpty() ? p.text : sqlparams::driverText(p.text, p.markerNames, quote);
    }
    return p;
}

void SqlQuery::textChanged()
{
    unprepare();
    const ParsedText& p = parsed();
    text_ = p.text;
    markerNames_ = p.markerNames;
    markerParams_ = p.markerParams;
    driverText_ = p.driverText;
    driverQuote_ = p.quote;

    std::vector<SqlParam> previous = std::move(params_);
    params_.clear();
    params_.reserve(static_cast<std::size_t>(p.paramNames.size()));
    for (const QString& name : p.paramNames) {
        // A parameter that existed before keeps its value.
        const auto old = std::find_if(previous.begin(), previous.end(), [&](const SqlParam& param) {
            return param.name().compare(name, Qt::CaseInsensitive) == 0;
        });
        params_.push_back(old != previous.end() ? std::move(*old) : SqlParam(name));
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
    if (driverQuote_ != connection().quoteChar()) {
        driverQuote_ = connection().quoteChar();
        driverText_ = sqlparams::driverText(text_, markerNames_, driverQuote_);
    }
    return driverText_;
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
