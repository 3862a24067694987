// SIGTERM, SIGINT and SIGHUP end the program's event loops, a modal dialog's among them,
// even after the Firebird client has put its own handler in front of ours by connecting;
// and the client does not shut its engine down under the program's own orderly end.
#include "app/TerminationSignals.h"
#include "data/sql/SqlConnection.h"
#include "data/sql/SqlStatement.h"
#include "tests/support/TestDatabase.h"

#include <QCoreApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace kordane;

class TestTerminationSignals : public QObject {
    Q_OBJECT
private slots:
    void endModalLoop_data();
    void endModalLoop();
};

void TestTerminationSignals::endModalLoop_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestTerminationSignals::endModalLoop()
{
    QFETCH(int, number);
    TerminationSignals signals_(nullptr);
    test::TestDatabase db;
    auto connection = db.connection();
    SqlQuery query(QStringLiteral("SQLQuery1"), *connection);
    query.setSql({QStringLiteral("SELECT COUNT(*) FROM POS_DAY")});
    query.open();

    // As in the program: a modal dialog over the application's own loop, and nobody to
    // answer it; only the signal can end both. A guard ends a failing test.
    QDialog dialog;
    bool raisedInDialog = false;
    bool guarded = false;
    QTimer::singleShot(0, &dialog, [&] {
        QTimer::singleShot(0, &dialog, [&] {
            raisedInDialog = dialog.isVisible();
            std::raise(number);
        });
        QTimer::singleShot(5000, &dialog, [&] {
            guarded = true;
            QCoreApplication::exit(1);
        });
        dialog.exec();
    });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(raisedInDialog);
    QVERIFY(!guarded);
    // The engine was left running: the connection still works.
    QVERIFY(connection->connected());
    query.close();
    query.open();
    QCOMPARE(query.asString(0), QStringLiteral("0"));
}

QTEST_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
