// kordane-report's month for the month with the most rows of the benchmark database
// (bench_makedb), beside the raw client running the same aggregation as one statement;
// both from attaching to the last figure, and their figures compared employee by employee.
// Then its payroll of that month, on a copy of the database where every employee is
// scheduled, beside the tightest raw client fetching the rows it reads (TightClient.h);
// the payroll's lines checked against those rows, and its memory beside their store's.
// Usage: bench_report <dir made by bench_makedb> [payroll]   (payroll: that figure alone)
#include "bench/BenchData.h"
#include "bench/TightClient.h"
#include "bench/Timing.h"
#include "data/sql/SqlConnection.h"
#include "tests/support/TestDatabase.h"
#include "tools/admin/SchedulesPart.h"
#include "tools/rawfb/RawFirebird.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string_view>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Every employee in one of ten departments: the even ones work days, the odd ones
// nights, Monday to Friday; the month's 10th is a holiday.
void scheduleEveryone(const std::string& database, const std::string& month)
{
    RawFirebird db(database, "SYSDBA", password, "NONE");
    for (const std::string& sql : admin::schedulesMissing(db, TextCodec(QString())))
        db.execute(sql);
    db.execute({"INSERT INTO WORK_SHIFT VALUES ('DAY', 480, 1020, 60, 5, 5)", "INSERT INTO WORK_SHIFT VALUES ('NIGHT', 1320, 360, 30, 10, 10)",
                "INSERT INTO HOLIDAY VALUES ('" + month.substr(0, 4) + "-" + month.substr(5, 2) + "-10', 'bench')",
                "INSERT INTO EMPLOYEE_DEPARTMENT SELECT EMPLOYEE_ID, 'D' || MOD(CAST(SUBSTRING(EMPLOYEE_ID FROM 2) AS INTEGER), 10) FROM EMPLOYEE"});
    for (int d = 0; d < 10; ++d) {
        for (int weekday = 1; weekday <= 7; ++weekday) {
            const std::string shift = weekday > 5 ? "NULL" : d % 2 ? "'NIGHT'"
                                                                   : "'DAY'";
            db.execute("INSERT INTO WORK_PATTERN VALUES ('D', 'D" + std::to_string(d) + "', '2000-01-01', " + std::to_string(weekday) + ", " + shift + ")");
        }
    }
}

// The bytes the store holds for its rows: each value and its length.
std::size_t storeBytes(const bench::CompactStore& store, std::size_t columns)
{
    std::size_t bytes = 0;
    for (std::size_t r = 0; r < store.rows(); ++r) {
        for (std::size_t c = 0; c < columns; ++c)
            bytes += 1 + store.value(r, c).value_or(std::string_view()).size();
    }
    return bytes;
}

// Runs the report to its end and gives its own peak resident memory in MB: the peak of
// this run alone (wait4's), not the largest of every report run so far.
struct PayrollRun {
    QString csvFile;
    QProcessEnvironment env;
    QString connections;

    double operator()(const QString& period) const
    {
        std::vector<std::string> texts {(QCoreApplication::applicationDirPath() + QStringLiteral("/kordane-report")).toStdString(),
                                        "payroll", period.toStdString(), "--csv", csvFile.toStdString(), "--connections",
                                        connections.toStdString()};
        const std::size_t arguments = texts.size();
        for (const QString& variable : env.toStringList())
            texts.push_back(variable.toStdString());
        std::vector<char*> argv, envp;
        for (std::size_t i = 0; i < texts.size(); ++i)
            (i < arguments ? argv : envp).push_back(texts[i].data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&quiet);
        if (spawned != 0)
            throw std::runtime_error("cannot start kordane-report: " + std::string(std::strerror(spawned)));
        int status = 0;
        rusage usage {};
        if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            throw std::runtime_error("kordane-report payroll " + period.toStdString() + " failed");
        return double(usage.ru_maxrss) / 1024.0;
    }
};

