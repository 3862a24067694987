// kordane-report while a clerk's window has the same database open on the server and is
// showing the very date being reported.
#include "tests/tools/ReportFixture.h"

#include "forms/FrmKordane.h"
#include "tests/support/WindowFixture.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace kordane;
using namespace kordane::test;

class TestServerReport : public QObject {
    Q_OBJECT
private slots:
    void whileWindowHoldsIt();
    void pdfOntoAFullDisk();
};

void TestServerReport::whileWindowHoldsIt()
{
    WindowFixture fixture(TestDatabase::Where::Server);
    fillReportRows(fixture.db().raw());
    TFormKordane& w = fixture.shownWindow();
    w.MaskEdit1->assignText(QStringLiteral("2024/03/05"));
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
    QVERIFY(w.ClientDataSet1.active());
    QCOMPARE(w.ClientDataSet1.recordCount(), 5);

    const ReportRun run = runReport(fixture.db(), {QStringLiteral("day"), QStringLiteral("2024/03/05"), QStringLiteral("--csv")});
    QCOMPARE(run.exitCode, 3); // A004's unreadable name
    const QStringList lines = QString::fromUtf8(run.out).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + 4);
    QCOMPARE(lines[3], QStringLiteral("A002,林美玲,C002,二,22:00:00,06:00:00,8:00,下班早於上班，算到次日"));

    const ReportRun month = runReport(fixture.db(), {QStringLiteral("month"), QStringLiteral("2024/03")});
    QCOMPARE(month.exitCode, 3);
    QVERIFY(QString::fromUtf8(month.out).contains(QStringLiteral("員工 4 人　紀錄 17 筆")));
    QVERIFY(fixture.errors().isEmpty());
    QVERIFY(w.SQLConnection1.connected());
}

// A disk that fills while the PDF is written, as a limit on the size of the files the
// report may write (the server's own files are not the report's): one line, exit 1, and
// nothing left, neither a part of the new file nor in place of an earlier one.
void TestServerReport::pdfOntoAFullDisk()
{
    TestDatabase db(TestDatabase::Where::Server);
    fillReportRows(db.raw());
    const auto fullAt8K = [] {
        const rlimit limit {8192, 8192};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
    };
    const QStringList march = {QStringLiteral("month"), QStringLiteral("2024/03"), QStringLiteral("--pdf")};
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("month.pdf"));
    const ReportRun run = runReport(db, march + QStringList {file}, fullAt8K);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("kordane-report: cannot write %1: File too large\n").arg(file));
    QVERIFY(run.out.isEmpty());
    QCOMPARE(entriesOf(dir.path()), QStringList());

    QVERIFY(writeTextFile(file, QStringLiteral("last month's")));
    QCOMPARE(runReport(db, march + QStringList {file}, fullAt8K).exitCode, 1);
    QCOMPARE(entriesOf(dir.path()), QStringList {QStringLiteral("month.pdf")});
    QFile kept(file);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("last month's"));

    // Without the limit the same report is written, with nothing beside it.
    QCOMPARE(runReport(db, march + QStringList {file}).exitCode, 3);
    QCOMPARE(entriesOf(dir.path()), QStringList {QStringLiteral("month.pdf")});
    QVERIFY(QFileInfo(file).size() > 8192);
}

QTEST_MAIN(TestServerReport)
#include "tst_srv_report.moc"
