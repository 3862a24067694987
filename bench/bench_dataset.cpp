// Loading one date of 100,000 attendance rows into the day result set, beside the raw
// client's fetch of the same rows as text, in one run on one database; and what the
// loaded rows cost in memory. Usage: bench_dataset [directory]
#include "data/resultset/ClientDataSet.h"
#include "data/resultset/Components.h"
#include "data/resultset/DataSetProvider.h"
#include "data/sql/SqlConnection.h"
#include "data/sql/SqlStatement.h"
#include "tools/rawfb/RawFirebird.h"
#include "tools/rawfb/Schema.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

using namespace kordane;

namespace {

constexpr int rowCount = 100000;
const char* const user = "SYSDBA";
const std::string password = kordane::storedPassword.toStdString();
const char* const query = "select * from POS_DAY \r\nwhere INI_DATE = '2026/12/07'\r\nORDER BY EMPLOYEE_ID,TIME_IN \r\n";

void fill(const std::string& database)
{
    auto db = RawFirebird::create(database, user, password);
    db.execute(kordaneSchema());
    db.execute("EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN"
               " WHILE (i < "
               + std::to_string(rowCount) + ") DO BEGIN"
                                            "  INSERT INTO POS_DAY VALUES ('E' || LPAD(:i, 6, '0'), '2026/12/07', '08:00:00', '17:30:00',"
                                            "   x'A4EA', 'Employee ' || :i, 'C' || LPAD(:i, 8, '0'));"
                                            "  i = i + 1; END END");
}

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

double millisecondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    try {
        QTemporaryDir temporary;
        const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
        const std::string database = (dir + QStringLiteral("/bench_dataset.fdb")).toStdString();
        if (!QFile::exists(QString::fromStdString(database)))
            fill(database);

        SqlConnection connection;
        connection.loadParamsOnConnect = false;
        connection.libraryName = QCoreApplication::applicationDirPath() + QStringLiteral("/libdbxfb.so");
        connection.params = {QStringLiteral("DriverName=Interbase"), QStringLiteral("Database=") + QString::fromStdString(database),
                             QStringLiteral("User_Name=") + QString::fromUtf8(user), QStringLiteral("Password=") + QString::fromUtf8(password),
                             QStringLiteral("SQLDialect=3")};
        SqlDataSet source(QStringLiteral("SQLDataSet1"), connection);
        DataSetProvider provider(QStringLiteral("DataSetProvider1"), source);
        ClientDataSet dataSet(QStringLiteral("ClientDataSet1"));
        dataSet.setProvider(&provider);
        dataSet.setCommandText(QString::fromLatin1(query));
        connection.open();

        // Memory first, before the raw fetches leave freed blocks the result set could reuse.
        // The first load also grows the in-process engine (page cache, sort space); the
        // second one, after a close, shows what holding the rows costs.
        const auto growthOfLoad = [&] {
            const long before = residentKiB();
            dataSet.open();
            const long growth = residentKiB() - before;
            if (dataSet.recordCount() != rowCount)
                throw Exception(QStringLiteral("loaded %1 rows").arg(dataSet.recordCount()));
            dataSet.close();
            return growth;
        };
        const long coldGrowthKiB = growthOfLoad();
        const long growthKiB = growthOfLoad();

        RawFirebird raw(database, user, password);
        std::size_t rawBytes = 0;
        for (const RawFirebird::Row& row : raw.query(query))
            for (const RawFirebird::Value& value : row)
                rawBytes += value ? value->size() : 0;

        // Taken in turns, so that a change in the machine's load falls on both alike.
        double rawMs = 1e30;
        double loadMs = 1e30;
        for (int round = 0; round < 5; ++round) {
            rawMs = std::min(rawMs, millisecondsOf([&] { (void)raw.query(query); }));
            loadMs = std::min(loadMs, millisecondsOf([&] { dataSet.open(); }));
            dataSet.close();
        }

        const double allowedKiB = (3.0 * static_cast<double>(rawBytes) + 64.0 * rowCount) / 1024.0;
        std::printf("rows                 %d\n", rowCount);
        std::printf("raw client fetch     %.1f ms (best of 5)\n", rawMs);
        std::printf("result set load      %.1f ms (best of 5)\n", loadMs);
        std::printf("ratio                %.2f (target <= 1.5)\n", loadMs / rawMs);
        std::printf("raw text bytes       %zu\n", rawBytes);
        std::printf("resident growth      %ld KiB (target <= %.0f KiB: 3x raw + 64 B a row)\n", growthKiB, allowedKiB);
        std::printf("  first load         %ld KiB (with the engine's own growth)\n", coldGrowthKiB);
        std::printf("memory per row       %.1f B (raw text %.1f B)\n", growthKiB * 1024.0 / rowCount,
                    static_cast<double>(rawBytes) / rowCount);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_dataset: %s\n", e.what());
        return 1;
    }
}
