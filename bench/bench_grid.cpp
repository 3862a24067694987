// The day grid on one date of 100,000 rows, shown offscreen: time from the end of the
// load to the first painted rows, time to reach the last row, and resident memory
// before and after paging through every row. Usage: bench_grid
#include "data/resultset/ClientDataSet.h"
#include "data/resultset/Components.h"
#include "data/resultset/DataSetProvider.h"
#include "data/resultset/DataSource.h"
#include "data/sql/SqlStatement.h"
#include "tests/support/TestDatabase.h"
#include "widgets/DataGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QScrollBar>

#include <cstdio>
#include <string>

namespace {

constexpr int rowCount = 100000;

// Counts the viewport's paint events.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4 : -1;
}

double ms(const QElapsedTimer& t)
{
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// Runs the event loop until the viewport has painted once more.
double untilPainted(PaintCounter& counter)
{
    QElapsedTimer t;
    t.start();
    const int before = counter.paints;
    while (counter.paints == before)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return ms(t);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    using namespace kordane;

    test::TestDatabase db;
    db.raw().execute("EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN"
                     " WHILE (i < "
                     + std::to_string(rowCount) + ") DO BEGIN"
                                                  "  INSERT INTO POS_DAY VALUES ('E' || LPAD(:i, 6, '0'), '2026/12/07', '08:00:00', '17:30:00',"
                                                  "   'W', 'Employee ' || :i, 'C' || LPAD(:i, 8, '0'));"
                                                  "  i = i + 1; END END");

    auto connection = db.connection();
    SqlDataSet sql(QStringLiteral("SQLDataSet1"), *connection);
    DataSetProvider provider(QStringLiteral("DataSetProvider1"), sql);
    ClientDataSet dataSet(QStringLiteral("ClientDataSet1"));
    dataSet.setProvider(&provider);
    dataSet.setCommandText(QStringLiteral("select * from POS_DAY \r\nwhere INI_DATE = '2026/12/07'\r\nORDER BY EMPLOYEE_ID,TIME_IN \r\n"));
    DataSource source(QStringLiteral("DataSource1"), dataSet);

    DataGrid grid;
    grid.setDataSource(&source);
    grid.resize(800, 500);
    PaintCounter counter;
    grid.viewport()->installEventFilter(&counter);
    grid.show();
    untilPainted(counter);

    QElapsedTimer load;
    load.start();
    dataSet.open();
    const double loadMs = ms(load);
    const double firstPaintMs = untilPainted(counter);
    QElapsedTimer grab;
    grab.start();
    grid.grab();
    const double grabMs = ms(grab);
    std::printf("rows loaded               %d\n", dataSet.recordCount());
    std::printf("load (fetch and store)    %.1f ms\n", loadMs);
    std::printf("load end to first paint   %.2f ms (target < 50)\n", firstPaintMs);
    std::printf("grab() of the whole grid  %.2f ms\n", grabMs);

    QElapsedTimer toLast;
    toLast.start();
    dataSet.last();
    const double lastMs = ms(toLast) + untilPainted(counter);
    std::printf("to the last row, painted  %.2f ms (current row %d)\n", lastMs, dataSet.currentRow());

    dataSet.first();
    untilPainted(counter);
    const long before = residentKiB();
    QScrollBar* bar = grid.verticalScrollBar();
    QElapsedTimer paging;
    paging.start();
    int pages = 0;
    for (int value = 0; value <= bar->maximum(); value += std::max(1, bar->pageStep())) {
        bar->setValue(value);
        grid.viewport()->repaint();
        ++pages;
    }
    const double pagingMs = ms(paging);
    const long after = residentKiB();
    std::printf("paged through all rows    %d pages in %.0f ms (%.3f ms a page)\n", pages, pagingMs, pagingMs / pages);
    std::printf("resident memory           %ld KiB before, %ld KiB after paging (%+ld KiB)\n", before, after,
                after - before);
    return 0;
}
