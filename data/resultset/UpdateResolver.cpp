#include "data/resultset/UpdateResolver.h"

#include "data/sql/SqlConnection.h"
#include "data/sql/TransactionScope.h"

#include <algorithm>
#include <optional>

namespace kordane {

namespace {

// Values of this size or more are left out of the where clause.
constexpr std::size_t whereValueLimit = 8192;

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// Reads one name part at `pos` (a word or a quoted identifier); gives its end or -1.
qsizetype namePartEnd(const QString& text, qsizetype pos)
{
    const qsizetype n = text.size();
    if (pos >= n)
        return -1;
    if (text[pos] == u'"') {
        const qsizetype close = text.indexOf(u'"', pos + 1);
        return close < 0 ? -1 : close + 1;
    }
    qsizetype end = pos;
    while (end < n && isWordChar(text[end]))
        ++end;
    return end == pos ? -1 : end;
}

// The text is written line by line into one string, each line ended by CR LF: a removal
// from the grid makes one at a time, and the removal should cost what the server's work costs.
void endLine(QString& text)
{
    text += QLatin1StringView("\r\n");
}

// One line a column: " " + quote + name + quote + tail.
void appendColumnLine(QString& text, const QString& quote, const QString& name, QLatin1StringView tail)
{
    text += u' ';
    text += quote;
    text += name;
    text += quote;
    text += tail;
    endLine(text);
}

// Drops the last `count` characters of the last line.
void chopLastLine(QString& text, qsizetype count)
{
    text.chop(count + 2);
    endLine(text);
}

bool usableInWhere(const TField& column, const CellValue& old)
{
    const auto type = column.info.type;
    if (type == dbx::FieldType::Blob || type == dbx::FieldType::Memo)
        return false;
    return !old || old->size() < whereValueLimit;
}

bool changed(const DeltaRecord& change, std::size_t column)
{
    return change.newValues[column] != change.oldValues[column];
}

// The where clause of the shape's columns, one line each.
void appendWhere(QString& text, const StatementShape& shape, const std::vector<TField>& columns, const QString& quote)
{
    text += QLatin1StringView("where");
    endLine(text);
    const qsizetype first = text.size();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (shape.roles[i] & StatementShape::WhereValue)
            appendColumnLine(text, quote, columns[i].name, QLatin1StringView(" = ? and"));
        else if (shape.roles[i] & StatementShape::WhereNull)
            appendColumnLine(text, quote, columns[i].name, QLatin1StringView(" is null and"));
    }
    if (text.size() == first)
        throw EDatabaseError(QStringLiteral("Unable to find record.  No key specified"));
    chopLastLine(text, 4);
}

} // namespace

QString tableNameOf(const QString& text)
{
    const qsizetype n = text.size();
    qsizetype pos = 0;
    while (pos < n) {
        const QChar c = text[pos];
        if (c == u'\'' || c == u'"') {
            // A literal or a quoted identifier; a doubled quote stays inside it.
            qsizetype end = pos + 1;
            while (end < n) {
                if (text[end] == c) {
                    if (end + 1 < n && text[end + 1] == c) {
                        end += 2;
                        continue;
                    }
                    break;
                }
                ++end;
            }
            pos = end + 1;
        } else if (c == u'-' && pos + 1 < n && text[pos + 1] == u'-') {
            const qsizetype eol = text.indexOf(u'\n', pos);
            pos = eol < 0 ? n : eol + 1;
        } else if (c == u'/' && pos + 1 < n && text[pos + 1] == u'*') {
            const qsizetype close = text.indexOf(QLatin1StringView("*/"), pos + 2);
            pos = close < 0 ? n : close + 2;
        } else if (isWordChar(c)) {
            qsizetype end = pos;
            while (end < n && isWordChar(text[end]))
                ++end;
            if (QStringView(text).sliced(pos, end - pos).compare(u"from", Qt::CaseInsensitive) == 0) {
                qsizetype start = end;
                while (start < n && text[start].isSpace())
                    ++start;
                qsizetype stop = namePartEnd(text, start);
                if (stop < 0)
                    return QString();
                while (stop < n && text[stop] == u'.') {
                    const qsizetype next = namePartEnd(text, stop + 1);
                    if (next < 0)
                        break;
                    stop = next;
                }
                return text.sliced(start, stop - start);
            }
            pos = end;
        } else {
            ++pos;
        }
    }
    return QString();
}

