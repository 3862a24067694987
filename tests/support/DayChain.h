#pragma once
// The window's chain behind the day grid, on a connection of the test's own: source
// query, provider, result set; loads S2 and removes rows as the grid's menu does.
#include "ClientDataSet.h"
#include "Components.h"
#include "DataSetProvider.h"
#include "SqlConnection.h"
#include "SqlStatement.h"

#include <memory>

namespace kordane::test {

struct DayChain {
    explicit DayChain(std::unique_ptr<TSQLConnection> owner);

    // S2 for `date`, into the result set.
    void load(const QString& date);
    // Makes the row with this employee code current; a test failure when there is none.
    void go(const QString& employee);

    std::unique_ptr<TSQLConnection> connectionOwner;
    TSQLConnection& connection;
    TSQLDataSet source{QStringLiteral("SQLDataSet1"), connection};
    TDataSetProvider provider{QStringLiteral("DataSetProvider1"), source};
    TComponentList components;
    TClientDataSet dataSet{QStringLiteral("ClientDataSet1"), components};
    int afterOpenRuns = 0;
};

} // namespace kordane::test
