#include "SqlStatement.h"

#include "SqlConnection.h"
#include "SqlParams.h"

#include <algorithm>

namespace kordane {

TSQLStatement::TSQLStatement(QString name, TSQLConnection& connection)
    : name_(std::move(name)), connection_(connection)
{
    connection_.attach(this);
}

TSQLStatement::~TSQLStatement()
{
    unprepare();
    connection_.detach(this);
}

QString TSQLStatement::text() const { return commandText(); }

void TSQLStatement::unprepare()
{
    close();
    command_.reset();
}

std::unique_ptr<dbx::ISQLCursor> TSQLStatement::execute()
{
    connection_.open();
    if (!command_) {
        if (commandText().isEmpty())
            throw EDatabaseError(componentMessage(name_, QStringLiteral("No SQL statement available")));
        command_ = connection_.prepareCommand(preparedText(), parameterCount());
    }
    bindParameters(*command_);
    std::unique_ptr<dbx::ISQLCursor> cursor;
    connection_.check(command_.get(), command_->execute(cursor));
    return cursor;
}

std::int64_t TSQLStatement::run()
{
    close();
    execute().reset();
    std::int64_t rows = 0;
    connection_.check(command_.get(), command_->getRowsAffected(rows));
    return rows;
}

void TSQLStatement::open()
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

void TSQLStatement::close()
{
    if (!cursor_)
        return;
    cursor_.reset();
    fields_.clear();
    eof_ = true;
    empty_ = true;
    connection_.statementClosed();
}

void TSQLStatement::readFields()
{
    int count = 0;
    connection_.check(cursor_.get(), cursor_->getColumnCount(count));
    fields_.clear();
    fields_.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int column = 1; column <= count; ++column) {
        TField field;
        connection_.check(cursor_.get(), cursor_->getColumnInfo(column, field.info));
        field.name = connection_.decode(field.info.name.data(), field.info.name.size());
        fields_.push_back(std::move(field));
    }
}

bool TSQLStatement::isEmpty() const { return !active() || empty_; }

void TSQLStatement::next()
{
    if (!cursor_ || eof_)
        return;
    const dbx::Status status = cursor_->next();
    if (status == dbx::DBXERR_EOF)
        eof_ = true;
    else
        connection_.check(cursor_.get(), status);
}

int TSQLStatement::fieldIndex(const QString& name) const
{
    const auto it = std::find_if(fields_.begin(), fields_.end(), [&](const TField& field) {
        return field.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    return it == fields_.end() ? -1 : static_cast<int>(it - fields_.begin());
}

int TSQLStatement::fieldByName(const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw EDatabaseError(componentMessage(name_, QStringLiteral("Field '%1' not found").arg(name)));
    return index;
}

void TSQLStatement::checkIndex(int index) const
{
    if (!cursor_ || eof_)
        throw EDatabaseError(componentMessage(name_, QStringLiteral("No current record")));
    if (index < 0 || index >= fieldCount())
        throw EDatabaseError(componentMessage(name_, QStringLiteral("Field index out of range")));
}

bool TSQLStatement::isNull(int index) const
{
    checkIndex(index);
    bool null = false;
    connection_.check(cursor_.get(), cursor_->isNull(index + 1, null));
    return null;
}

std::string_view TSQLStatement::rawText(int index) const
{
    checkIndex(index);
    const char* data = nullptr;
    std::size_t length = 0;
    connection_.check(cursor_.get(), cursor_->getText(index + 1, data, length));
    return {data, length};
}

QString TSQLStatement::asString(int index) const
{
    const std::string_view bytes = rawText(index);
    return connection_.decode(bytes.data(), bytes.size());
}

// --- SQLQuery1 ---

QString joinLines(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines) {
        text.append(line);
        text.append(u"\r\n");
    }
    return text;
}

TSQLQuery::TSQLQuery(QString name, TSQLConnection& connection) : TSQLStatement(std::move(name), connection) {}

void TSQLQuery::clearSql()
{
    lines_.clear();
    textChanged();
}

void TSQLQuery::addLine(const QString& line)
{
    lines_.append(line);
    textChanged();
}

void TSQLQuery::setSql(const QStringList& lines)
{
    lines_ = lines;
    textChanged();
}

void TSQLQuery::textChanged()
{
    unprepare();
    text_ = joinLines(lines_);

    std::vector<TParam> previous = std::move(params_);
    params_.clear();
    markerNames_.clear();
    markerParams_.clear();
    const auto find = [](std::vector<TParam>& list, const QString& name) {
        return std::find_if(list.begin(), list.end(), [&](const TParam& p) {
            return p.name().compare(name, Qt::CaseInsensitive) == 0;
        });
    };
    for (const sqlparams::Marker& marker : sqlparams::namedMarkers(text_)) {
        auto it = find(params_, marker.name);
        if (it == params_.end()) {
            // A parameter that existed before keeps its value.
            auto old = find(previous, marker.name);
            params_.push_back(old != previous.end() ? std::move(*old) : TParam(marker.name));
            it = params_.end() - 1;
        }
        markerNames_.append(marker.name);
        markerParams_.push_back(static_cast<std::size_t>(it - params_.begin()));
    }
}

TParam& TSQLQuery::paramByName(const QString& name)
{
    for (TParam& param : params_) {
        if (param.name().compare(name, Qt::CaseInsensitive) == 0)
            return param;
    }
    throw EDatabaseError(componentMessage(this->name(), QStringLiteral("Parameter '%1' not found").arg(name)));
}

std::int64_t TSQLQuery::execSql()
{
    rowsAffected_ = 0;
    rowsAffected_ = run();
    return rowsAffected_;
}

QString TSQLQuery::preparedText() const
{
    if (markerNames_.isEmpty())
        return text_;
    return sqlparams::driverText(text_, markerNames_, connection().quoteChar());
}

void TSQLQuery::bindParameters(dbx::ISQLCommand& command)
{
    for (const TParam& param : params_) {
        if (!param.assigned())
            throw EDatabaseError(QStringLiteral("No value for parameter '%1'").arg(param.name()));
    }
    for (std::size_t i = 0; i < markerParams_.size(); ++i) {
        const TParam& param = params_[markerParams_[i]];
        connection().bind(command, static_cast<int>(i) + 1,
                          param.isNull() ? std::nullopt : std::optional<QString>(param.asString()));
    }
}

// --- SQLDataSet1 ---

TSQLDataSet::TSQLDataSet(QString name, TSQLConnection& connection) : TSQLStatement(std::move(name), connection) {}

void TSQLDataSet::setCommandText(const QString& text)
{
    unprepare();
    commandText_ = text;
}

} // namespace kordane
