// What kordane-admin punches import costs beside the raw client writing the same rows:
// 1,000,000 punches (5,000 cards, an in and an out a day for 100 days) imported into a
// copy of the benchmark database, against a program on the bare client that inserts the
// same PUNCH rows and POS_DAY records, in the same order, with one prepared statement
// each, in one transaction, every value made before its clock starts; then the same file imported a
// second time (nothing new) beside the first. Interleaved rounds, order alternated, each
// on fresh copies.
// Usage: bench_punches <dir made by bench_makedb> [rounds]
#include "bench/Timing.h"
#include "data/sql/EmbeddedEngine.h"
#include "data/sql/SqlConnection.h"
#include "data/sql/TextCodec.h"
#include "tools/admin/SiteParts.h"
#include "tools/rawfb/RawFirebird.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <ibase.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kordane;
using kordane::bench::median;
using kordane::bench::timed;

namespace {

constexpr int cards = 5000;
constexpr int days = 100;
const QDate firstDay(2001, 1, 1); // long before the benchmark database's own dates
const std::string password = kordane::storedPassword.toStdString();

std::string two(int n)
{
    return std::string(1, char('0' + n / 10)) + char('0' + n % 10);
}

struct Punch {
    int card;
    QDate day;
    int minute; // of the day
};

std::string stamp(const Punch& p)
{
    return p.day.toString(Qt::ISODate).toStdString() + " " + two(p.minute / 60) + ":" + two(p.minute % 60) + ":00";
}

// The terminal's file, and the rows the import writes for it, as texts.
struct Work {
    QByteArray file;
    std::vector<std::vector<std::string>> punches; // PUNCH: 9 values, TERMINAL and DIRECTION null
    std::vector<std::vector<std::string>> records; // POS_DAY: the insert's 7
};

// In the order the import writes them: employee by employee (their codes sorted as
// bytes), each one's punches and records by time, so that both sides fill the indexes
// alike.
Work work()
{
    const TextCodec codec {QString()};
    Work w;
    w.file = "CARD_ID,PUNCHED_AT\n";
    std::vector<int> order(cards);
    for (int c = 0; c < cards; ++c)
        order[static_cast<std::size_t>(c)] = c;
    std::sort(order.begin(), order.end(), [](int a, int b) { return std::to_string(a) < std::to_string(b); });
    std::vector<int> lineOf(static_cast<std::size_t>(cards) * days * 2);
    int line = 1;
    for (int d = 0; d < days; ++d) {
        for (int c = 0; c < cards; ++c) {
            for (const int minute : {8 * 60 + c % 30, 17 * 60 + c % 45}) {
                w.file += QByteArray::fromStdString("C" + std::to_string(c) + "," + stamp({c, firstDay.addDays(d), minute}).substr(0, 16) + "\n");
                lineOf[(static_cast<std::size_t>(c) * days + static_cast<std::size_t>(d)) * 2 + (minute >= 17 * 60 ? 1 : 0)] = ++line;
            }
        }
    }
    for (const int c : order) {
        const std::string card = "C" + std::to_string(c);
        const std::string employee = "E" + std::to_string(c);
        for (int d = 0; d < days; ++d) {
            const QDate day = firstDay.addDays(d);
            const Punch in {c, day, 8 * 60 + c % 30};
            const Punch out {c, day, 17 * 60 + c % 45};
            const std::size_t at = (static_cast<std::size_t>(c) * days + static_cast<std::size_t>(d)) * 2;
            w.punches.push_back({card, stamp(in), employee, "I", stamp(out), "punches.csv", std::to_string(lineOf[at])});
            w.punches.push_back({card, stamp(out), employee, "O", stamp(in), "punches.csv", std::to_string(lineOf[at + 1])});
            const std::string weekday = codec.encode(QString(QStringView(u"日一二三四五六")[day.dayOfWeek() % 7])).toStdString();
            w.records.push_back({day.toString(QStringLiteral("yyyy/MM/dd")).toStdString(), employee, stamp(in).substr(11),
                                 stamp(out).substr(11), card, "Name " + std::to_string(c), weekday});
        }
    }
    return w;
}

void check(ISC_STATUS result, const ISC_STATUS* status)
{
    checkClient(result == 0, status);
}

// One statement prepared once and executed for each row, its text values bound in place.
void insertAll(isc_db_handle* db, isc_tr_handle* tr, const char* sql, const std::vector<std::vector<std::string>>& rows,
               const std::vector<int>& nullAt)
{
    ISC_STATUS_ARRAY status;
    isc_stmt_handle stmt = 0;
    check(isc_dsql_allocate_statement(status, db, &stmt), status);
    check(isc_dsql_prepare(status, tr, &stmt, 0, sql, 3, nullptr), status);
    const short markers = static_cast<short>(rows.front().size() + nullAt.size());
    std::vector<char> storage(XSQLDA_LENGTH(markers));
    XSQLDA* in = reinterpret_cast<XSQLDA*>(storage.data());
    in->version = SQLDA_VERSION1;
    in->sqln = in->sqld = markers;
    std::vector<short> nulls(static_cast<std::size_t>(markers));
    for (const auto& row : rows) {
        std::size_t value = 0;
        for (short i = 0; i < markers; ++i) {
            XSQLVAR& v = in->sqlvar[i];
            const bool null = std::find(nullAt.begin(), nullAt.end(), i) != nullAt.end();
            v.sqltype = SQL_TEXT | 1;
            v.sqlscale = 0;
            v.sqlsubtype = 0;
            v.sqllen = null ? 0 : static_cast<short>(row[value].size());
            v.sqldata = null ? nullptr : const_cast<char*>(row[value].data());
            nulls[static_cast<std::size_t>(i)] = null ? -1 : 0;
            v.sqlind = &nulls[static_cast<std::size_t>(i)];
            value += null ? 0 : 1;
        }
        check(isc_dsql_execute(status, tr, &stmt, SQLDA_VERSION1, in), status);
    }
    check(isc_dsql_free_statement(status, &stmt, DSQL_drop), status);
}

void raw(const std::string& database, const Work& w)
{
    RawFirebird attachment(database, "SYSDBA", password, "NONE");
    ISC_STATUS_ARRAY status;
    isc_tr_handle tr = 0;
    static const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version, isc_tpb_wait};
    check(isc_start_transaction(status, &tr, 1, attachment.handle(), static_cast<unsigned short>(sizeof tpb), tpb), status);
    insertAll(attachment.handle(), &tr,
              "INSERT INTO PUNCH (CARD_ID, PUNCHED_AT, TERMINAL, DIRECTION, EMPLOYEE_ID, ROLE, PAIRED_AT, SOURCE_FILE, "
              "SOURCE_LINE) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
              w.punches, {2, 3});
    insertAll(attachment.handle(), &tr,
              "INSERT INTO POS_DAY (INI_DATE, EMPLOYEE_ID, TIME_IN, TIME_OUT, CARD_ID, EMPLOYEE_NAME, BILL_WEEK) VALUES (?, ?, ?, ?, ?, ?, ?)",
              w.records, {});
    check(isc_commit_transaction(status, &tr), status);
}

