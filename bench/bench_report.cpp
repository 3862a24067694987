// kordane-report's month for the month with the most rows of the benchmark database
// (bench_makedb), beside the raw client running the same aggregation as one statement;
// both from attaching to the last figure, and their figures compared employee by employee.
// Usage: bench_report <dir made by bench_makedb>
#include "bench/Timing.h"
#include "data/sql/SqlConnection.h"
#include "tests/support/TestDatabase.h"
#include "tools/rawfb/RawFirebird.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <stdexcept>

using namespace kordane;
using kordane::bench::median;
using kordane::bench::timed;

namespace {

const std::string password = kordane::storedPassword.toStdString();

// A complete, real time text, and its seconds after midnight.
const std::string timeShape = "'([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]'";
std::string seconds(const std::string& column)
{
    return "IIF(" + column + " SIMILAR TO " + timeShape + ", DATEDIFF(SECOND FROM TIME '00:00:00' TO CAST(" + column + " AS TIME)), NULL)";
}

// Per employee: days, spells, seconds of closed spells (an off-duty time before the
// on-duty time ends the next day), open spells, and the reasons records need a look.
std::string aggregation(const std::string& month)
{
    const std::string sameDay = "q.EMPLOYEE_ID = r.EMPLOYEE_ID AND q.INI_DATE = r.INI_DATE AND q.RDB$DB_KEY <> r.K";
    const std::string identical = "COALESCE(q.TIME_IN, '') = COALESCE(r.TIME_IN, '') AND COALESCE(q.TIME_OUT, '') = COALESCE(r.TIME_OUT, '')";
    const std::string qb = seconds("q.TIME_IN"), qe = seconds("q.TIME_OUT");
    const std::string qEnd = qe + " + IIF(" + qe + " < " + qb + ", 86400, 0)";
    return "WITH s AS (SELECT p.RDB$DB_KEY AS K, p.EMPLOYEE_ID, p.INI_DATE, p.TIME_IN, p.TIME_OUT, p.BILL_WEEK,"
           " p.EMPLOYEE_NAME, p.CARD_ID, "
        + seconds("p.TIME_IN") + " AS T0, " + seconds("p.TIME_OUT") + " AS T1"
                                                                      " FROM POS_DAY p WHERE p.INI_DATE BETWEEN '"
        + month + "/00' AND '" + month + "/99'),"
                                         " r AS (SELECT s.*, T1 - T0 + IIF(T1 < T0, 86400, 0) AS LEN,"
                                         "  IIF(TIME_OUT IS NULL OR TIME_OUT NOT SIMILAR TO '%[0-9]%', 1, 0) AS OPEN_SPELL,"
                                         "  IIF(INI_DATE SIMILAR TO '[0-9]{4}/[0-9]{2}/[0-9]{2}', 1, 0) AS DATE_OK FROM s)"
                                         " SELECT r.EMPLOYEE_ID, COUNT(DISTINCT r.INI_DATE), COUNT(*), SUM(COALESCE(r.LEN, 0)), SUM(r.OPEN_SPELL),"
                                         " SUM(1 - DATE_OK"
                                         "  + IIF(DATE_OK = 1 AND r.BILL_WEEK IS DISTINCT FROM DECODE(EXTRACT(WEEKDAY FROM CAST(REPLACE(r.INI_DATE, '/', '-') AS DATE)),"
                                         "     0, x'A4E9', 1, x'A440', 2, x'A447', 3, x'A454', 4, x'A57C', 5, x'A4AD', 6, x'A4BB'), 1, 0)"
                                         "  + IIF(r.T0 IS NULL, 1, 0) + r.OPEN_SPELL + IIF(r.OPEN_SPELL = 0 AND r.T1 IS NULL, 1, 0) + IIF(r.T1 < r.T0, 1, 0)"
                                         "  + IIF(e.EMPLOYEE_ID IS NULL, 1, 0)"
                                         "  + IIF(e.EMPLOYEE_ID IS NOT NULL AND COALESCE(r.EMPLOYEE_NAME, '') <> COALESCE(e.EMPLOYEE_NAME, ''), 1, 0)"
                                         "  + IIF(e.EMPLOYEE_ID IS NOT NULL AND COALESCE(r.CARD_ID, '') <> COALESCE(e.CARD_ID, ''), 1, 0)"
                                         "  + IIF(EXISTS(SELECT 1 FROM POS_DAY q WHERE "
        + sameDay + " AND " + identical + "), 1, 0)"
                                          "  + IIF(r.LEN IS NOT NULL AND EXISTS(SELECT 1 FROM POS_DAY q WHERE "
        + sameDay + " AND NOT (" + identical + ")"
                                               "     AND "
        + qb + " < r.T0 + r.LEN AND r.T0 < " + qEnd + "), 1, 0))"
                                                      " FROM r LEFT JOIN EMPLOYEE e ON e.EMPLOYEE_ID = r.EMPLOYEE_ID GROUP BY r.EMPLOYEE_ID";
}

std::string lengthText(long long secs)
{
    const long long minutes = secs / 60;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", minutes / 60, minutes % 60);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_report <dir>\n");
        return 2;
    }
    const QString database = QDir(QString::fromLocal8Bit(argv[1])).absoluteFilePath(QStringLiteral("POSDATA.FDB"));
    QTemporaryDir dir;
    const QString connections = dir.filePath(QStringLiteral("dbxconnections.ini"));
    const QString drivers = dir.filePath(QStringLiteral("dbxdrivers.ini"));
    QDir().mkpath(dir.filePath(QStringLiteral("Kordane")));
    if (!test::writeTextFile(connections, test::TestDatabase::connectionsTextFor(database, QString::fromStdString(password)))
        || !test::writeTextFile(drivers, test::TestDatabase::driversText())
        || !test::writeTextFile(dir.filePath(QStringLiteral("Kordane/dbExpress.conf")),
                                QStringLiteral("[General]\nDriver Registry File=%1\n").arg(drivers)))
        return 1;
    try {
        std::string month;
        std::string rows;
        {
            RawFirebird db(database.toStdString(), "SYSDBA", password, "NONE");
            const auto most = db.query("SELECT FIRST 1 SUBSTRING(INI_DATE FROM 1 FOR 7), COUNT(*) FROM POS_DAY"
                                       " GROUP BY 1 ORDER BY 2 DESC");
            month = *most.at(0).at(0);
            rows = *most.at(0).at(1);
        }

        // The engine is one process's at a time, so the two take turns.
        std::vector<double> ours, raw;
        QByteArray report;
        std::vector<RawFirebird::Row> figures;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        for (int round = 0; round < 5; ++round) {
            raw.push_back(timed([&] {
                RawFirebird db(database.toStdString(), "SYSDBA", password, "NONE");
                figures = db.query(aggregation(month));
            }));
            ours.push_back(timed([&] {
                QProcess process;
                process.setProcessEnvironment(env);
                process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kordane-report"),
                              {QStringLiteral("month"), QString::fromStdString(month), QStringLiteral("--csv"),
                               QStringLiteral("--connections"), connections});
                if (!process.waitForFinished(600000) || process.exitCode() != 0)
                    throw std::runtime_error("kordane-report failed: " + process.readAllStandardError().toStdString());
                report = process.readAllStandardOutput();
            }));
        }

        // The same figures, or the comparison means nothing.
        std::map<std::string, std::string> expected;
        for (const auto& f : figures)
            expected[*f[0]] = *f[0] + "," + *f[1] + "," + *f[2] + "," + lengthText(std::stoll(*f[3])) + "," + *f[4] + "," + *f[5];
        const QList<QByteArray> lines = report.split('\n');
        std::size_t compared = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> cells = lines[i].trimmed().split(',');
            if (cells.size() != 7)
                continue;
            const std::string mine = (cells[0] + "," + cells[2] + "," + cells[3] + "," + cells[4] + "," + cells[5] + "," + cells[6]).toStdString();
            if (expected[cells[0].toStdString()] != mine)
                throw std::runtime_error("figures differ: report " + mine + ", raw " + expected[cells[0].toStdString()]);
            ++compared;
        }
        if (compared != expected.size())
            throw std::runtime_error("the report has " + std::to_string(compared) + " employees, the raw client " + std::to_string(expected.size()));
        const double k = median(ours), r = median(raw);
        const std::string what = "month report " + month + " (" + rows + " rows)";
        std::printf("| %-34s | %9.1f %-2s | %9.1f %-2s | %6.2f |\n", what.c_str(), k, "ms", r, "ms", k / r);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_report: %s\n", e.what());
        return 1;
    }
    return 0;
}
