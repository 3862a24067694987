// The window's costs on the benchmark database (bench_makedb), each beside the tightest
// program on the raw client doing the same specified work (TightClient.h): start-up with
// the name backfill, the view and a removal from the grid at 1,000 to 1,000,000 rows in a
// date, the add and modify commands with and without their confirmation, the client calls
// of each command, and the peak memory of a view beside a minimal store of the same rows.
//
// Every time is taken in interleaved rounds (Kordane, raw, then raw, Kordane, ...) and
// given as the medians of both sides and the min and median of the ratio of the rounds.
// Each round of a removal takes a row from the view it names (and one that the raw side
// shows), so that a 1,000-row view ends its rounds with about 500 rows.
// The database is copied into memory (/dev/shm when there is one), so that a commit costs
// no disk flush and the figures are the client's and the program's own. Both sides call
// the client through the same counting layer (clientcalls/).
// Usage (offscreen): bench_window <dir made by bench_makedb>
//   bench_window --memory kordane|raw <rows> <database>: one memory figure (a child run)
#include "attendance/Catalogue.h"
#include "attendance/RecordCommands.h"
#include "bench/BenchData.h"
#include "bench/TightClient.h"
#include "bench/Timing.h"
#include "data/resultset/ClientDataSet.h"
#include "data/sql/SqlConnection.h"
#include "forms/FrmKordane.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/WindowFixture.h"
#include "widgets/Dialogs.h"
#include "widgets/ErrorDisplay.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>

using namespace kordane;
using bench::MinimalStore;
using bench::TightClient;
using kordane::bench::median;
using kordane::bench::timed;

namespace {

const std::string password = kordane::storedPassword.toStdString();
constexpr int rounds = 11;
// Start-up and a command swing more from round to round than a view, and cost less: their
// medians hold from run to run only with more rounds. With a dialog, the dialog dominates.
constexpr int startupRounds = 61;
constexpr int commandRounds = 201;
constexpr int askedRounds = 41;

std::string text(const QString& s) { return s.toStdString(); }

// The copy of the database, in memory: removed also when the run ends early.
QTemporaryDir* workDir = nullptr;

struct Figure {
    std::vector<double> kordane, raw, ratio;
};

// Rounds of A and B, the order turned every round; `prepare` runs untimed before each side.
Figure interleaved(int n, const std::function<void(int)>& a, const std::function<void(int)>& b,
                   const std::function<void()>& prepare = {})
{
    Figure f;
    for (int i = 0; i < n; ++i) {
        double ta = 0, tb = 0;
        const auto runA = [&] {
            if (prepare)
                prepare();
            ta = timed([&] { a(i); });
        };
        const auto runB = [&] {
            if (prepare)
                prepare();
            tb = timed([&] { b(i); });
        };
        if (i % 2 == 0) {
            runA();
            runB();
        } else {
            runB();
            runA();
        }
        f.kordane.push_back(ta);
        f.raw.push_back(tb);
        f.ratio.push_back(ta / tb);
    }
    return f;
}

std::map<std::string, std::pair<double, double>> ratios; // the fixed lines at the end

void row(const char* what, const Figure& f, const char* name = nullptr, const char* unit = "ms")
{
    const double low = *std::min_element(f.ratio.begin(), f.ratio.end());
    const double mid = median(f.ratio);
    std::printf("| %-40s | %10.2f %-2s | %10.2f %-2s | %5.2f | %5.2f |\n", what, median(f.kordane), unit, median(f.raw),
                unit, low, mid);
    if (name)
        ratios[name] = {low, mid};
}

long clientCalls()
{
    static const auto count = [] {
        void* self = dlopen(KORDANE_CLIENTCALLS, RTLD_NOW | RTLD_NOLOAD);
        return self ? reinterpret_cast<long (*)()>(dlsym(self, "kordane_client_calls")) : nullptr;
    }();
    return count ? count() : -1;
}

// Peak resident memory since the mark, in MB (the kernel's high-water mark, reset).
struct MemoryMark {
    MemoryMark()
    {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        base = field("VmRSS:");
    }
    double peakMb() const { return (field("VmHWM:") - base) / 1024.0; }
    static double field(const char* name)
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith(name))
                return line.mid(int(std::strlen(name))).trimmed().split(' ').value(0).toDouble();
        return 0;
    }
    double base;
};

