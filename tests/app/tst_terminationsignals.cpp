// SIGTERM ends the program's event loops, a modal dialog's among them, even after the
// Firebird client has put its own handler in front of ours by connecting. (SIGINT takes
// the same path; the client's handler shuts its engine down for the rest of the process,
// so one signal a process is all a test can send.)
#include "SqlConnection.h"
#include "SqlStatement.h"
#include "TerminationSignals.h"
#include "TestDatabase.h"

#include <QCoreApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace kordane;

class TestTerminationSignals : public QObject {
    Q_OBJECT
private slots:
    void endModalLoop();
};

void TestTerminationSignals::endModalLoop()
{
    TerminationSignals signals_(nullptr);
    test::TestDatabase db;
    auto connection = db.connection();
    TSQLQuery query(QStringLiteral("SQLQuery1"), *connection);
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
            std::raise(SIGTERM);
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
    QVERIFY(connection->connected());
}

QTEST_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
