// Where a configuration file is looked for when the settings store names none.
#include "ConfigLocation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kordane;

class TestConfigFallback : public QObject {
    Q_OBJECT
private slots:
    void fallback_data();
    void fallback();
};

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

QTEST_GUILESS_MAIN(TestConfigFallback)
#include "tst_configfallback.moc"
