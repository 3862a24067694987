#pragma once
// A result set's provider: packs the rows of its source query for the result set, and
// sends the result set's pending changes back to the database as generated statements.
#include "data/resultset/Components.h"
#include "data/resultset/RecordStore.h"
#include "data/sql/SqlStatement.h"

#include <memory>
#include <vector>

namespace kordane {

class SqlDataSet;
class UpdateResolver;

// Every row of one query with the columns' descriptions.
struct DataPacket {
    std::vector<TField> columns;
    RecordStore rows;
    int localeId = 0;
    std::shared_ptr<const CellCodec> codec;
};

// The pending changes of a result set, in log order.
struct DeltaPacket {
    std::vector<TField> columns;
    std::vector<DeltaRecord> changes;
};

struct UpdateError {
    int change; // index into DeltaPacket::changes
    QString message;
};

struct ApplyResult {
    int errorCount = 0;
    std::vector<UpdateError> errors;
    // Per change: whether the database keeps it. False for every change of a
    // transaction that was rolled back, and for changes never attempted.
    std::vector<bool> applied;
};

class DataSetProvider : public Component {
public:
    DataSetProvider(QString name, SqlDataSet& source);
    ~DataSetProvider() override;

    SqlDataSet& dataSet() const { return source_; }

    // Every row of `commandText` (the source's own text when empty). The source is
    // closed again afterwards, also when the fetch fails; errors keep their text.
    DataPacket getRecords(const QString& commandText);
    // One statement a change, in one transaction unless the connection is already in
    // one or has none. At most `maxErrors` failures are tolerated (negative: any).
    ApplyResult applyUpdates(const DeltaPacket& delta, int maxErrors);
    // Closes the source when this provider opened it.
    void reset();

private:
    SqlDataSet& source_;
    bool openedSource_ = false;
    std::unique_ptr<UpdateResolver> resolver_;
};

} // namespace kordane