void payrollFigure(const QString& database, const std::string& month, const std::string& rows, const QProcessEnvironment& baseEnv)
{
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("PAYROLL.FDB"));
    if (!QFile::copy(database, copy))
        throw std::runtime_error("cannot copy the database for the payroll");
    scheduleEveryone(copy.toStdString(), month);
    const QString connections = dir.filePath(QStringLiteral("dbxconnections.ini"));
    if (!test::writeTextFile(connections, test::TestDatabase::connectionsTextFor(copy, QString::fromStdString(password))))
        throw std::runtime_error("cannot write the payroll's connections file");
    const PayrollRun payroll {dir.filePath(QStringLiteral("payroll.csv")), baseEnv, connections};

    // The rows the report reads: the month's, its first week's before it, and its
    // neighbours, as date texts sort; then the employees.
    const QDate first = QDate::fromString(QString::fromStdString(month) + QStringLiteral("/01"), QStringLiteral("yyyy/MM/dd"));
    const QDate last = first.addMonths(1).addDays(-1);
    const QDate begin = first.addDays(1 - first.dayOfWeek());
    const std::string low = std::min(bench::dateText(begin.addDays(-1)), begin.toString(QStringLiteral("yyyy/MM")).toStdString() + "/00");
    const std::string high = bench::dateText(last.addDays(1));
    const bench::TightClient::Value bounds[] = {low, high};
    bench::CompactStore records, staff;
    const auto fetch = [&] {
        bench::TightClient raw(copy.toStdString(), "SYSDBA", password);
        bench::TightClient::Statement period(raw, "SELECT EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT, BILL_WEEK, EMPLOYEE_NAME, CARD_ID FROM POS_DAY WHERE INI_DATE BETWEEN ? AND ?");
        bench::TightClient::Statement employees(raw, "SELECT EMPLOYEE_ID, EMPLOYEE_NAME, CARD_ID FROM EMPLOYEE");
        records.clear();
        staff.clear();
        raw.query(period, bounds, records);
        raw.query(employees, {}, staff);
    };

    // A period with no rows first: what the report needs before any of them.
    const double idlePeak = payroll(QStringLiteral("1990/01"));
    double busiestPeak = 0;
    std::vector<double> ours, tight, ratios;
    for (int round = 0; round < 3; ++round) {
        tight.push_back(timed(fetch));
        ours.push_back(timed([&] { busiestPeak = std::max(busiestPeak, payroll(QString::fromStdString(month))); }));
        ratios.push_back(ours.back() / tight.back());
    }
    const double peak = busiestPeak - idlePeak;
    const std::size_t recordBytes = storeBytes(records, 7) + storeBytes(staff, 3);

    // Every employee has a line, and the days worked are the days the rows hold.
    std::set<std::string> codes, days;
    for (std::size_t r = 0; r < staff.rows(); ++r)
        codes.insert(std::string(*staff.value(r, 0)));
    for (std::size_t r = 0; r < records.rows(); ++r) {
        const std::string date(records.value(r, 1).value_or(std::string_view()));
        const QDate d = QDate::fromString(QString::fromStdString(date), QStringLiteral("yyyy/MM/dd"));
        if (d >= first && d <= last) {
            codes.insert(std::string(*records.value(r, 0)));
            days.insert(std::string(*records.value(r, 0)) + " " + date);
        }
    }
    QFile written(payroll.csvFile);
    if (!written.open(QIODevice::ReadOnly))
        throw std::runtime_error("no payroll written");
    const QList<QByteArray> lines = written.readAll().trimmed().split('\n');
    long long daysWorked = 0;
    for (qsizetype i = 1; i < lines.size(); ++i)
        daysWorked += lines[i].split(',').value(5).toLongLong();
    if (std::size_t(lines.size() - 1) != codes.size() || std::size_t(daysWorked) != days.size())
        throw std::runtime_error("the payroll has " + std::to_string(lines.size() - 1) + " employees and " + std::to_string(daysWorked) + " days, the rows " + std::to_string(codes.size()) + " and " + std::to_string(days.size()));

    const std::string what = "payroll " + month + " (" + rows + " rows)";
    std::printf("| %-34s | %9.1f %-2s | %9.1f %-2s | %6.2f |\n", what.c_str(), median(ours), "ms", median(tight), "ms", median(ours) / median(tight));
    std::printf("payroll memory: %.1f MB at the peak beyond an empty period's, the rows' raw store %.1f MB (%.2fx)\n", peak,
                double(recordBytes) / 1048576.0, peak * 1048576.0 / double(recordBytes));
    std::printf("ratio payroll min %.2f median %.2f\n", *std::min_element(ratios.begin(), ratios.end()), median(ratios));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool payrollOnly = argc == 3 && std::string_view(argv[2]) == "payroll";
    if (argc != 2 && !payrollOnly) {
        std::fprintf(stderr, "usage: bench_report <dir> [payroll]\n");
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

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        if (payrollOnly) {
            payrollFigure(database, month, rows, env);
            return 0;
        }
        // The engine is one process's at a time, so the two take turns.
        std::vector<double> ours, raw;
        QByteArray report;
        std::vector<RawFirebird::Row> figures;
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
        payrollFigure(database, month, rows, env);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_report: %s\n", e.what());
        return 1;
    }
    return 0;
}