QString dateOf(int rows) { return QString::fromStdString(bench::dateText(bench::scalingDate(rows))); }

// The configuration files beside the database; the window calls the client through the
// counting layer.
void writeConfiguration(const QString& dir, const QString& database)
{
    const QString drivers = test::TestDatabase::driversText().replace(
        QStringLiteral("VendorLib=libfbclient.so.2"), QStringLiteral("VendorLib=" KORDANE_CLIENTCALLS));
    if (!test::writeTextFile(dir + QStringLiteral("/dbxconnections.ini"),
                             test::TestDatabase::connectionsTextFor(database, QString::fromStdString(password)))
        || !test::writeTextFile(dir + QStringLiteral("/dbxdrivers.ini"), drivers))
        throw std::runtime_error("cannot write the configuration files");
}

std::unique_ptr<TFormKordane> shownWindow()
{
    auto w = std::make_unique<TFormKordane>();
    w->show();
    (void)QTest::qWaitForWindowExposed(w.get());
    return w;
}

// The child run of --memory: the peak a view of `rows` rows adds to a shown window, or
// that the tight client's store adds.
int memoryRun(const QString& side, int rows, const QString& database)
{
    const QString dir = QFileInfo(database).absolutePath();
    QTemporaryDir settings;
    test::pointSettingsAt(settings.path(), dir + QStringLiteral("/dbxconnections.ini"),
                          dir + QStringLiteral("/dbxdrivers.ini"));
    const std::string sql = text(catalogue::joinLines(catalogue::daySelect(dateOf(rows))));
    double peak = 0;
    std::size_t shown = 0;
    if (side == u"kordane") {
        auto w = shownWindow();
        w->MaskEdit1->assignText(dateOf(rows));
        const MemoryMark mark;
        w->SpeedButton2Click(w->SpeedButton2);
        w->repaint();
        peak = mark.peakMb();
        shown = std::size_t(w->ClientDataSet1.recordCount());
    } else {
        TightClient raw(text(database), "SYSDBA", password);
        MinimalStore store;
        const MemoryMark mark;
        shown = raw.query(sql, store);
        peak = mark.peakMb();
    }
    std::printf("%zu %.1f\n", shown, peak);
    return 0;
}