QString quotedTableName(const QString& table, const QString& quote)
{
    static const QString quotes = QStringLiteral("\"'`");
    if (quote.isEmpty() || table.isEmpty() || quotes.contains(table.front()) || quotes.contains(table.back()))
        return table;
    return quote + table + quote;
}

StatementShape shapeOf(const DeltaRecord& change, const std::vector<TField>& columns)
{
    StatementShape shape {change.kind, std::vector<std::uint8_t>(columns.size(), 0)};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        std::uint8_t& role = shape.roles[i];
        if (change.kind == ChangeKind::Modify ? changed(change, i) : change.kind == ChangeKind::Insert && change.newValues[i])
            role |= StatementShape::Given;
        const CellValue& old = change.oldValues.empty() ? CellValue() : change.oldValues[i];
        if (change.kind != ChangeKind::Insert && usableInWhere(columns[i], old))
            role |= old ? StatementShape::WhereValue : StatementShape::WhereNull;
    }
    return shape;
}

QString statementText(const StatementShape& shape, const std::vector<TField>& columns, const QString& quotedTable,
                      const QString& quote)
{
    QString text;
    text.reserve(64 + static_cast<qsizetype>(columns.size()) * (32 + 2 * quote.size()));
    switch (shape.kind) {
    case ChangeKind::Delete:
        text += QLatin1StringView("delete from ") + quotedTable + u' ';
        endLine(text);
        appendWhere(text, shape, columns, quote);
        break;
    case ChangeKind::Modify:
        text += QLatin1StringView("update ") + quotedTable + QLatin1StringView("  set");
        endLine(text);
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (shape.roles[i] & StatementShape::Given)
                appendColumnLine(text, quote, columns[i].name, QLatin1StringView(" = ?,"));
        chopLastLine(text, 1);
        appendWhere(text, shape, columns, quote);
        break;
    case ChangeKind::Insert: {
        QString names = QStringLiteral("  (");
        QString markers = QStringLiteral("  (");
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (!(shape.roles[i] & StatementShape::Given))
                continue;
            names += quote + columns[i].name + quote + QLatin1StringView(", ");
            markers += QLatin1StringView("?, ");
        }
        names.chop(2);
        markers.chop(2);
        text += QLatin1StringView("insert into ") + quotedTable;
        endLine(text);
        text += names + u')';
        endLine(text);
        text += QLatin1StringView("values");
        endLine(text);
        text += markers + u')';
        endLine(text);
        break;
    }
    }
    return text;
}

std::vector<CellValue> statementValues(const DeltaRecord& change, const StatementShape& shape)
{
    // In the order of the text's markers: the values given, then those the row is found by.
    std::vector<CellValue> values;
    for (std::size_t i = 0; i < shape.roles.size(); ++i)
        if (shape.roles[i] & StatementShape::Given)
            values.push_back(change.newValues[i]);
    for (std::size_t i = 0; i < shape.roles.size(); ++i)
        if (shape.roles[i] & StatementShape::WhereValue)
            values.push_back(change.oldValues[i]);
    return values;
}

std::int64_t UpdateResolver::run(const GeneratedStatement& statement, Prepared& prepared)
{
    auto it = std::find_if(prepared.begin(), prepared.end(), [&](const auto& p) { return p.first == statement.text; });
    if (it == prepared.end()) {
        prepared.emplace_back(statement.text, connection_.prepareCommand(statement.text, static_cast<int>(statement.values.size())));
        it = prepared.end() - 1;
    }
    PreparedCommand& command = it->second;
    // Old values as fetched, new ones as encoded when they were entered: never through a
    // decode and encode that could change them, which would miss the row they name.
    return connection_.runPrepared(command, [&] { return connection_.execute(*command, statement.values); });
}

