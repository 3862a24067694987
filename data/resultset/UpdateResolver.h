#pragma once
// Turns the day result set's pending changes into SQL statements and runs them on the
// connection: one statement a change, in log order, inside one transaction.
#include "data/resultset/DataSetProvider.h"

#include <QString>
#include <QStringList>

#include "drivers/api/dbx.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace kordane {

class SqlConnection;

// The first name after the first keyword "from" (outside literals and comments), a
// dotted name kept whole, quoted parts as written; empty when there is none.
QString tableNameOf(const QString& commandText);
// The name between two quote characters, unless it already begins or ends with a
// quote of its own; bare when the driver has no quote character.
QString quotedTableName(const QString& table, const QString& quote);

struct GeneratedStatement {
    QString text; // the lines, each followed by CR LF
    std::vector<CellValue> values; // bound by position
};

// What a change's statement says of each column, which with the table and the quote is
// all its text depends on: the removals of rows without nulls share one text.
struct StatementShape {
    enum Role : std::uint8_t {
        Given = 1, // set by a modification, given by an insertion
        WhereValue = 2, // the row is found by its old value
        WhereNull = 4, // the row is found by its being null
    };
    ChangeKind kind = ChangeKind::Delete;
    std::vector<std::uint8_t> roles; // a column's roles, or none
    bool operator==(const StatementShape&) const = default;
};

StatementShape shapeOf(const DeltaRecord& change, const std::vector<TField>& columns);
// Fails with "Unable to find record.  No key specified" when no column can identify
// the row of a deletion or modification.
QString statementText(const StatementShape& shape, const std::vector<TField>& columns, const QString& quotedTable,
                      const QString& quote);
// In the order of the text's markers.
std::vector<CellValue> statementValues(const DeltaRecord& change, const StatementShape& shape);

class UpdateResolver {
public:
    explicit UpdateResolver(SqlConnection& connection)
        : connection_(connection)
    {
    }

    // `commandText` is the source's, which names the table.
    ApplyResult apply(const QString& commandText, const DeltaPacket& delta, int maxErrors);

private:
    // The commands of one apply, prepared once per text. An apply has few distinct texts
    // (one for the usual removal), so a list searched in order serves.
    using Prepared = std::vector<std::pair<QString, PreparedCommand>>;
    std::int64_t run(const GeneratedStatement& statement, Prepared& prepared);
    // The source, quote and columns that the table and the texts below were found and
    // written for; looked at once an apply, and everything found again when one changed.
    void follow(const QString& commandText, const QString& quote, const std::vector<TField>& columns);
    // A change's statement, its text written once for each shape of the columns given.
    GeneratedStatement statementOf(const DeltaRecord& change, const std::vector<TField>& columns);

    SqlConnection& connection_;
    struct Source {
        QString commandText;
        QString quote;
        QStringList columns;
    };
    std::optional<Source> source_;
    QString tableName_;
    QString quotedTable_; // as statements name it
    std::vector<std::pair<StatementShape, QString>> texts_;
};

} // namespace kordane
