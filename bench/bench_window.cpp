// The window's costs on the benchmark database (bench_makedb), each beside the tightest
// program on the raw client doing the same work (TightClient.h): start-up with the name
// backfill, the view and a removal from the grid at 1,000 to 1,000,000 rows in a date,
// the add and modify commands with and without their confirmation, the client calls of
// each command, and the peak memory of a view beside a compact store of the same rows.
// Beside them, for continuity with the figures published before, the earlier yardstick
// that prepares every statement again (RepreparingClient.h).
//
// Then the same work across a network: the window and the tight program each reach a
// Firebird server through a relay of ours that holds every chunk 10 ms each way (a 20 ms
// round trip, as a branch office's link to its head office), with the client calls and
// the packets each way of every command. It needs the server that bench/run-all.sh
// starts, named by KORDANE_BENCH_SERVER ("127.0.0.1/port") and its SYSDBA password by
// KORDANE_BENCH_SERVER_PASSWORD; without them those figures are left out, saying so.
//
// Every time is taken in interleaved rounds (Kordane, raw, then raw, Kordane, ...; with a
// third side the order turns by one each round) and given as the medians of each side and
// the min and median of the ratio of the rounds. Each round of a removal takes a row from
// the view it names (and one that each raw side shows), so that a 1,000-row view ends its
// rounds with about 270 rows.
// The database is copied into memory (/dev/shm when there is one), so that a commit costs
// no disk flush and the figures are the client's and the program's own. Every side calls
// the client through the same counting layer (clientcalls/).
// Usage (offscreen): bench_window <dir made by bench_makedb> [embedded|net|memory]
//   bench_window --memory kordane|compact|minimal <rows> <database>: one memory figure (a child run)
#include "attendance/Catalogue.h"
#include "attendance/RecordCommands.h"
#include "bench/BenchData.h"
#include "bench/RepreparingClient.h"
#include "bench/TightClient.h"
#include "bench/Timing.h"
#include "data/resultset/ClientDataSet.h"
#include "data/sql/SqlConnection.h"
#include "forms/FrmKordane.h"
#include "tests/support/DelayRelay.h"
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
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>

using namespace kordane;
using bench::CompactStore;
using bench::MinimalStore;
using bench::RepreparingClient;
using bench::TightClient;
using kordane::bench::median;
using kordane::bench::timed;
using Value = TightClient::Value;

