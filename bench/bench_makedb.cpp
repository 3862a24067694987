// Makes the benchmarks' database once: 1,000,000 POS_DAY rows over the 365 dates up to
// today, 100,000 of them today, for 5,000 employees; in the last 35 days every tenth row
// lacks its name. Beside them, for the scaling table, three older dates hold 1,000,
// 10,000 and 1,000,000 rows (scalingDate in BenchData.h).
// Usage: bench_makedb <dir> (an existing database there is kept).
#include "bench/BenchData.h"
#include "data/sql/SqlConnection.h"
#include "tools/rawfb/RawFirebird.h"
#include "tools/rawfb/Schema.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

using namespace kordane;

namespace {

constexpr int employees = 5000;
constexpr int dates = 365;
constexpr int totalRows = 1000000;
constexpr int bigDayRows = 100000;
const std::string password = kordane::storedPassword.toStdString();

// Rows of one date in one statement (and transaction); `first` numbers the cards.
std::string dayBlock(const QDate& date, int rows, int first)
{
    const std::string name = date.daysTo(QDate::currentDate()) < 35 ? "IIF(MOD(:i, 10) = 0, NULL, 'Name ' || MOD(:i, 5000))"
                                                                    : "'Name ' || MOD(:i, 5000)";
    return "EXECUTE BLOCK AS DECLARE i INTEGER = " + std::to_string(first) + "; BEGIN WHILE (i < " + std::to_string(first + rows) + ") DO BEGIN INSERT INTO POS_DAY VALUES ('E' || MOD(:i, " + std::to_string(employees) + "), '" + bench::dateText(date) + "', '08:00:00', '17:30:00', x'A454', " + name + ", 'C' || :i); i = i + 1; END END";
}

// Whether the database's dates are today's: today holds the big day's rows.
bool madeToday(const std::string& database)
{
    RawFirebird db(database, "SYSDBA", password);
    const auto today = db.query("SELECT COUNT(*) FROM POS_DAY WHERE INI_DATE = '" + bench::dateText(QDate::currentDate()) + "'");
    return today.size() == 1 && today[0][0] == std::to_string(bigDayRows);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_makedb <dir>\n");
        return 2;
    }
    const QString dir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString database = dir + QStringLiteral("/POSDATA.FDB");
    QDir().mkpath(dir);
    if (QFileInfo::exists(database)) {
        try {
            if (madeToday(database.toStdString())) {
                std::printf("kept %s\n", qPrintable(database));
                return 0;
            }
        } catch (const std::exception& e) {
            // Kept: a database that cannot be read now may be in use.
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        // Its dates count back from the day it was made: the scaling dates no longer hold
        // their rows.
        std::printf("made on an earlier day, made again: %s\n", qPrintable(database));
        if (!QFile::remove(database)) {
            std::fprintf(stderr, "cannot remove %s\n", qPrintable(database));
            return 1;
        }
    }
    try {
        QElapsedTimer timer;
        timer.start();
        RawFirebird db = RawFirebird::create(database.toStdString(), "SYSDBA", password);
        db.execute(kordaneSchema());
        db.execute("EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < " + std::to_string(employees) + ") DO BEGIN INSERT INTO EMPLOYEE VALUES ('E' || :i, 'Name ' || :i, 'C' || :i); i = i + 1; END END");
        db.execute(dayBlock(QDate::currentDate(), bigDayRows, 0));
        const int perDay = (totalRows - bigDayRows) / (dates - 1);
        int first = bigDayRows;
        for (int d = 1; d < dates; ++d) {
            const int rows = d == dates - 1 ? totalRows - first : perDay;
            db.execute(dayBlock(QDate::currentDate().addDays(-d), rows, first));
            first += rows;
        }
        for (const int rows : bench::scalingRows)
            if (rows != bigDayRows) {
                // Blocks of at most 100,000 rows, each its own transaction.
                for (int done = 0; done < rows; done += bigDayRows)
                    db.execute(dayBlock(bench::scalingDate(rows), std::min(bigDayRows, rows - done), first + done));
                first += rows;
            }
        std::printf("made %s: %d rows in %lld ms\n", qPrintable(database), first, static_cast<long long>(timer.elapsed()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        QFile::remove(database);
        return 1;
    }
    return 0;
}
