// What a site's rules and audit trail cost the window's start-up: the name backfill
// updates every record of the last 35 days that misses its name, and with the rules each
// of those updates writes an audit entry. Two copies of the benchmark database, one with
// the rules, each start-up on its own copy with the names missing again, in interleaved
// rounds (order rotated).
// Usage (offscreen): bench_rules <dir made by bench_makedb>
#include "attendance/Catalogue.h"
#include "bench/Timing.h"
#include "data/sql/SqlConnection.h"
#include "data/sql/TextCodec.h"
#include "forms/FrmKordane.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/WindowFixture.h"
#include "tools/admin/Rules.h"
#include "tools/rawfb/RawFirebird.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

using namespace kordane;
using kordane::bench::median;
using kordane::bench::timed;

namespace {

const std::string password = kordane::storedPassword.toStdString();
constexpr int rounds = 7;

struct Copy {
    QString dir;
    std::string database;
    std::vector<double> ms;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_rules <dir>\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString made = QDir(QString::fromLocal8Bit(argv[1])).absoluteFilePath(QStringLiteral("POSDATA.FDB"));
    Copy copies[2];
    for (int i = 0; i < 2; ++i) {
        Copy& c = copies[i];
        c.dir = dir.path() + (i ? QStringLiteral("/rules") : QStringLiteral("/plain"));
        QDir().mkpath(c.dir);
        if (!QFile::copy(made, c.dir + QStringLiteral("/POSDATA.FDB"))) {
            std::fprintf(stderr, "no database in %s (run bench_makedb)\n", argv[1]);
            return 1;
        }
        c.database = (c.dir + QStringLiteral("/POSDATA.FDB")).toStdString();
        test::writeTextFile(c.dir + QStringLiteral("/dbxconnections.ini"),
                            test::TestDatabase::connectionsTextFor(c.dir + QStringLiteral("/POSDATA.FDB"),
                                                                   QString::fromStdString(password)));
        test::writeTextFile(c.dir + QStringLiteral("/dbxdrivers.ini"), test::TestDatabase::driversText());
    }
    const std::string cutOff = catalogue::cutOffDateText(QDate::currentDate()).toStdString();
    try {
        {
            RawFirebird ruled(copies[1].database, "SYSDBA", password, "NONE");
            // The benchmark's records repeat their date, employee and times, so the rules
            // come without the unique key; the backfill changes none of those values.
            admin::installRules(ruled, TextCodec(QString()));
        }
        QTemporaryDir settings;
        for (int round = 0; round < rounds; ++round) {
            for (int k = 0; k < 2; ++k) {
                Copy& c = copies[(round + k) % 2];
                {
                    RawFirebird db(c.database, "SYSDBA", password, "NONE");
                    db.execute("UPDATE POS_DAY SET EMPLOYEE_NAME = NULL WHERE INI_DATE >= '" + cutOff + "' AND CARD_ID LIKE '%0'");
                }
                test::pointSettingsAt(settings.path(), c.dir + QStringLiteral("/dbxconnections.ini"),
                                      c.dir + QStringLiteral("/dbxdrivers.ini"));
                std::unique_ptr<TFormKordane> w;
                c.ms.push_back(timed([&] {
                    w = std::make_unique<TFormKordane>();
                    w->show();
                    (void)QTest::qWaitForWindowExposed(w.get());
                }));
            }
        }
        RawFirebird ruled(copies[1].database, "SYSDBA", password, "NONE");
        const auto audited = ruled.query("SELECT COUNT(*) FROM POS_DAY_AUDIT")[0][0].value_or("0");
        std::vector<double> ratios;
        for (int r = 0; r < rounds; ++r)
            ratios.push_back(copies[1].ms[std::size_t(r)] / copies[0].ms[std::size_t(r)]);
        std::printf("| start-up, backfill, window shown  | without rules | with rules and audit |\n");
        std::printf("| min / median ms                   | %6.0f / %6.0f | %6.0f / %6.0f |\n",
                    *std::min_element(copies[0].ms.begin(), copies[0].ms.end()), median(copies[0].ms),
                    *std::min_element(copies[1].ms.begin(), copies[1].ms.end()), median(copies[1].ms));
        // Each round's names taken away again are audited too: half the entries are the backfill's.
        std::printf("audit entries written by the backfill in %d start-ups: %lld\n", rounds, std::stoll(audited) / 2);
        std::printf("ratio rules-startup min %.2f median %.2f\n", *std::min_element(ratios.begin(), ratios.end()),
                    median(ratios));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_rules: %s\n", e.what());
        return 1;
    }
    return 0;
}
