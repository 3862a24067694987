// The configuration files' format, and where the two files are looked for.
#include "data/config/ConfigFile.h"
#include "data/config/ConfigLocation.h"
#include "data/config/IniFile.h"
#include "tests/support/UnusableFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace kordane;

class TestIniFile : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void caseInsensitiveLookUp();
    void missingFile();
    void readsUpToTheLimit();
    void location();

private:
    QTemporaryDir settingsDir_;
};

void TestIniFile::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("trimmed names and values")
        << "[Varnok]\n  DriverName = Interbase  \n\tDatabase=host:/p/x.fdb\t\n"
        << "Varnok"
        << QStringList {QStringLiteral("DriverName=Interbase"), QStringLiteral("Database=host:/p/x.fdb")};
    QTest::newRow("comments and blank lines")
        << QStringLiteral("; head\n[Varnok]\n\n   ; DriverName=No\nA=1\n;B=2\n") << QStringLiteral("Varnok") << QStringList {QStringLiteral("A=1")};
    QTest::newRow("lines before the first section ignored")
        << QStringLiteral("DriverName=Stray\n[Varnok]\nB=2\n") << QStringLiteral("Varnok") << QStringList {QStringLiteral("B=2")};
    QTest::newRow("section name trimmed") << QStringLiteral("  [  Varnok ]  \nA=1\n") << QStringLiteral("Varnok") << QStringList {QStringLiteral("A=1")};
    QTest::newRow("CR LF line ends") << QStringLiteral("[Varnok]\r\nA=1\r\nB=\r\n") << QStringLiteral("Varnok") << QStringList {QStringLiteral("A=1"), QStringLiteral("B=")};
    QTest::newRow("lone CR ends a line") << QStringLiteral("[Varnok]\rA=1\rB=x\ry\r") << QStringLiteral("Varnok") << QStringList {QStringLiteral("A=1"), QStringLiteral("B=x")};
    QTest::newRow("file order kept, sections apart")
        << QStringLiteral("[One]\nZ=1\n[Varnok]\nC=3\nA=1\nB=2\n[Two]\nY=9\n") << QStringLiteral("Varnok") << QStringList {QStringLiteral("C=3"), QStringLiteral("A=1"), QStringLiteral("B=2")};
    QTest::newRow("value keeps further equals signs")
        << QStringLiteral("[Varnok]\nCustom String = a=b; c = d \n") << QStringLiteral("Varnok") << QStringList {QStringLiteral("Custom String=a=b; c = d")};
    QTest::newRow("line without equals sign is no entry") << QStringLiteral("[Varnok]\nnoise\nA=1\n") << QStringLiteral("Varnok") << QStringList {QStringLiteral("A=1")};
    QTest::newRow("Chinese values") << QStringLiteral("[Varnok]\nName=出勤資料\n") << QStringLiteral("Varnok") << QStringList {QStringLiteral("Name=出勤資料")};
    QTest::newRow("missing section") << "[Other]\nA=1\n"
                                     << "Varnok" << QStringList {};
    QTest::newRow("unclosed bracket is an entry line")
        << QStringLiteral("[Varnok]\n[Broken=1\n") << QStringLiteral("Varnok") << QStringList {QStringLiteral("[Broken=1")};
}

void TestIniFile::parse()
{
    QFETCH(QString, text);
    QFETCH(QString, section);
    QFETCH(QStringList, lines);
    QCOMPARE(IniFile::parse(text).sectionLines(section), lines);
}

void TestIniFile::caseInsensitiveLookUp()
{
    const IniFile ini = IniFile::parse(u"[Interbase]\nLIBRARYNAME=libdbxfb.so\nvendorlib = libfbclient.so.2\n"
                                       u"[interbase]\nLibraryName=second\n");
    QCOMPARE(ini.value(u"INTERBASE", u"LibraryName"), QStringLiteral("libdbxfb.so"));
    QCOMPARE(ini.value(u"interBase", u"VendorLib"), QStringLiteral("libfbclient.so.2"));
    QCOMPARE(ini.value(u"Interbase", u"GetDriverFunc"), QString());
    QCOMPARE(ini.value(u"Nope", u"LibraryName"), QString());
}

void TestIniFile::missingFile()
{
    QVERIFY(!IniFile::load(QStringLiteral("/nonexistent/dbxconnections.ini"), QStringLiteral("The file")));
    QVERIFY(!IniFile::load(QString(), QStringLiteral("The file")));
}

// What is refused is tried through the window and the tools; here, what is still read:
// a file of exactly the limit, also through a symbolic link.
void TestIniFile::readsUpToTheLimit()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dbxdrivers.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(test::paddedText("[Interbase]\nLibraryName=libdbxfb.so\n", config::maxConfigFileBytes)), config::maxConfigFileBytes);
    file.close();
    const QString link = dir.filePath(QStringLiteral("linked.ini"));
    QVERIFY(QFile::link(path, link));
    for (const QString& name : {path, link}) {
        const auto ini = IniFile::load(name, QStringLiteral("The drivers file"));
        QVERIFY(ini);
        QCOMPARE(ini->value(u"Interbase", u"LibraryName"), QStringLiteral("libdbxfb.so"));
    }
}

void TestIniFile::location()
{
    QVERIFY(settingsDir_.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
    const QString besideProgram = QCoreApplication::applicationDirPath();
    QCOMPARE(config::connectionsFilePath(), besideProgram + QStringLiteral("/dbxconnections.ini"));
    QCOMPARE(config::driversFilePath(), besideProgram + QStringLiteral("/dbxdrivers.ini"));
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(config::settingsOrganization),
                           QString::fromLatin1(config::settingsApplication));
        settings.setValue(config::connectionsKey, QStringLiteral("/etc/kordane/connections.ini"));
        settings.setValue(config::driversKey, QString());
    }
    QCOMPARE(config::connectionsFilePath(), QStringLiteral("/etc/kordane/connections.ini"));
    QCOMPARE(config::driversFilePath(), besideProgram + QStringLiteral("/dbxdrivers.ini")); // empty value
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
