// How close a forward-only fetch through SQLDataSet1 stays to the raw client: 100,000
// rows of POS_DAY read once each way, plus the cost of turning every value into text.
#include "data/sql/SqlStatement.h"
#include "tests/support/TestDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace kordane;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    constexpr int rows = 100000;
    test::TestDatabase db;
    db.raw().execute("EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < " + std::to_string(rows) + ") DO BEGIN INSERT INTO POS_DAY VALUES ('E' || MOD(:i, 500), '2026/12/09', '08:00:00',"
                                                                                                          " '17:30:00', x'A454', 'Name ' || :i, 'C' || :i); i = i + 1; END END");
    const std::string sql = "select * from POS_DAY";

    QElapsedTimer timer;
    timer.start();
    (void)db.raw().query(sql); // warms the page cache for both
    timer.restart();
    const std::size_t rawRows = db.raw().query(sql).size();
    const qint64 rawMs = timer.restart();

    auto connection = db.connection();
    connection->open();
    SqlDataSet dataSet(QStringLiteral("SQLDataSet1"), *connection);
    dataSet.setCommandText(QString::fromStdString(sql));
    timer.restart();
    std::size_t bytes = 0, count = 0;
    for (dataSet.open(); !dataSet.eof(); dataSet.next(), ++count)
        for (int c = 0; c < dataSet.fieldCount(); ++c)
            bytes += dataSet.rawText(c).size();
    const qint64 viewMs = timer.restart();
    dataSet.close();

    std::size_t chars = 0;
    for (dataSet.open(); !dataSet.eof(); dataSet.next())
        for (int c = 0; c < dataSet.fieldCount(); ++c)
            chars += static_cast<std::size_t>(dataSet.asString(c).size());
    const qint64 textMs = timer.elapsed();

    std::printf("rows: raw %zu, data set %zu (%zu bytes, %zu characters)\n", rawRows, count, bytes, chars);
    std::printf("raw client (copies every value): %lld ms\n", static_cast<long long>(rawMs));
    std::printf("SQLDataSet1, rawText:            %lld ms\n", static_cast<long long>(viewMs));
    std::printf("SQLDataSet1, asString:           %lld ms\n", static_cast<long long>(textMs));
    return 0;
}
