// The window's costs on the benchmark database (bench_makedb), each beside what the raw
// client needs for the same work: start-up with the name backfill, the 100,000-row view,
// a removal from the grid applied, the add and modify commands, and peak memory.
// Usage (offscreen): bench_window <dir made by bench_makedb>
#include "Catalogue.h"
#include "ClientDataSet.h"
#include "DialogAnswers.h"
#include "Dialogs.h"
#include "Edit.h"
#include "FrmKordane.h"
#include "MaskEdit.h"
#include "RawFirebird.h"
#include "SpeedButton.h"
#include "SqlConnection.h"
#include "TestDatabase.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <stdexcept>

using namespace kordane;

namespace {

const std::string password = "quillbrex";

// Milliseconds.
double timed(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

void row(const char* what, double kordane, double raw, const char* unit = "ms")
{
    std::printf("| %-34s | %9.1f %-2s | %9.1f %-2s | %6.2f |\n", what, kordane, unit, raw, unit,
                raw > 0 ? kordane / raw : 0.0);
}

// The best of `n` runs, in milliseconds.
double best(int n, const std::function<void()>& work)
{
    double least = timed(work);
    for (int i = 1; i < n; ++i)
        least = std::min(least, timed(work));
    return least;
}

// The median of `n` runs of work(0), work(1), ..., in milliseconds.
double median(int n, const std::function<void(int)>& work)
{
    std::vector<double> ms;
    for (int i = 0; i < n; ++i)
        ms.push_back(timed([&] { work(i); }));
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

constexpr int rounds = 5;

// The resident set now, in MB.
double residentMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? double(fields[1].toLongLong()) * double(getpagesize()) / (1024.0 * 1024.0) : 0;
}

std::string text(const QString& s) { return s.toStdString(); }

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_window <dir>\n");
        return 2;
    }
    // A copy of the made database, so that every run starts from the same rows.
    QTemporaryDir dir;
    const QString copy = dir.path() + QStringLiteral("/POSDATA.FDB");
    if (!QFile::copy(QDir(QString::fromLocal8Bit(argv[1])).absoluteFilePath(QStringLiteral("POSDATA.FDB")), copy)) {
        std::fprintf(stderr, "no database in %s (run bench_makedb)\n", argv[1]);
        return 1;
    }
    const std::string database = text(copy);
    const QString connections = test::TestDatabase::connectionsTextFor(copy, QString::fromStdString(password));
    const QString connectionsFile = dir.path() + QStringLiteral("/dbxconnections.ini");
    const QString driversFile = dir.path() + QStringLiteral("/dbxdrivers.ini");
    if (!test::writeTextFile(connectionsFile, connections) ||
        !test::writeTextFile(driversFile, test::TestDatabase::driversText()))
        return 1;
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
    const QString cutOff = catalogue::cutOffDateText(QDate::currentDate());
    try {
        // Held open throughout, so that both sides find the engine loaded and the cache warm.
        RawFirebird holder(database, "SYSDBA", password, "NONE");
        const auto missNames = [&] {
            holder.execute("UPDATE POS_DAY SET EMPLOYEE_NAME = NULL WHERE INI_DATE >= '" + text(cutOff) +
                           "' AND CARD_ID LIKE '%0'");
        };
        (void)holder.query("SELECT COUNT(*) FROM POS_DAY");

        missNames();
        const double rawStart = timed([&] {
            RawFirebird db(database, "SYSDBA", password, "NONE");
            db.execute(text(catalogue::joinLines(catalogue::backfillNames(cutOff))));
            QWidget bare;
            bare.resize(800, 600);
            bare.show();
            (void)QTest::qWaitForWindowExposed(&bare);
        });

        QTemporaryDir settings;
        test::pointSettingsAt(settings.path(), connectionsFile, driversFile);
        missNames();
        std::unique_ptr<TFormKordane> w;
        const double start = timed([&] {
            w = std::make_unique<TFormKordane>();
            w->show();
            (void)QTest::qWaitForWindowExposed(w.get());
        });
        row("start-up, S1, window shown", start, rawStart);

        const std::string day = text(catalogue::joinLines(catalogue::daySelect(today)));
        std::vector<RawFirebird::Row> dayRows;
        const auto rawFetch = [&] { dayRows = holder.query(day); };
        const auto openView = [&] {
            w->SpeedButton2Click(w->SpeedButton2);
            w->repaint();
        };
        // Memory from the first run of each, before either side has freed rows the other
        // could reuse; time as the best of three more.
        w->MaskEdit1->assignText(today);
        double memory = residentMb();
        openView();
        memory = residentMb() - memory;
        double rawMemory = residentMb();
        rawFetch();
        rawMemory = residentMb() - rawMemory;
        const double rawView = best(3, rawFetch);
        const double view = best(3, openView);
        row("view of 100,000 rows (best of 3)", view, rawView);
        row("memory the view holds", memory, rawMemory, "MB");
        if (std::size_t(w->ClientDataSet1.recordCount()) != dayRows.size() || dayRows.size() < 2 * rounds)
            throw std::runtime_error("the view shows " + std::to_string(w->ClientDataSet1.recordCount()) +
                                     " rows, the raw client " + std::to_string(dayRows.size()));

        const auto count = [&] { return std::stoll(holder.query("SELECT COUNT(*) FROM POS_DAY")[0][0].value_or("")); };
        // Each side's work is checked by what it left in the table.
        const auto checked = [&](long long change, const char* what, const std::function<double()>& work) {
            const long long before = count();
            const double ms = work();
            if (count() != before + change)
                throw std::runtime_error(std::string(what) + " did not change the table as it should");
            return ms;
        };

        // The grid removes its current row, from the top; the raw client rows from the end.
        const double remove = checked(-rounds, "the removal", [&] {
            return median(rounds, [&](int) {
                test::DialogAnswers answers({QStringLiteral("Y")});
                w->N1Click(w->N1);
            });
        });
        // What the grid's removal sends: every column of the row, as markers.
        const char* const columns[] = {"EMPLOYEE_ID", "INI_DATE", "TIME_IN", "TIME_OUT", "BILL_WEEK",
                                       "EMPLOYEE_NAME", "CARD_ID"};
        const double rawRemove = checked(-rounds, "the raw removal", [&] {
            return median(rounds, [&](int k) {
                const RawFirebird::Row& victim = dayRows[dayRows.size() - 1 - std::size_t(k)];
                std::string sql = "delete from POS_DAY where";
                std::vector<RawFirebird::Value> keys;
                for (std::size_t i = 0; i < std::size(columns); ++i) {
                    sql += std::string(i ? " and " : " ") + columns[i] + (victim[i] ? " = ?" : " is null");
                    if (victim[i])
                        keys.push_back(victim[i]);
                }
                holder.executePrepared(sql, keys);
            });
        });
        row("removal from the grid applied", remove, rawRemove);

        const auto code = [](const char* side, int k) { return QStringLiteral("%1%2").arg(QLatin1String(side)).arg(k); };
        const auto fill = [&](int k, const QString& name) {
            w->MaskEdit1->assignText(today);
            w->Edit1->setText(code("EK", k));
            w->MaskEdit2->assignText(QStringLiteral("09:00:00"));
            w->MaskEdit3->assignText(QStringLiteral("18:00:00"));
            w->Edit5->setText(name);
            w->Edit6->setText(QStringLiteral("CB"));
        };
        const auto command = [&](int k, const QString& name, void (TFormKordane::*handler)(QObject*),
                                 QObject* button) {
            fill(k, name);
            test::DialogAnswers answers({QStringLiteral("Y")});
            (w.get()->*handler)(button);
        };
        const auto insertSql = [&](int k, const char* name) {
            return "INSERT INTO POS_DAY VALUES ('" + text(code("ER", k)) + "', '" + text(today) +
                   "', '09:00:00', '18:00:00', x'A454', '" + name + "', 'CB')";
        };
        const auto recordWhere = [&](int k, auto statement) {
            return text(catalogue::joinLines(statement(today, code("ER", k), QStringLiteral("09:00:00"),
                                                       QStringLiteral("18:00:00"))));
        };

        const double add = checked(rounds, "the add", [&] {
            return median(rounds, [&](int k) { command(k, QStringLiteral("Bench"), &TFormKordane::SpeedButton3Click, w->SpeedButton3); });
        });
        const double rawAdd = checked(rounds, "the raw add", [&] {
            return median(rounds, [&](int k) {
                if (!holder.query(recordWhere(k, catalogue::duplicateCheck)).empty())
                    throw std::runtime_error("the raw add found its record there already");
                holder.execute(insertSql(k, "Bench"));
            });
        });
        row("add (round trip)", add, rawAdd);

        const double modify = checked(0, "the modify", [&] {
            return median(rounds, [&](int k) { command(k, QStringLiteral("Bench 2"), &TFormKordane::SpeedButton1Click, w->SpeedButton1); });
        });
        const double rawModify = checked(0, "the raw modify", [&] {
            return median(rounds, [&](int k) {
                holder.executeTogether({recordWhere(k, catalogue::deleteByValues), insertSql(k, "Bench 2")});
            });
        });
        if (holder.query("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_NAME = 'Bench 2'")[0][0] != std::to_string(2 * rounds))
            throw std::runtime_error("a modify did not store its record");
        row("modify (round trip)", modify, rawModify);

        // The share of each command above that is its confirmation, shown and answered.
        const double dialog = median(rounds, [&](int) {
            test::DialogAnswers answers({QStringLiteral("Y")});
            (void)confirmationDialog(QStringLiteral("確定要新增資料?"));
        });
        std::printf("| %-34s | %9.1f ms |              |        |\n", "of each: its confirmation dialog", dialog);

        w.reset();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("| %-34s | %9.1f MB |              |        |\n", "peak resident memory, whole run",
                double(usage.ru_maxrss) / 1024.0);
    return 0;
}