namespace {

const std::string storedPassword = kordane::storedPassword.toStdString();

// How many rounds each figure takes. Start-up and a command swing more from round to round
// than a view, and cost less: their medians hold from run to run only with more rounds.
// With a dialog, the dialog dominates. Across the network every client call waits a
// round trip, so a command takes a fifth of a second and a large view seconds: fewer
// rounds hold the median there.
struct Rounds {
    int view, bigView, startup, command, asked;
};
constexpr Rounds embeddedRounds {11, 11, 61, 201, 41};
constexpr Rounds netRounds {11, 3, 11, 21, 0};
constexpr auto netDelay = std::chrono::milliseconds(10);

std::string text(const QString& s) { return s.toStdString(); }

// The copy of the database, in memory: removed also when the run ends early.
QTemporaryDir* workDir = nullptr;

// Each side's times and each raw side's ratio; the first raw side is the yardstick.
struct Figure {
    std::vector<std::vector<double>> ms;
    std::vector<std::vector<double>> ratio;
};

// Rounds of every side, the order turned every round; `prepare` runs untimed before each.
Figure interleaved(int n, const std::vector<std::function<void(int)>>& sides, const std::function<void()>& prepare = {})
{
    Figure f;
    f.ms.resize(sides.size());
    f.ratio.resize(sides.size() - 1);
    for (int i = 0; i < n; ++i) {
        std::vector<double> t(sides.size());
        for (std::size_t j = 0; j < sides.size(); ++j) {
            const std::size_t s = (std::size_t(i) + j) % sides.size();
            if (prepare)
                prepare();
            t[s] = timed([&] { sides[s](i); });
        }
        for (std::size_t s = 0; s < sides.size(); ++s)
            f.ms[s].push_back(t[s]);
        for (std::size_t s = 1; s < sides.size(); ++s)
            f.ratio[s - 1].push_back(t[0] / t[s]);
    }
    return f;
}

std::map<std::string, std::pair<double, double>> ratios; // the fixed lines at the end
std::vector<std::string> ratioOrder;

void row(const std::string& what, const Figure& f, const std::string& name = {})
{
    const double low = *std::min_element(f.ratio[0].begin(), f.ratio[0].end());
    const double mid = median(f.ratio[0]);
    std::printf("| %-44s | %10.2f ms | %10.2f ms | %5.2f | %5.2f |", what.c_str(), median(f.ms[0]), median(f.ms[1]), low,
                mid);
    if (f.ms.size() > 2)
        std::printf(" %10.2f ms | %5.2f |\n", median(f.ms[2]), median(f.ratio[1]));
    else
        std::printf(" %13s | %5s |\n", "", "");
    if (!name.empty()) {
        ratios[name] = {low, mid};
        ratioOrder.push_back(name);
    }
}

void tableHead(const char* title)
{
    std::printf("\n%s\n\n| %-44s | %13s | %13s | ratio min / median | %13s | ratio |\n", title, "work", "Kordane",
                "raw client", "re-prepared");
    std::printf("|----------------------------------------------|---------------|---------------|-------|-------|---------------|-------|\n");
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

const char* sizeName(int rows)
{
    switch (rows) {
    case 1000:
        return "1k";
    case 10000:
        return "10k";
    case 100000:
        return "100k";
    default:
        return "1m";
    }
}

// The configuration files in `dir` for `database`; the window calls the client through
// the counting layer.
void writeConfiguration(const QString& dir, const QString& database, const QString& password)
{
    const QString drivers = test::TestDatabase::driversText().replace(
        QStringLiteral("VendorLib=libfbclient.so.2"), QStringLiteral("VendorLib=" KORDANE_CLIENTCALLS));
    if (!test::writeTextFile(dir + QStringLiteral("/dbxconnections.ini"), test::TestDatabase::connectionsTextFor(database, password))
        || !test::writeTextFile(dir + QStringLiteral("/dbxdrivers.ini"), drivers))
        throw std::runtime_error("cannot write the configuration files");
}

// What the program's main does with its window, up to its first paint.
std::unique_ptr<TFormKordane> startedWindow()
{
    auto w = std::make_unique<TFormKordane>();
    w->centreOnDesktop();
    w->PageControl1->tabBar()->setFocus(Qt::OtherFocusReason);
    w->show();
    (void)QTest::qWaitForWindowExposed(w.get());
    return w;
}

// What a view leaves to paint, painted as the event loop paints it once the click's handler
// returns: the grid, its headers and scroll bars; not the rest of the window, which a view
// does not change.
void paintWhatChanged() { QCoreApplication::sendPostedEvents(); }

// The raw program's window: as large as Kordane's, placed in the middle of the screen.
void bareWindow()
{
    QWidget bare;
    bare.resize(800, 600);
    bare.move(QGuiApplication::primaryScreen()->availableGeometry().center() - bare.rect().center());
    bare.show();
    (void)QTest::qWaitForWindowExposed(&bare);
}

constexpr const char* columns[] = {"EMPLOYEE_ID", "INI_DATE", "TIME_IN", "TIME_OUT", "BILL_WEEK", "EMPLOYEE_NAME",
                                   "CARD_ID"};
constexpr std::size_t width = std::size(columns);

// The tight program's own texts: markers where the values go.
const std::string daySql = "select * from POS_DAY where INI_DATE = ? ORDER BY EMPLOYEE_ID,TIME_IN";
const std::string duplicateSql = "SELECT a.INI_DATE, a.EMPLOYEE_ID, a.TIME_IN, a.TIME_OUT FROM POS_DAY a "
                                 "WHERE INI_DATE = ? AND EMPLOYEE_ID = ? AND TIME_IN = ? AND TIME_OUT = ?";
const std::string deleteSql = "DELETE FROM POS_DAY WHERE INI_DATE = ? AND EMPLOYEE_ID = ? AND TIME_IN = ? AND TIME_OUT = ?";
const std::string insertSql = "INSERT INTO POS_DAY(INI_DATE,EMPLOYEE_ID,TIME_IN,TIME_OUT,CARD_ID,EMPLOYEE_NAME,BILL_WEEK) "
                              "VALUES(?,?,?,?,?,?,?)";

// The grid's removal as the tight program sends it: every column of the row, `is null`
// for a null; one text for each pattern of nulls, prepared once.
std::string removalSql(unsigned nulls)
{
    std::string sql = "delete from POS_DAY where";
    for (std::size_t c = 0; c < width; ++c)
        sql += std::string(c ? " and " : " ") + columns[c] + (nulls & (1u << c) ? " is null" : " = ?");
    return sql;
}

// The child run of --memory: the peak a view of `rows` rows adds to a shown window, or
// that a raw store adds. Each raw side first runs the start-up's backfill, as the window
// has, so that the engine's cache holds the same pages on every side when the mark is set.
int memoryRun(const QString& side, int rows, const QString& database)
{
    const QString dir = QFileInfo(database).absolutePath();
    QTemporaryDir settings;
    test::pointSettingsAt(settings.path(), dir + QStringLiteral("/dbxconnections.ini"),
                          dir + QStringLiteral("/dbxdrivers.ini"));
    const std::string backfill = text(catalogue::joinLines(catalogue::backfillNames(catalogue::cutOffDateText(QDate::currentDate()))));
    double peak = 0;
    std::size_t shown = 0;
    if (side == u"kordane") {
        auto w = startedWindow();
        w->MaskEdit1->assignText(dateOf(rows));
        const MemoryMark mark;
        w->SpeedButton2Click(w->SpeedButton2);
        paintWhatChanged();
        peak = mark.peakMb();
        shown = std::size_t(w->ClientDataSet1.recordCount());
    } else if (side == u"compact") {
        TightClient raw(text(database), "SYSDBA", storedPassword);
        raw.executeOnce(backfill);
        TightClient::Statement day(raw, daySql);
        const std::string date = text(dateOf(rows));
        const Value values[] = {date};
        CompactStore store;
        const MemoryMark mark;
        store.reserve(std::size_t(rows));
        shown = raw.query(day, values, store);
        peak = mark.peakMb();
    } else {
        RepreparingClient raw(text(database), "SYSDBA", storedPassword);
        raw.execute(backfill, {}, false);
        const std::string sql = text(catalogue::joinLines(catalogue::daySelect(dateOf(rows))));
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
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory"), side, QString::number(rows), database});
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        throw std::runtime_error("the memory run failed: " + child.readAllStandardError().toStdString());
    const QList<QByteArray> out = child.readAllStandardOutput().trimmed().split(' ');
    if (out.size() != 2)
        throw std::runtime_error("the memory run gave no figure");
    shown = out[0].toInt();
    return out[1].toDouble();
}

void memoryFigures(const QString& database)
{
    std::printf("\n| memory of a view (peak over the shown window) | Kordane | compact raw store | ratio | minimal store (earlier) | ratio |\n");
    std::printf("|-----------------------------------------------|---------|-------------------|-------|-------------------------|-------|\n");
    for (const int size : {100000, 1000000}) {
        std::vector<double> kordane, compact, minimal, ratio, earlier;
        for (int i = 0; i < 3; ++i) {
            int kordaneRows = 0, compactRows = 0, minimalRows = 0;
            kordane.push_back(memoryOf(QStringLiteral("kordane"), size, database, kordaneRows));
            compact.push_back(memoryOf(QStringLiteral("compact"), size, database, compactRows));
            minimal.push_back(memoryOf(QStringLiteral("minimal"), size, database, minimalRows));
            if (kordaneRows != compactRows || kordaneRows != minimalRows || kordaneRows < size * 7 / 10)
                throw std::runtime_error("the memory runs showed different rows");
            ratio.push_back(kordane.back() / compact.back());
            earlier.push_back(kordane.back() / minimal.back());
        }
        std::printf("| %-45s | %4.0f MB | %14.0f MB | %5.2f | %20.0f MB | %5.2f |\n",
                    qPrintable(QStringLiteral("%L1 rows (median of 3)").arg(size)), median(kordane), median(compact),
                    median(ratio), median(minimal), median(earlier));
        if (size == 1000000) {
            ratios["memory-1m"] = {*std::min_element(ratio.begin(), ratio.end()), median(ratio)};
            ratioOrder.push_back("memory-1m");
        }
    }
}

// One part of the benchmark: where both programs find the database, and what it runs.
struct Part {
    std::string prefix; // of its figures' names
    std::string database; // as both programs name it
    std::string password;
    QString configDir; // the window's two files
    RawFirebird* holder; // untimed looks at the table, not through the relay
    Rounds rounds;
    std::vector<int> viewSizes;
    std::vector<int> removalSizes;
    bool earlier; // the re-preparing yardstick as a third side, and the confirmations
    const test::DelayRelay* relay = nullptr;
};

struct Counted {
    long calls, up, down;
};

Counted counted(const Part& part, const std::function<void()>& work)
{
    const long calls = clientCalls();
    const long up = part.relay ? part.relay->chunksUp() : 0;
    const long down = part.relay ? part.relay->chunksDown() : 0;
    work();
    return {clientCalls() - calls, part.relay ? part.relay->chunksUp() - up : 0,
            part.relay ? part.relay->chunksDown() - down : 0};
}

void runPart(const Part& part)
{
    RawFirebird& holder = *part.holder;
    const Rounds& r = part.rounds;
    // The rounds of a command each side runs, with and without its confirmation, and the
    // one more that is counted.
    const int commands = r.command + r.asked + 1;
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
    const QString cutOff = catalogue::cutOffDateText(QDate::currentDate());
    const auto count = [&] { return std::stoll(holder.query("SELECT COUNT(*) FROM POS_DAY")[0][0].value_or("")); };
    const auto checked = [&](long long change, const char* what, const std::function<Figure()>& work) {
        const long long before = count();
        Figure f = work();
        if (count() != before + change)
            throw std::runtime_error(std::string(what) + " did not change the table as it should");
        return f;
    };
    const long long sides = part.earlier ? 3 : 2;
    // Each side's calls and packets of one more of a command.
    std::vector<std::pair<std::string, std::vector<Counted>>> perCommand;

    QTemporaryDir settings;
    test::pointSettingsAt(settings.path(), part.configDir + QStringLiteral("/dbxconnections.ini"),
                          part.configDir + QStringLiteral("/dbxdrivers.ini"));
    const std::string backfill = text(catalogue::joinLines(catalogue::backfillNames(cutOff)));
    // Before each side: names missing again, and the old versions that leaves swept away,
    // so that each side's backfill starts from the same pages and does only its own work,
    // not the other side's garbage collection.
    const auto missNames = [&] {
        holder.execute("UPDATE POS_DAY SET EMPLOYEE_NAME = NULL WHERE INI_DATE >= '" + text(cutOff) + "' AND CARD_ID LIKE '%0'");
        (void)holder.query("SELECT COUNT(*) FROM POS_DAY WHERE INI_DATE >= '" + text(cutOff) + "'");
    };
    const std::function<void(int)> kordaneStart = [&](int) { (void)startedWindow(); };
    const std::function<void(int)> rawStart = [&](int) {
        TightClient raw(part.database, "SYSDBA", part.password);
        raw.executeOnce(backfill);
        bareWindow();
    };
    const std::function<void(int)> earlierStart = [&](int) {
        RepreparingClient raw(part.database, "SYSDBA", part.password);
        raw.execute(backfill, {}, false);
        bareWindow();
    };
    std::vector<std::function<void(int)>> startSides {kordaneStart, rawStart};
    if (part.earlier)
        startSides.push_back(earlierStart);
    row("start-up: name backfill and the window shown", interleaved(r.startup, startSides, missNames), part.prefix + "startup");
    missNames();
    {
        std::vector<Counted> c {counted(part, [&] { kordaneStart(0); })};
        missNames();
        c.push_back(counted(part, [&] { rawStart(0); }));
        if (part.earlier) {
            missNames();
            c.push_back(counted(part, [&] { earlierStart(0); }));
        }
        perCommand.emplace_back("start-up", std::move(c));
    }

    auto w = startedWindow();
    TightClient raw(part.database, "SYSDBA", part.password);
    std::optional<RepreparingClient> earlier;
    if (part.earlier)
        earlier.emplace(part.database, "SYSDBA", part.password);
    TightClient::Statement day(raw, daySql), duplicate(raw, duplicateSql), deleteByValues(raw, deleteSql),
        insert(raw, insertSql);
    std::map<unsigned, std::unique_ptr<TightClient::Statement>> removals; // by the row's pattern of nulls
    CompactStore store;
    MinimalStore earlierStore;

    const auto rawRemove = [&](std::size_t row) {
        std::array<Value, width> keys;
        std::size_t n = 0;
        unsigned nulls = 0;
        for (std::size_t c = 0; c < width; ++c) {
            const Value v = store.value(row, c);
            if (v)
                keys[n++] = v;
            else
                nulls |= 1u << c;
        }
        auto& statement = removals[nulls];
        if (!statement)
            statement = std::make_unique<TightClient::Statement>(raw, removalSql(nulls));
        if (raw.execute(*statement, {keys.data(), n}, true) != 1)
            throw std::runtime_error("the raw removal did not remove one row");
    };
    // The earlier yardstick's removal, as it was: its text made and prepared each time.
    const auto earlierRemove = [&](std::size_t row) {
        std::string sql = "delete from POS_DAY where";
        std::vector<std::optional<std::string_view>> keys;
        for (std::size_t c = 0; c < width; ++c) {
            const std::size_t v = row * width + c;
            sql += std::string(c ? " and " : " ") + columns[c] + (earlierStore.null(v) ? " is null" : " = ?");
            if (!earlierStore.null(v))
                keys.emplace_back(earlierStore.value(v));
        }
        if (earlier->execute(sql, keys) != 1)
            throw std::runtime_error("the earlier raw removal did not remove one row");
    };
    const auto confirm = [] {
        test::DialogAnswers answers({QStringLiteral("Y")});
        (void)confirmationDialog(QStringLiteral("確定刪除該筆資料.?"));
    };

    for (const int size : part.viewSizes) {
        const QString date = dateOf(size);
        const std::string dateText = text(date);
        const Value dayValues[] = {dateText};
        const std::string earlierSql = text(catalogue::joinLines(catalogue::daySelect(date)));
        w->MaskEdit1->assignText(date);
        store.clear();
        store.reserve(std::size_t(size));
        std::vector<std::function<void(int)>> viewSides {[&](int) {
                                                             w->SpeedButton2Click(w->SpeedButton2);
                                                             paintWhatChanged();
                                                         },
                                                         [&](int) {
                                                             store.clear();
                                                             raw.query(day, dayValues, store);
                                                         }};
        if (part.earlier)
            viewSides.push_back([&](int) {
                earlierStore.clear();
                earlier->query(earlierSql, earlierStore);
            });
        const int viewRounds = size >= 100000 ? r.bigView : r.view;
        const bool named = size == 1000 || size == 100000;
        row(qPrintable(QStringLiteral("view of %L1 rows").arg(size)), interleaved(viewRounds, viewSides),
            named ? part.prefix + "view-" + sizeName(size) : std::string());
        if (std::size_t(w->ClientDataSet1.recordCount()) != store.rows() || w->ClientDataSet1.recordCount() != size
            || (part.earlier && earlierStore.values() != store.rows() * width))
            throw std::runtime_error("the sides show different rows");
        if (size == 1000) {
            std::vector<Counted> c {counted(part, [&] { viewSides[0](0); })};
            for (std::size_t side = 1; side < viewSides.size(); ++side)
                c.push_back(counted(part, [&] { viewSides[side](0); }));
            perCommand.emplace_back("view of 1,000 rows", std::move(c));
        }
        if (std::find(part.removalSizes.begin(), part.removalSizes.end(), size) == part.removalSizes.end())
            continue;

        // The grid removes its current row from the top. Each raw side removes, in the same
        // order, the rows below those the grid and the sides before it reach, so that every
        // side removes rows of one kind: the last rows of a day cost the engine up to a fifth
        // less to remove than its first ones. A side's rows begin with an employee of their
        // own: the order of one employee's rows with equal times is the engine's, and may
        // differ between the sides' views.
        const auto perSide = std::size_t(commands);
        const auto nextEmployee = [&](std::size_t row) {
            while (row > 0 && row < store.rows() && store.value(row, 0) == store.value(row - 1, 0))
                ++row;
            return row;
        };
        std::size_t tightNext = nextEmployee(perSide);
        std::size_t earlierNext = nextEmployee(tightNext + perSide);
        if ((part.earlier ? earlierNext : tightNext) + perSide > store.rows())
            throw std::runtime_error("the view holds too few rows for the removals");
        const std::string name = part.prefix + "removal" + (part.earlier ? std::string("-") + sizeName(size) : "");
        std::vector<std::function<void(int)>> removeSides {[&](int) {
                                                               w->ClientDataSet1.deleteRecord();
                                                               w->ClientDataSet1.applyUpdates(0);
                                                           },
                                                           [&](int) { rawRemove(tightNext++); }};
        if (part.earlier)
            removeSides.push_back([&](int) { earlierRemove(earlierNext++); });
        const Figure plain = checked(-sides * r.command, "the removal", [&] { return interleaved(r.command, removeSides); });
        row(qPrintable(QStringLiteral("removal, %L1 rows shown").arg(size)), plain, name);
        if (r.asked) {
            std::vector<std::function<void(int)>> askedSides {[&](int) {
                                                                  test::DialogAnswers answers({QStringLiteral("Y")});
                                                                  w->N1Click(w->N1);
                                                              },
                                                              [&](int) {
                                                                  confirm();
                                                                  rawRemove(tightNext++);
                                                              }};
            if (part.earlier)
                askedSides.push_back([&](int) {
                    confirm();
                    earlierRemove(earlierNext++);
                });
            row("  with its confirmation",
                checked(-sides * r.asked, "the removal", [&] { return interleaved(r.asked, askedSides); }));
        }
        std::vector<Counted> c;
        for (const auto& side : removeSides)
            c.push_back(counted(part, [&] { side(0); }));
        perCommand.emplace_back(qPrintable(QStringLiteral("removal, %L1 rows shown").arg(size)), std::move(c));
    }

    const auto code = [](const char* side, int k) { return QStringLiteral("%1%2").arg(QLatin1String(side)).arg(k); };
    const QString weekday = QString::fromUtf8("\xE5\x9B\x9B"); // any weekday character will do
    // The window's records of every round, made before any clock starts, as the tight
    // program's values are.
    std::map<QString, std::vector<AttendanceRecord>> records; // by name: added, then modified
    for (const QString& name : {QStringLiteral("Bench"), QStringLiteral("Bench 2")}) {
        for (int k = 0; k < commands; ++k)
            records[name].push_back(AttendanceRecord {.date = today,
                                                      .employeeCode = code("EK", k),
                                                      .timeIn = QStringLiteral("09:00:00"),
                                                      .timeOut = QStringLiteral("18:00:00"),
                                                      .weekday = weekday,
                                                      .name = name,
                                                      .card = QStringLiteral("CB")});
    }
    const auto record = [&](int k, const QString& name) -> const AttendanceRecord& {
        return records.at(name)[std::size_t(k)];
    };
    const auto fill = [&](int k, const QString& name) {
        const AttendanceRecord& rec = record(k, name);
        w->MaskEdit1->assignText(rec.date);
        w->Edit1->setText(rec.employeeCode);
        w->MaskEdit2->assignText(rec.timeIn);
        w->MaskEdit3->assignText(rec.timeOut);
        w->Edit5->setText(rec.name);
        w->Edit6->setText(rec.card);
        w->Edit7->setText(rec.weekday);
    };
    // The tight program's values of every round; its codes differ from the window's, and
    // the earlier yardstick's from both.
    const std::string todayText = text(today);
    std::vector<std::string> codes;
    for (int k = 0; k < commands; ++k)
        codes.push_back(text(code("ER", k)));
    std::vector<std::array<Value, 4>> keys;
    std::vector<std::array<Value, 7>> added, modified;
    for (int k = 0; k < commands; ++k) {
        keys.push_back({todayText, codes[std::size_t(k)], "09:00:00", "18:00:00"});
        added.push_back({todayText, codes[std::size_t(k)], "09:00:00", "18:00:00", "CB", "Bench", "\xA5\x7C"});
        modified.push_back({todayText, codes[std::size_t(k)], "09:00:00", "18:00:00", "CB", "Bench 2", "\xA5\x7C"});
    }
    const auto rawAdd = [&](int k) {
        if (raw.exists(duplicate, keys[std::size_t(k)]))
            throw std::runtime_error("the raw add found its record there already");
        raw.execute(insert, added[std::size_t(k)], false);
    };
    const auto rawModify = [&](int k) {
        raw.executeTogether(deleteByValues, keys[std::size_t(k)], insert, modified[std::size_t(k)]);
    };
    // The earlier yardstick's add and modify, as they were: texts made in the timed part.
    std::string earlierInsert = text(catalogue::joinLines(catalogue::insertRecord()));
    for (const QString& p : catalogue::insertParamNames())
        earlierInsert.replace(earlierInsert.find(":" + text(p)), std::size_t(p.size()) + 1, "?");
    std::vector<std::string> earlierCodes;
    for (int k = 0; k < commands; ++k)
        earlierCodes.push_back(text(code("EO", k)));
    const auto earlierValues = [&](int k, std::string_view name) {
        return std::vector<std::optional<std::string_view>> {todayText, earlierCodes[std::size_t(k)], "09:00:00", "18:00:00",
                                                             "CB", name, "\xA5\x7C"};
    };
    const auto earlierText = [&](int k, auto statement) {
        return text(catalogue::joinLines(
            statement(today, code("EO", k), QStringLiteral("09:00:00"), QStringLiteral("18:00:00"))));
    };
    const auto earlierAdd = [&](int k) {
        MinimalStore found;
        if (earlier->query(earlierText(k, catalogue::duplicateCheck), found) != 0)
            throw std::runtime_error("the earlier raw add found its record there already");
        earlier->execute(earlierInsert, earlierValues(k, "Bench"), false);
    };
    const auto earlierModify = [&](int k) {
        earlier->executeTogether({{earlierText(k, catalogue::deleteByValues), {}}, {earlierInsert, earlierValues(k, "Bench 2")}});
    };
    // The commands' statements, as they run once the checks and the question have passed.
    const auto kordaneAdd = [&](int k) {
        const AttendanceRecord& rec = record(k, QStringLiteral("Bench"));
        if (attendance::recordExists(w->SQLQuery1, rec))
            throw std::runtime_error("the add found its record there already");
        attendance::insertRecord(w->SQLQuery1, rec);
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
    const auto sidesOf = [&](std::function<void(int)> kordane, std::function<void(int)> tight,
                             std::function<void(int)> old) {
        std::vector<std::function<void(int)>> all {std::move(kordane), std::move(tight)};
        if (part.earlier)
            all.push_back(std::move(old));
        return all;
    };

    const auto addSides = sidesOf(kordaneAdd, rawAdd, earlierAdd);
    row("add (duplicate check, then insert)",
        checked(sides * r.command, "the add", [&] { return interleaved(r.command, addSides); }), part.prefix + "add");
    const int asked = r.command;
    if (r.asked)
        row("  with its confirmation", checked(sides * r.asked, "the add", [&] {
                return interleaved(
                    r.asked, sidesOf([&](int k) { command(asked + k, QStringLiteral("Bench"), &TFormKordane::SpeedButton3Click, w->SpeedButton3); }, [&](int k) { askFirst(rawAdd)(asked + k); }, [&](int k) { askFirst(earlierAdd)(asked + k); }));
            }));
    const auto modifySides = sidesOf(kordaneModify, rawModify, earlierModify);
    row("modify (delete by values and insert together)",
        checked(0, "the modify", [&] { return interleaved(r.command, modifySides); }), part.prefix + "modify");
    if (r.asked)
        row("  with its confirmation", checked(0, "the modify", [&] {
                return interleaved(
                    r.asked, sidesOf([&](int k) { command(asked + k, QStringLiteral("Bench 2"), &TFormKordane::SpeedButton1Click, w->SpeedButton1); }, [&](int k) { askFirst(rawModify)(asked + k); }, [&](int k) { askFirst(earlierModify)(asked + k); }));
            }));
    if (holder.query("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_NAME = 'Bench 2'")[0][0]
        != std::to_string(sides * (r.command + r.asked)))
        throw std::runtime_error("a modify did not store its record");

    // One more of each, counted.
    const int k = commands - 1;
    std::vector<Counted> addCounts, modifyCounts;
    for (const auto& side : addSides)
        addCounts.push_back(counted(part, [&] { side(k); }));
    for (const auto& side : modifySides)
        modifyCounts.push_back(counted(part, [&] { side(k); }));
    perCommand.emplace_back("add", std::move(addCounts));
    perCommand.emplace_back("modify", std::move(modifyCounts));

    if (part.relay) {
        std::printf("\n| through the relay, per command | client calls, Kordane / raw | packets to the server, Kordane / raw | "
                    "packets back, Kordane / raw |\n|---|---|---|---|\n");
        for (const auto& [what, c] : perCommand)
            std::printf("| %s | %ld / %ld | %ld / %ld | %ld / %ld |\n", what.c_str(), c[0].calls, c[1].calls, c[0].up,
                        c[1].up, c[0].down, c[1].down);
    } else {
        std::printf("\n| client calls per command | Kordane | raw client | re-prepared |\n|---|---|---|---|\n");
        for (const auto& [what, c] : perCommand)
            std::printf("| %s | %ld | %ld | %s |\n", what.c_str(), c[0].calls, c[1].calls,
                        c.size() > 2 ? std::to_string(c[2].calls).c_str() : "");
    }
}

// A copy of the benchmark's database in `dir`, as `name`.
QString copyDatabase(const char* from, const QString& dir, const QString& name)
{
    const QString copy = dir + u'/' + name;
    if (!QFile::copy(QDir(QString::fromLocal8Bit(from)).absoluteFilePath(QStringLiteral("POSDATA.FDB")), copy))
        throw std::runtime_error(std::string("no database in ") + from + " (run bench_makedb)");
    return copy;
}

void embeddedPart(const char* from, const QString& dir, bool timed)
{
    const QString copy = copyDatabase(from, dir, QStringLiteral("POSDATA.FDB"));
    writeConfiguration(dir, copy, QString::fromStdString(storedPassword));
    if (timed) {
        // Held open throughout, so that every side finds the engine loaded and the cache warm.
        RawFirebird holder(text(copy), "SYSDBA", storedPassword, "NONE");
        tableHead("## On one desk: the embedded engine");
        runPart({.prefix = "",
                 .database = text(copy),
                 .password = storedPassword,
                 .configDir = dir,
                 .holder = &holder,
                 .rounds = embeddedRounds,
                 .viewSizes = {bench::scalingRows.begin(), bench::scalingRows.end()},
                 .removalSizes = {bench::scalingRows.begin(), bench::scalingRows.end()},
                 .earlier = true});
    }
    // Each memory figure comes from a child run, once this process has let go of the
    // database (the embedded engine gives a database file to one process at a time).
    memoryFigures(copy);
}

void netPart(const char* from, const QString& dir)
{
    const QString server = qEnvironmentVariable("KORDANE_BENCH_SERVER");
    const QString serverPassword = qEnvironmentVariable("KORDANE_BENCH_SERVER_PASSWORD");
    const int port = server.section(u'/', 1).toInt();
    if (server.isEmpty() || port <= 0) {
        std::printf("\nnet figures skipped: no server named (KORDANE_BENCH_SERVER; bench/run-all.sh starts one)\n");
        return;
    }
    const QString netDir = dir + QStringLiteral("/net");
    QDir().mkpath(netDir);
    const QString copy = copyDatabase(from, netDir, QStringLiteral("POSDATA.FDB"));
    const test::DelayRelay relay(port, netDelay);
    const QString database = relay.address() + u':' + copy;
    writeConfiguration(netDir, database, serverPassword);
    RawFirebird holder(text(server + u':' + copy), "SYSDBA", text(serverPassword), "NONE");
    tableHead(qPrintable(QStringLiteral("## Across a network: a server through a relay %1 ms late each way").arg(netDelay.count())));
    runPart({.prefix = "net-",
             .database = text(database),
             .password = text(serverPassword),
             .configDir = netDir,
             .holder = &holder,
             .rounds = netRounds,
             .viewSizes = {1000, 100000},
             .removalSizes = {1000},
             .earlier = false,
             .relay = &relay});
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
    const QByteArray only = argc == 3 ? QByteArray(argv[2]) : QByteArray();
    if (argc < 2 || argc > 3 || (argc == 3 && only != "embedded" && only != "net" && only != "memory")) {
        std::fprintf(stderr, "usage: bench_window <dir> [embedded|net|memory]\n");
        return 2;
    }
    const QString memoryDir = QStringLiteral("/dev/shm");
    QTemporaryDir dir(QDir(memoryDir).exists() ? memoryDir + QStringLiteral("/kordane-bench-XXXXXX") : QString());
    workDir = &dir;
    try {
        if (only != "net")
            embeddedPart(argv[1], dir.path(), only != "memory");
        if (only.isEmpty() || only == "net")
            netPart(argv[1], dir.path());
        std::printf("\n");
        for (const std::string& name : ratioOrder)
            std::printf("ratio %s min %.2f median %.2f\n", name.c_str(), ratios.at(name).first, ratios.at(name).second);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
