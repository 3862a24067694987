#include "tests/support/DayChain.h"

#include <QTest>

namespace kordane::test {

DayChain::DayChain(std::unique_ptr<SqlConnection> owner)
    : connectionOwner(std::move(owner))
    , connection(*connectionOwner)
{
    dataSet.setProvider(&provider);
    dataSet.setAfterOpen([this](ClientDataSet&) { ++afterOpenRuns; });
}

void DayChain::load(const QString& date)
{
    dataSet.close();
    dataSet.setCommandText(QStringLiteral("select * from POS_DAY \r\nwhere INI_DATE = '%1'\r\nORDER BY EMPLOYEE_ID,TIME_IN \r\n")
                               .arg(date));
    dataSet.open();
}

void DayChain::go(const QString& employee)
{
    for (int row = 0; row < dataSet.recordCount(); ++row) {
        if (dataSet.cellText(row, 0) == employee) {
            dataSet.moveTo(row);
            return;
        }
    }
    QFAIL(qPrintable(employee + QStringLiteral(" not loaded")));
}

} // namespace kordane::test
