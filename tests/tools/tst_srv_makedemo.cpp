// The database maker as an admin uses it: a new site's empty database on a server, with
// the account from the client's environment variables, and a demo database on the
// embedded engine; what it writes must let the program connect as it stands.
#include "data/sql/SqlConnection.h"
#include "data/sql/SqlStatement.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/ToolRun.h"
#include "tools/rawfb/RawFirebird.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

using namespace kordane;

namespace {

test::ToolRun makedemo(const QStringList& arguments,
                       const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    test::ToolRun run = test::runTool(QStringLiteral("kordane-makedb"), arguments, env);
    run.out += run.err;
    return run;
}

QString count(const QString& dir, const QString& table)
{
    SqlConnection connection;
    connection.setConnectionsFilePath(dir + QStringLiteral("/dbxconnections.ini"));
    connection.setDriversFilePath(dir + QStringLiteral("/dbxdrivers.ini"));
    SqlQuery query(QStringLiteral("SQLQuery1"), connection);
    query.setSql({QStringLiteral("SELECT COUNT(*) FROM ") + table});
    query.open();
    return query.asString(0);
}

QString fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestMakeDemo : public QObject {
    Q_OBJECT
private slots:
    void emptyDatabaseOnServer();
    void demoDatabaseEmbedded();
    void accountOnOneLine();
};

void TestMakeDemo::emptyDatabaseOnServer()
{
    QTemporaryDir site;
    const QString password = test::TestDatabase::sharedServerPassword();
    const QString database = test::TestDatabase::newSharedServerDatabase();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ISC_USER"), QStringLiteral("SYSDBA"));
    env.insert(QStringLiteral("ISC_PASSWORD"), password);
    const auto run = makedemo({QStringLiteral("--dir"), site.path(), QStringLiteral("--database"), database,
                               QStringLiteral("--no-demo-rows")},
                              env);
    QVERIFY2(run.exitCode == 0, qPrintable(run.out));

    const QString connections = site.filePath(QStringLiteral("dbxconnections.ini"));
    const QString text = fileText(connections);
    QVERIFY2(text.contains(QStringLiteral("\nDatabase=") + database + u'\n'), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("\nPassword=") + password + u'\n'));
    QCOMPARE(QFile::permissions(connections), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    QCOMPARE(count(site.path(), QStringLiteral("POS_DAY")), QStringLiteral("0"));
    QCOMPARE(count(site.path(), QStringLiteral("EMPLOYEE")), QStringLiteral("0"));
    RawFirebird(database.toStdString(), "SYSDBA", password.toStdString()).drop();
}

void TestMakeDemo::demoDatabaseEmbedded()
{
    QTemporaryDir site;
    const auto first = makedemo({QStringLiteral("--dir"), site.path()});
    QVERIFY2(first.exitCode == 0, qPrintable(first.out));
    const QString rows = count(site.path(), QStringLiteral("POS_DAY"));
    QVERIFY(rows.toInt() > 0);
    QVERIFY(fileText(site.filePath(QStringLiteral("dbxconnections.ini")))
                .contains(QStringLiteral("\nDatabase=") + site.filePath(QStringLiteral("demo/POSDATA.FDB")) + u'\n'));

    // A second run keeps the database and the files as they are.
    QFile::remove(site.filePath(QStringLiteral("dbxdrivers.ini")));
    const auto again = makedemo({QStringLiteral("--dir"), site.path()});
    QVERIFY2(again.exitCode == 0, qPrintable(again.out));
    QVERIFY(again.out.contains(QStringLiteral("exists; left as it is")));
    QCOMPARE(count(site.path(), QStringLiteral("POS_DAY")), rows);
}

void TestMakeDemo::accountOnOneLine()
{
    QTemporaryDir site;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ISC_PASSWORD"), QStringLiteral("pw\nDatabase=/elsewhere"));
    const auto run = makedemo({QStringLiteral("--dir"), site.path()}, env);
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.contains(QStringLiteral("one line")));
    QVERIFY(!QFile::exists(site.filePath(QStringLiteral("dbxconnections.ini"))));
    QVERIFY(!QFile::exists(site.filePath(QStringLiteral("demo/POSDATA.FDB"))));
}

QTEST_GUILESS_MAIN(TestMakeDemo)
#include "tst_srv_makedemo.moc"