void UpdateResolver::follow(const QString& commandText, const QString& quote, const std::vector<TField>& columns)
{
    const bool same = source_ && source_->commandText == commandText && source_->quote == quote
        && source_->columns.size() == static_cast<qsizetype>(columns.size())
        && std::equal(columns.begin(), columns.end(), source_->columns.begin(),
                      [](const TField& column, const QString& name) { return column.name == name; });
    if (same)
        return;
    source_.emplace(Source {commandText, quote, {}});
    for (const TField& column : columns)
        source_->columns.append(column.name);
    tableName_ = tableNameOf(commandText);
    quotedTable_ = quotedTableName(tableName_, quote);
    texts_.clear();
}

GeneratedStatement UpdateResolver::statementOf(const DeltaRecord& change, const std::vector<TField>& columns)
{
    StatementShape shape = shapeOf(change, columns);
    auto known = std::find_if(texts_.begin(), texts_.end(), [&](const auto& text) { return text.first == shape; });
    if (known == texts_.end()) {
        // A few shapes cover an apply: removals with nulls in other places each have one.
        constexpr std::size_t kept = 16;
        if (texts_.size() == kept)
            texts_.erase(texts_.begin());
        QString text = statementText(shape, columns, quotedTable_, source_->quote);
        texts_.emplace_back(std::move(shape), std::move(text));
        known = texts_.end() - 1;
    }
    return {known->second, statementValues(change, known->first)};
}

ApplyResult UpdateResolver::apply(const QString& commandText, const DeltaPacket& delta, int maxErrors)
{
    const std::size_t count = delta.changes.size();
    ApplyResult result;
    result.applied.assign(count, false);

    connection_.open();
    // Inside a transaction of someone else's, or without transactions, what succeeds stays.
    std::optional<TransactionScope> transaction;
    if (!connection_.inTransaction() && connection_.transactionsSupported())
        transaction.emplace(connection_, 1);

    follow(commandText, connection_.quoteChar(), delta.columns);
    Prepared prepared;
    std::vector<std::size_t> succeeded;
    bool rolledBack = false;
    bool stop = false;
    for (std::size_t i = 0; i < count; ++i) {
        std::optional<QString> error;
        try {
            if (tableName_.isEmpty())
                throw EDatabaseError(QStringLiteral("Unable to resolve records.  Table name not found."));
            const std::int64_t rows = run(statementOf(delta.changes[i], delta.columns), prepared);
            if (rows > 1) {
                // The extra rows must not survive, and nothing may run after the rollback
                // outside a transaction, whatever the error allowance says.
                stop = true;
                rolledBack = transaction.has_value();
                transaction.reset();
                throw EDatabaseError(QStringLiteral("Update affected more than 1 record."));
            }
            if (rows < 1)
                throw EDatabaseError(QStringLiteral("Record not found or changed by another user"));
            succeeded.push_back(i);
        } catch (const Exception& e) {
            error = e.message();
        }
        if (!error)
            continue;
        result.errors.push_back({static_cast<int>(i), *error});
        const bool abort = stop || (maxErrors >= 0 && result.errorCount >= maxErrors);
        ++result.errorCount;
        if (abort)
            break;
    }

    // A command whose run failed may hold what its prepare began: it goes.
    if (result.errorCount == 0)
        for (auto& [text, command] : prepared)
            connection_.recycle(std::move(command));

    bool durable = true;
    if (transaction) {
        durable = maxErrors < 0 || result.errorCount <= maxErrors;
        if (durable)
            transaction->commit();
        transaction.reset();
    } else {
        durable = !rolledBack;
    }
    for (std::size_t i : succeeded)
        result.applied[i] = durable;
    return result;
}

} // namespace kordane