// The peak of one side's child run; `shown` is set to the rows it showed.
double memoryOf(const QString& side, int rows, const QString& database, int& shown)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--memory"), side, QString::number(rows), database});
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        throw std::runtime_error("the memory run failed: " + child.readAllStandardError().toStdString());
    const QList<QByteArray> out = child.readAllStandardOutput().trimmed().split(' ');
    if (out.size() != 2)
        throw std::runtime_error("the memory run gave no figure");
    shown = out[0].toInt();
    return out[1].toDouble();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // An error the window would show ends the run: its figures would be of something else.
    ErrorDisplay::setPresenter([](const QString&, const QString& message) {
        std::fprintf(stderr, "the window showed: %s\n", qPrintable(message));
        if (workDir)
            workDir->remove();
        std::exit(1);
    });
    if (argc == 5 && QByteArray(argv[1]) == "--memory")
        return memoryRun(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt(), QString::fromLocal8Bit(argv[4]));
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_window <dir>\n");
        return 2;
    }
    const QString memoryDir = QStringLiteral("/dev/shm");
    QTemporaryDir dir(QDir(memoryDir).exists() ? memoryDir + QStringLiteral("/kordane-bench-XXXXXX") : QString());
    workDir = &dir;
    const QString copy = dir.path() + QStringLiteral("/POSDATA.FDB");
    if (!QFile::copy(QDir(QString::fromLocal8Bit(argv[1])).absoluteFilePath(QStringLiteral("POSDATA.FDB")), copy)) {
        std::fprintf(stderr, "no database in %s (run bench_makedb)\n", argv[1]);
        return 1;
    }
    const std::string database = text(copy);
    // Each memory figure comes from a child run, once this process has let go of the
    // database (the embedded engine gives a database file to one process at a time).
    const auto memory = [&](std::map<std::string, std::pair<double, double>>& into) {
        std::printf("\n| memory of a view (peak over the shown window) | Kordane | minimal raw store | ratio |\n");
        std::printf("|-----------------------------------------------|---------|-------------------|-------|\n");
        for (const int size : {100000, 1000000}) {
            Figure f;
            for (int i = 0; i < 3; ++i) {
                int kordaneRows = 0, rawRows = 0;
                f.kordane.push_back(memoryOf(QStringLiteral("kordane"), size, copy, kordaneRows));
                f.raw.push_back(memoryOf(QStringLiteral("raw"), size, copy, rawRows));
                if (kordaneRows != rawRows || kordaneRows < size * 9 / 10)
                    throw std::runtime_error("the memory runs showed different rows");
                f.ratio.push_back(f.kordane.back() / f.raw.back());
            }
            std::printf("| %-45s | %4.0f MB | %14.0f MB | %5.2f |\n",
                        qPrintable(QStringLiteral("%L1 rows (median of 3)").arg(size)), median(f.kordane),
                        median(f.raw), median(f.ratio));
            if (size == 1000000)
                into["memory-1m"] = {*std::min_element(f.ratio.begin(), f.ratio.end()), median(f.ratio)};
        }
    };
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
    const QString cutOff = catalogue::cutOffDateText(QDate::currentDate());
    try {
        writeConfiguration(dir.path(), copy);
        QTemporaryDir settings;
        test::pointSettingsAt(settings.path(), dir.path() + QStringLiteral("/dbxconnections.ini"),
                              dir.path() + QStringLiteral("/dbxdrivers.ini"));
        // Held open throughout, so that both sides find the engine loaded and the cache warm.
        RawFirebird holder(database, "SYSDBA", password, "NONE");
        const auto count = [&] { return std::stoll(holder.query("SELECT COUNT(*) FROM POS_DAY")[0][0].value_or("")); };
        const auto checked = [&](long long change, const char* what, const std::function<Figure()>& work) {
            const long long before = count();
            Figure f = work();
            if (count() != before + change)
                throw std::runtime_error(std::string(what) + " did not change the table as it should");
            return f;
        };
        (void)count();

        std::printf("| %-40s | %13s | %13s | ratio min / median |\n", "work", "Kordane", "raw client");
        std::printf("|------------------------------------------|---------------|---------------|-------|-------|\n");

        const std::string backfill = text(catalogue::joinLines(catalogue::backfillNames(cutOff)));
        // Before each side: names missing again, and the old versions that leaves swept
        // away, so that each side's backfill starts from the same pages and does only its own
        // work, not the other side's garbage collection.
        const auto missNames = [&] {
            holder.execute("UPDATE POS_DAY SET EMPLOYEE_NAME = NULL WHERE INI_DATE >= '" + text(cutOff) + "' AND CARD_ID LIKE '%0'");
            (void)holder.query("SELECT COUNT(*) FROM POS_DAY WHERE INI_DATE >= '" + text(cutOff) + "'");
        };
        row("start-up: name backfill and the window shown", interleaved(
                                                                startupRounds, [&](int) { (void)shownWindow(); }, [&](int) {
                                                               TightClient raw(database, "SYSDBA", password);
                                                               raw.execute(backfill, {}, false);
                                                               QWidget bare;
                                                               bare.resize(800, 600);
                                                               bare.show();
                                                               (void)QTest::qWaitForWindowExposed(&bare); }, missNames),
            "startup");

        auto w = shownWindow();
        TightClient raw(database, "SYSDBA", password);
        MinimalStore store;
        const char* const columns[] = {"EMPLOYEE_ID", "INI_DATE", "TIME_IN", "TIME_OUT", "BILL_WEEK", "EMPLOYEE_NAME",
                                       "CARD_ID"};
        constexpr std::size_t width = std::size(columns);
        // The raw removal's statement: what the grid's sends, every column of the row.
        const auto rawRemove = [&](std::size_t row) {
            std::string sql = "delete from POS_DAY where";
            std::vector<std::optional<std::string_view>> keys;
            for (std::size_t c = 0; c < width; ++c) {
                const std::size_t v = row * width + c;
                sql += std::string(c ? " and " : " ") + columns[c] + (store.null(v) ? " is null" : " = ?");
                if (!store.null(v))
                    keys.emplace_back(store.value(v));
            }
            if (raw.execute(sql, keys) != 1)
                throw std::runtime_error("the raw removal did not remove one row");
        };
        const auto confirm = [] {
            test::DialogAnswers answers({QStringLiteral("Y")});
            (void)confirmationDialog(QStringLiteral("確定刪除該筆資料.?"));
        };

        std::map<int, std::pair<long, long>> removalCalls;
        for (const int size : bench::scalingRows) {
            const QString date = dateOf(size);
            const std::string sql = text(catalogue::joinLines(catalogue::daySelect(date)));
            w->MaskEdit1->assignText(date);
            const QString label = QStringLiteral("view of %L1 rows").arg(size);
            row(qPrintable(label),
                interleaved(
                    rounds,
                    [&](int) {
                        w->SpeedButton2Click(w->SpeedButton2);
                        w->repaint();
                    },
                    [&](int) {
                        store.clear();
                        raw.query(sql, store);
                    }),
                size == 100000 ? "view-100k" : nullptr);
            if (std::size_t(w->ClientDataSet1.recordCount()) != store.values() / width || w->ClientDataSet1.recordCount() != size)
                throw std::runtime_error("the two sides show different rows");

            // The grid removes its current row from the top, the raw client rows from the end.
            std::size_t last = store.values() / width;
            const std::string name = "removal-" + std::string(size == 1000 ? "1k" : size == 10000 ? "10k"
                                                                  : size == 100000                ? "100k"
                                                                                                  : "1m");
            const Figure plain = checked(-2 * commandRounds, "the removal", [&] {
                return interleaved(
                    commandRounds,
                    [&](int) {
                        w->ClientDataSet1.deleteRecord();
                        w->ClientDataSet1.applyUpdates(0);
                    },
                    [&](int) { rawRemove(--last); });
            });
            row(qPrintable(QStringLiteral("removal, %L1 rows shown").arg(size)), plain, name.c_str());
            const Figure asked = checked(-2 * askedRounds, "the removal", [&] {
                return interleaved(
                    askedRounds,
                    [&](int) {
                        test::DialogAnswers answers({QStringLiteral("Y")});
                        w->N1Click(w->N1);
                    },
                    [&](int) {
                        confirm();
                        rawRemove(--last);
                    });
            });
            row(qPrintable(QStringLiteral("  with its confirmation")), asked);
            long before = clientCalls();
            w->ClientDataSet1.deleteRecord();
            w->ClientDataSet1.applyUpdates(0);
            const long kordaneCalls = clientCalls() - before;
            before = clientCalls();
            rawRemove(--last);
            removalCalls[size] = {kordaneCalls, clientCalls() - before};
        }

        const auto code = [](const char* side, int k) { return QStringLiteral("%1%2").arg(QLatin1String(side)).arg(k); };
        const QString weekday = QString::fromUtf8("\xE5\x9B\x9B"); // any weekday character will do
        const auto record = [&](int k, const QString& name) {
            return AttendanceRecord {.date = today,
                                     .employeeCode = code("EK", k),
                                     .timeIn = QStringLiteral("09:00:00"),
                                     .timeOut = QStringLiteral("18:00:00"),
                                     .weekday = weekday,
                                     .name = name,
                                     .card = QStringLiteral("CB")};
        };
        const auto fill = [&](int k, const QString& name) {
            const AttendanceRecord r = record(k, name);
            w->MaskEdit1->assignText(r.date);
            w->Edit1->setText(r.employeeCode);
            w->MaskEdit2->assignText(r.timeIn);
            w->MaskEdit3->assignText(r.timeOut);
            w->Edit5->setText(r.name);
            w->Edit6->setText(r.card);
            w->Edit7->setText(r.weekday);
        };
        // The raw side's texts and values; its dates and codes differ from the window's.
        std::string insert = text(catalogue::joinLines(catalogue::insertRecord()));
        for (const QString& p : catalogue::insertParamNames())
            insert.replace(insert.find(":" + text(p)), std::size_t(p.size()) + 1, "?");
        const std::string todayText = text(today);
        std::vector<std::string> codes;
        for (int k = 0; k <= commandRounds + askedRounds; ++k)
            codes.push_back(text(code("ER", k)));
        const auto insertValues = [&](int k, std::string_view name) {
            return std::vector<std::optional<std::string_view>> {todayText, codes[std::size_t(k)], "09:00:00", "18:00:00",
                                                                 "CB", name, "\xA5\x7C"};
        };
        const auto recordText = [&](int k, auto statement) {
            return text(catalogue::joinLines(statement(today, code("ER", k), QStringLiteral("09:00:00"),
                                                       QStringLiteral("18:00:00"))));
        };
        const auto rawAdd = [&](int k) {
            MinimalStore found;
            if (raw.query(recordText(k, catalogue::duplicateCheck), found) != 0)
                throw std::runtime_error("the raw add found its record there already");
            raw.execute(insert, insertValues(k, "Bench"), false);
        };
        const auto rawModify = [&](int k) {
            raw.executeTogether({{recordText(k, catalogue::deleteByValues), {}}, {insert, insertValues(k, "Bench 2")}});
        };
        // The commands' statements, as they run once the checks and the question have passed.
        const auto kordaneAdd = [&](int k) {
            const AttendanceRecord r = record(k, QStringLiteral("Bench"));
            if (attendance::recordExists(w->SQLQuery1, r))
                throw std::runtime_error("the add found its record there already");
            attendance::insertRecord(w->SQLQuery1, r);
        };
        const auto kordaneModify = [&](int k) {
            attendance::modify(w->SQLConnection1, w->SQLQuery1, record(k, QStringLiteral("Bench 2")));
        };
        const auto command = [&](int k, const QString& name, void (TFormKordane::*handler)(QObject*), QObject* button) {
            fill(k, name);
            test::DialogAnswers answers({QStringLiteral("Y")});
            (w.get()->*handler)(button);
        };
        const auto askFirst = [](const std::function<void(int)>& work) {
            return [work](int k) {
                test::DialogAnswers answers({QStringLiteral("Y")});
                (void)confirmationDialog(QStringLiteral("確定要新增資料?"));
                work(k);
            };
        };

        row("add (duplicate check, then insert)", checked(2 * commandRounds, "the add", [&] { return interleaved(commandRounds, kordaneAdd, rawAdd); }),
            "add");
        row("  with its confirmation", checked(2 * askedRounds, "the add", [&] {
                return interleaved(
                    askedRounds,
                    [&](int k) { command(commandRounds + k, QStringLiteral("Bench"), &TFormKordane::SpeedButton3Click, w->SpeedButton3); },
                    [&](int k) { askFirst(rawAdd)(commandRounds + k); });
            }));
        row("modify (delete by values and insert together)",
            checked(0, "the modify", [&] { return interleaved(commandRounds, kordaneModify, rawModify); }), "modify");
        row("  with its confirmation", checked(0, "the modify", [&] {
                return interleaved(
                    askedRounds,
                    [&](int k) { command(commandRounds + k, QStringLiteral("Bench 2"), &TFormKordane::SpeedButton1Click, w->SpeedButton1); },
                    [&](int k) { askFirst(rawModify)(commandRounds + k); });
            }));
        if (holder.query("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_NAME = 'Bench 2'")[0][0] != std::to_string(2 * (commandRounds + askedRounds)))
            throw std::runtime_error("a modify did not store its record");

        // One more of each, counted.
        const auto calls = [](const std::function<void()>& work) {
            const long before = clientCalls();
            work();
            return clientCalls() - before;
        };
        const int k = commandRounds + askedRounds;
        const long addCalls = calls([&] { kordaneAdd(k); });
        const long rawAddCalls = calls([&] { rawAdd(k); });
        const long modifyCalls = calls([&] { kordaneModify(k); });
        const long rawModifyCalls = calls([&] { rawModify(k); });

        std::printf("\n| client calls per command | Kordane | raw client |\n|---|---|---|\n");
        for (const auto& [size, pair] : removalCalls)
            std::printf("| removal, %d rows shown | %ld | %ld |\n", size, pair.first, pair.second);
        std::printf("| add | %ld | %ld |\n| modify | %ld | %ld |\n", addCalls, rawAddCalls, modifyCalls, rawModifyCalls);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    try {
        memory(ratios);
        std::printf("\n");
        for (const char* name : {"startup", "view-100k", "removal-1k", "removal-10k", "removal-100k", "removal-1m", "add",
                                 "modify", "memory-1m"})
            std::printf("ratio %s min %.2f median %.2f\n", name, ratios.at(name).first, ratios.at(name).second);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
