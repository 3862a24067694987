#pragma once
// The window's chain behind the day grid, on a connection of the test's own: source
// query, provider, result set; loads the day's records and removes rows as the grid's menu does.
#include "data/resultset/ClientDataSet.h"
#include "data/resultset/Components.h"
#include "data/resultset/DataSetProvider.h"
#include "data/sql/SqlConnection.h"
#include "data/sql/SqlStatement.h"

#include <memory>

namespace kordane::test {

struct DayChain {
    explicit DayChain(std::unique_ptr<SqlConnection> owner);

    // The day's records of `date`, into the result set.
    void load(const QString& date);
    // Makes the row with this employee code current; a test failure when there is none.
    void go(const QString& employee);

    std::unique_ptr<SqlConnection> connectionOwner;
    SqlConnection& connection;
    SqlDataSet source {QStringLiteral("SQLDataSet1"), connection};
    DataSetProvider provider {QStringLiteral("DataSetProvider1"), source};
    ClientDataSet dataSet {QStringLiteral("ClientDataSet1")};
    int afterOpenRuns = 0;
};

} // namespace kordane::test