void run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error(program.toStdString() + " " + arguments.join(u' ').toStdString() + " failed");
}

// A fresh copy of the benchmark database with the punches' tables, and its connections file.
QString copy(const QString& made, const QTemporaryDir& dir, const QString& name)
{
    const QString database = dir.filePath(name + QStringLiteral(".FDB"));
    QFile::remove(database);
    if (!QFile::copy(made, database))
        throw std::runtime_error("cannot copy " + made.toStdString());
    RawFirebird db(database.toStdString(), "SYSDBA", password, "NONE");
    admin::addMissingParts(db, TextCodec(QString()));
    QFile file(dir.filePath(name + QStringLiteral(".ini")));
    if (!file.open(QIODevice::WriteOnly) || file.write(connectionsFileText({QStringLiteral("Database=") + database})) < 0)
        throw std::runtime_error("cannot write " + file.fileName().toStdString());
    return database;
}

double ratioMin(const std::vector<double>& a, const std::vector<double>& b, double* medianOut)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < a.size(); ++i)
        ratios.push_back(a[i] / b[i]);
    *medianOut = median(ratios);
    return *std::min_element(ratios.begin(), ratios.end());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: bench_punches <dir> [rounds]\n");
        return 2;
    }
    const int rounds = argc == 3 ? std::atoi(argv[2]) : 3;
    const QString made = QDir(QString::fromLocal8Bit(argv[1])).absoluteFilePath(QStringLiteral("POSDATA.FDB"));
    QTemporaryDir dir(QFileInfo(made).absolutePath() + QStringLiteral("/bench-punches-XXXXXX"));
    try {
        if (!QFileInfo::exists(made) || !dir.isValid())
            throw std::runtime_error("no database " + made.toStdString() + " (bench_makedb makes it)");
        engine::configure(dir.filePath(QStringLiteral("ours.FDB")));
        const Work w = work();
        const QString file = dir.filePath(QStringLiteral("punches.csv"));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(w.file) != w.file.size())
            throw std::runtime_error("cannot write " + file.toStdString());
        out.close();
        const QString admin = QCoreApplication::applicationDirPath() + QStringLiteral("/kordane-admin");
        const QStringList import = {QStringLiteral("punches"), QStringLiteral("import"), file, QStringLiteral("--connections"), dir.filePath(QStringLiteral("ours.ini"))};
        std::vector<double> first, again, bare;
        for (int round = 0; round < rounds; ++round) {
            const std::string bareDatabase = copy(made, dir, QStringLiteral("bare")).toStdString();
            copy(made, dir, QStringLiteral("ours"));
            const auto ours = [&] {
                first.push_back(timed([&] { run(admin, import); }));
                again.push_back(timed([&] { run(admin, import); }));
            };
            const auto theirs = [&] { bare.push_back(timed([&] { raw(bareDatabase, w); })); };
            if (round % 2) {
                theirs();
                ours();
            } else {
                ours();
                theirs();
            }
            std::fprintf(stderr, "round %d: import %.0f ms, again %.0f ms, raw %.0f ms\n", round + 1, first.back(), again.back(), bare.back());
        }
        std::printf("%zu punches, %zu records, into a copy of %s; %d rounds\n", w.punches.size(), w.records.size(), qPrintable(made), rounds);
        std::printf("| min / median ms | punches import | raw client | import again |\n");
        std::printf("|                 | %6.0f / %6.0f | %6.0f / %6.0f | %6.0f / %6.0f |\n", *std::min_element(first.begin(), first.end()), median(first),
                    *std::min_element(bare.begin(), bare.end()), median(bare), *std::min_element(again.begin(), again.end()), median(again));
        double mid = 0;
        double least = ratioMin(first, bare, &mid);
        std::printf("ratio punches-import min %.2f median %.2f\n", least, mid);
        least = ratioMin(again, first, &mid);
        std::printf("ratio punches-import-again min %.2f median %.2f\n", least, mid);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_punches: %s\n", e.what());
        return 1;
    }
    return 0;
}
