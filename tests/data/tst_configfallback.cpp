// Where a configuration file is looked for when the settings store names none, the
// places an error names when none is found, and a store that is no file to read.
#include "data/Exceptions.h"
#include "data/config/ConfigLocation.h"
#include "tests/support/UnusableFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kordane;

class TestConfigFallback : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fallback_data();
    void fallback();
    void searchReportNamesEveryPlace();
    void refusesUnusableOrganisationFile();

private:
    QTemporaryDir config_;
};

void TestConfigFallback::initTestCase()
{
    // The settings store in a directory of the test's own, before anything reads it.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
}

void TestConfigFallback::fallback_data()
{
    QTest::addColumn<bool>("beside");
    QTest::addColumn<bool>("system");
    QTest::addColumn<QString>("expected");
    QTest::newRow("neither: beside, for the error") << false << false << "bin";
    QTest::newRow("system only") << false << true << "etc";
    QTest::newRow("beside wins over system") << true << true << "bin";
    QTest::newRow("beside only") << true << false << "bin";
}

void TestConfigFallback::fallback()
{
    QFETCH(bool, beside);
    QFETCH(bool, system);
    QFETCH(QString, expected);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QDir(root.path()).mkpath(QStringLiteral("bin"));
    QDir(root.path()).mkpath(QStringLiteral("etc"));
    const auto touch = [&](const char* dir) {
        QFile file(root.filePath(QString::fromLatin1(dir)) + QStringLiteral("/dbxdrivers.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    };
    if (beside)
        touch("bin");
    if (system)
        touch("etc");
    QCOMPARE(config::fallbackPath(QStringLiteral("dbxdrivers.ini"), root.filePath(QStringLiteral("bin")),
                                  root.filePath(QStringLiteral("etc"))),
             root.filePath(expected) + QStringLiteral("/dbxdrivers.ini"));
}

void TestConfigFallback::searchReportNamesEveryPlace()
{
    const QString store = config_.filePath(QStringLiteral("Kordane/dbExpress.conf"));
    const QStringList places = config::connectionsSearchReport().split(QStringLiteral("; "));
    QCOMPARE(places.size(), 3);
    QCOMPARE(places[0], QStringLiteral("Looked in: the settings store %1 (no \"Connection Registry File\")").arg(store));
    QCOMPARE(places[1], QCoreApplication::applicationDirPath() + QStringLiteral("/dbxconnections.ini"));
    QVERIFY2(places[2].startsWith(u'/') && places[2].endsWith(QStringLiteral("/kordane/dbxconnections.ini")), qPrintable(places[2]));

    QDir().mkpath(config_.filePath(QStringLiteral("Kordane")));
    QFile file(store);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[General]\nConnection Registry File=/srv/kordane/dbxconnections.ini\n");
    file.close();
    QCOMPARE(config::connectionsFilePath(), QStringLiteral("/srv/kordane/dbxconnections.ini"));
    QCOMPARE(config::connectionsSearchReport(), QStringLiteral("Looked in: the settings store %1, which names it").arg(store));
}

// QSettings reads the organisation's file beside the store's own (which the window's tests
// try); a FIFO there would hold it for ever.
void TestConfigFallback::refusesUnusableOrganisationFile()
{
    const QString path = config_.filePath(QStringLiteral("Kordane.conf"));
    QVERIFY(test::makeUnusable(path, test::Unusable::Fifo));
    for (const auto& lookUp : {config::connectionsFilePath, config::driversFilePath}) {
        try {
            lookUp();
            QFAIL("the store was read");
        } catch (const EDatabaseError& e) {
            QCOMPARE(e.message(), QStringLiteral("The settings store %1 is a FIFO, not a regular file").arg(path));
        }
    }
    QVERIFY(QFile::remove(path));
}

QTEST_GUILESS_MAIN(TestConfigFallback)
#include "tst_configfallback.moc"
