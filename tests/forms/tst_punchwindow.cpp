// Imported punches in the real window: the records the import writes are shown by the
// view, picked into the fields and modified like keyed ones; a lone in the clerk has put
// right in the window is left alone by the import that brings its out.
#define QTEST_QPA_MOUSE_HANDLING
#include "data/sql/TextCodec.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/GridActions.h"
#include "tests/support/WindowFixture.h"
#include "tools/admin/PunchImport.h"
#include "tools/admin/Site.h"
#include "tools/admin/SiteParts.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QCommandLineParser>
#include <QFile>
#include <QTest>

using namespace kordane;
using kordane::test::clickCell;
using kordane::test::WindowFixture;
using Answers = kordane::test::DialogAnswers;

namespace {

admin::PunchImport imported(WindowFixture& f, const QByteArray& punches)
{
    const QString path = f.db().dir() + QStringLiteral("/punches.txt");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(punches) != punches.size())
        qFatal("cannot write %s", qPrintable(path));
    file.close();
    QCommandLineParser parser;
    parser.addOption(admin::connectionsOption());
    parser.process({QStringLiteral("test"), QStringLiteral("--connections"), f.db().connectionsFile()});
    const admin::Site site(parser);
    return admin::importPunches(site, f.db().raw(), path, {}, QDateTime(QDate(2026, 12, 10), QTime(12, 0)));
}

QStringList day(WindowFixture& f, const std::string& date)
{
    QStringList rows;
    for (const auto& row : f.db().raw().query("SELECT TIME_IN, TIME_OUT FROM POS_DAY WHERE INI_DATE = '" + date + "' ORDER BY TIME_IN, TIME_OUT"))
        rows << QString::fromStdString(row[0].value_or("null") + "-" + row[1].value_or("null"));
    return rows;
}

void view(TFormKordane& w, const QString& date)
{
    w.MaskEdit1->assignText(date);
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
}

} // namespace

class TestPunchWindow : public QObject {
    Q_OBJECT
private slots:
    void importedRecordsInTheWindow();
};

void TestPunchWindow::importedRecordsInTheWindow()
{
    WindowFixture f;
    const QByteArray name = TextCodec(QString()).encode(QStringLiteral("陳志明"));
    f.db().raw().execute("INSERT INTO EMPLOYEE VALUES ('A001', '" + name.toStdString() + "', '1001')");
    admin::addMissingParts(f.db().raw(), TextCodec(QString()));
    admin::PunchImport result = imported(f, "1001 2026-12-07 08:00\n1001 2026-12-07 17:00\n1001 2026-12-08 08:00\n");
    QCOMPARE(result.added, 2);

    TFormKordane& w = f.shownWindow();
    view(w, QStringLiteral("2026/12/07"));
    QCOMPARE(w.ClientDataSet1.recordCount(), 1);
    const QStringList shown = {QStringLiteral("A001"), QStringLiteral("2026/12/07"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00"), QStringLiteral("一"), QStringLiteral("陳志明"), QStringLiteral("1001")};
    for (int c = 0; c < shown.size(); ++c)
        QCOMPARE(w.ClientDataSet1.cellText(0, c), shown[c]);
    // Picked and written back unchanged, the window's modify finds it by its texts and
    // replaces it: one record still.
    clickCell(w, 0, 2);
    QCOMPARE(w.Edit5->text(), QStringLiteral("陳志明"));
    QCOMPARE(w.MaskEdit3->fieldText(), QStringLiteral("17:00:00"));
    {
        Answers answers({QStringLiteral("Y")});
        QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
    }
    QCOMPARE(day(f, "2026/12/07"), QStringList {QStringLiteral("08:00:00-17:00:00")});

    // The lone in: the clerk keys its off-duty time and removes the record without one.
    view(w, QStringLiteral("2026/12/08"));
    QCOMPARE(w.ClientDataSet1.recordCount(), 1);
    clickCell(w, 0, 2);
    QCOMPARE(w.MaskEdit3->fieldText(), QStringLiteral("  :  :  "));
    w.MaskEdit3->assignText(QStringLiteral("16:30:00"));
    {
        Answers answers({QStringLiteral("Y")});
        QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
    }
    view(w, QStringLiteral("2026/12/08"));
    QCOMPARE(w.ClientDataSet1.recordCount(), 2);
    const int lone = w.ClientDataSet1.cellText(0, 3).isEmpty() ? 0 : 1;
    QCOMPARE(w.ClientDataSet1.cellText(lone, 3), QString());
    kordane::test::removeRow(w, lone, QStringLiteral("Y"));
    QCOMPARE(day(f, "2026/12/08"), QStringList {QStringLiteral("08:00:00-16:30:00")});
    QVERIFY(f.errors().isEmpty());

    // The out comes later: the clerk's record stands.
    result = imported(f, "1001 2026-12-08 17:00\n");
    QCOMPARE(result.completed, 0);
    QCOMPARE(result.leftAlone, 1);
    QCOMPARE(day(f, "2026/12/08"), QStringList {QStringLiteral("08:00:00-16:30:00")});
}

QTEST_MAIN(TestPunchWindow)
#include "tst_punchwindow.moc"
