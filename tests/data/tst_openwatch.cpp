// The watch that spares the look for a foreign engine before each write: a watch taken
// over from a closed connection's instance sees its own file's opens, and none of the
// file the instance watched before.
#include "data/sql/OpenWatch.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

using namespace kordane;

class TestOpenWatch : public QObject {
    Q_OBJECT

private slots:
    void reusedInstanceWatchesItsOwnFile();
};

namespace {

bool openOnce(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

// A clean look, trusted once the file has been left unopened for the watch's moment.
void settleClean(OpenWatch& watch)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    QVERIFY(!watch.quiet());
    watch.lookedClean();
    QVERIFY(watch.quiet());
}

} // namespace

void TestOpenWatch::reusedInstanceWatchesItsOwnFile()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.fdb"));
    const QString second = dir.filePath(QStringLiteral("second.fdb"));
    for (const QString& path : {first, second}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // Several rounds, so that the instances are taken over more than once.
    for (int round = 0; round < 3; ++round) {
        {
            OpenWatch earlier(first);
            QVERIFY(openOnce(first)); // left queued when the watch goes
        }
        OpenWatch watch(second);
        settleClean(watch);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(openOnce(first));
        QVERIFY2(watch.quiet(), "another file's open reached the watch");
        QVERIFY(openOnce(second));
        QVERIFY2(!watch.quiet(), "its own file's open went unseen");
    }
}

QTEST_GUILESS_MAIN(TestOpenWatch)
#include "tst_openwatch.moc"
