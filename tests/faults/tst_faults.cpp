// The program against a server of the test's own, which the test kills, restarts and
// contends with: the server lost under an open window, the server absent at start, a
// modify cut off halfway, locks held by another program, and a grid removal racing
// another program's change.
#include "data/resultset/ClientDataSet.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/WindowFixture.h"
#include "widgets/ErrorDisplay.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include <sys/types.h>
#include <unistd.h>

using namespace kordane;
using namespace kordane::test;

namespace {

const QString password = QStringLiteral("fault-test");

// Its own server's port, a fixed step from the build's private server's, so that two
// builds' runs at the same time each have their own.
int ownPort()
{
    const QString server = qEnvironmentVariable("KORDANE_TEST_SERVER", QStringLiteral("127.0.0.1/33050"));
    return server.section(u'/', 1).toInt() + 31;
}
const int port = ownPort();
const QString day = QStringLiteral("2026/12/07");

bool alive(pid_t pid)
{
    if (::kill(pid, 0) != 0)
        return false;
    // A killed server nobody has reaped yet still answers kill(pid, 0).
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close < 0 || text.mid(close + 2, 1) != "Z";
}

// A Firebird server of this test alone, run by the project's script in a temporary
// directory; killed hard by its PID, never by name.
class OwnServer {
public:
    ~OwnServer() { stop(); }
    QString address() const { return QStringLiteral("127.0.0.1/%1").arg(port); }
    QString dir() const { return root_.path(); }
    bool start() { return script({QStringLiteral("start"), dir(), QString::number(port), password}); }
    bool stop() { return script({QStringLiteral("stop"), dir()}); }

    // SIGKILL: no shutdown, no word to the attachments. Safe from any thread.
    void kill()
    {
        QFile file(dir() + QStringLiteral("/pid"));
        if (!file.open(QIODevice::ReadOnly))
            return;
        const pid_t pid = file.readAll().trimmed().toInt();
        file.close();
        if (pid <= 0)
            return;
        ::kill(pid, SIGKILL);
        for (int i = 0; i < 500 && alive(pid); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        QFile::remove(dir() + QStringLiteral("/pid"));
    }

private:
    static bool script(const QStringList& args)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(qEnvironmentVariable("KORDANE_SOURCE_DIR") + QStringLiteral("/scripts/fbserver.sh"), args);
        return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    QTemporaryDir root_;
};

// Another program's change, left uncommitted in a transaction of its own attachment. It
// can be finished from a thread of its own, since the window blocks while it waits.
class LockHolder {
public:
    LockHolder(const TestDatabase& db, const std::string& sql)
        : raw_(db.database().toStdString(), "SYSDBA", db.password().toStdString(), "NONE")
        , transaction_(std::make_unique<RawTransaction>(raw_.handle()))
    {
        raw_.executeIn(*transaction_, sql);
    }
    ~LockHolder()
    {
        if (thread_.joinable())
            thread_.join();
    }
    // Marked before the commit or rollback: the server lets a waiting statement go as soon
    // as it has ended, which may be before this thread is back from the call.
    void finish(bool commit)
    {
        ending_ = true;
        if (commit)
            transaction_->commit();
        transaction_.reset();
    }
    bool ending() const { return ending_; }
    void finishLater(int ms, bool commit)
    {
        thread_ = std::thread([this, ms, commit] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            finish(commit);
        });
    }

private:
    RawFirebird raw_;
    std::unique_ptr<RawTransaction> transaction_;
    std::thread thread_;
    std::atomic<bool> ending_ = false;
};

void fill(TFormKordane& w, const QString& code, const QString& in, const QString& out)
{
    w.MaskEdit1->assignText(day);
    w.Edit1->setText(code);
    w.MaskEdit2->assignText(in);
    w.MaskEdit3->assignText(out);
}

void click(SpeedButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void serverKilledUnderOpenWindow();
    void serverAbsentAtStart();
    void modifyCutOff_data();
    void modifyCutOff();
    void lockHeldByAnotherProgram_data();
    void lockHeldByAnotherProgram();
    void gridRemovalRacesAnotherProgram_data();
    void gridRemovalRacesAnotherProgram();

private:
    // A started program: its window made (start-up run) and shown.
    std::unique_ptr<TFormKordane> startProgram();
    void setWaitOnLocks(bool on);
    std::string rows();

    OwnServer server_;
    QTemporaryDir settings_;
    std::unique_ptr<TestDatabase> db_;
    QStringList errors_;
};

void TestFaults::initTestCase()
{
    QVERIFY(server_.start());
    ErrorDisplay::setPresenter([this](const QString&, const QString& text) { errors_ << text; });
}

void TestFaults::init()
{
    QVERIFY(server_.start());
    db_ = std::make_unique<TestDatabase>(server_.address(), password, server_.dir());
    pointSettingsAt(settings_.path(), db_->connectionsFile(), db_->driversFile());
    db_->raw().execute({
        "INSERT INTO EMPLOYEE VALUES ('E1', 'Amy', 'C1')",
        "INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '08:00:00', '17:00:00', '', 'Amy', 'C1')",
        "INSERT INTO POS_DAY VALUES ('E2', '2026/12/07', '09:00:00', '18:00:00', '', 'Bob', 'C2')",
    });
    errors_.clear();
}

void TestFaults::cleanup()
{
    QVERIFY(server_.start());
    db_.reset();
}

void TestFaults::cleanupTestCase()
{
    ErrorDisplay::setPresenter({});
    QVERIFY(server_.stop());
}

std::unique_ptr<TFormKordane> TestFaults::startProgram()
{
    auto w = std::make_unique<TFormKordane>();
    w->PageControl1->tabBar()->setFocus(Qt::OtherFocusReason);
    w->show();
    QApplication::setActiveWindow(w.get());
    if (!QTest::qWaitForWindowActive(w.get()))
        qWarning("window did not become active");
    return w;
}

void TestFaults::setWaitOnLocks(bool on)
{
    QString text = db_->connectionsText();
    text.replace(QStringLiteral("WaitOnLocks=True"), on ? QStringLiteral("WaitOnLocks=True") : QStringLiteral("WaitOnLocks=False"));
    db_->writeConnectionsFile(text);
}

// Every stored row in a fixed order, as one text.
std::string TestFaults::rows()
{
    std::string all;
    for (const auto& row : db_->raw().query("SELECT * FROM POS_DAY ORDER BY EMPLOYEE_ID, TIME_IN, EMPLOYEE_NAME")) {
        for (const auto& value : row)
            all += value.value_or("<null>") + '|';
        all += '\n';
    }
    return all;
}

void TestFaults::serverKilledUnderOpenWindow()
{
    auto w = startProgram();
    QVERIFY(errors_.isEmpty());
    fill(*w, QStringLiteral("E1"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00"));

    server_.kill();
    click(w->SpeedButton2);
    QCOMPARE(errors_.size(), 1);
    qInfo() << "lost server:" << errors_.first();
    QVERIFY(!errors_.first().isEmpty());
    QVERIFY(!errors_.first().startsWith(u"SQLConnection1") && !errors_.first().startsWith(u"dbExpress"));
    QVERIFY(!w->ClientDataSet1.active());

    // Still usable: the fields move and compute without the database.
    w->MaskEdit1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w->MaskEdit1, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), w->Edit1);
    QCOMPARE(w->Edit7->text(), QStringLiteral("一"));
    // Each later command fails on its own, also once the server is back: no reconnection.
    {
        DialogAnswers answers({QStringLiteral("Y")});
        click(w->SpeedButton4);
    }
    QCOMPARE(errors_.size(), 2);
    QVERIFY(server_.start());
    click(w->SpeedButton2);
    QCOMPARE(errors_.size(), 3);

    // The program ends without trouble, and a new one connects again.
    w.reset();
    auto again = startProgram();
    QCOMPARE(errors_.size(), 3);
    QCOMPARE(again->MaskEdit1->fieldText(), QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd")));
    again->MaskEdit1->assignText(day);
    click(again->SpeedButton2);
    QCOMPARE(again->ClientDataSet1.recordCount(), 2);
    QCOMPARE(errors_.size(), 3);
}

void TestFaults::serverAbsentAtStart()
{
    QVERIFY(server_.stop());
    auto w = std::make_unique<TFormKordane>();
    // Shown while the window was still being made, so before it appears.
    QCOMPARE(errors_.size(), 1);
    qInfo() << "no server:" << errors_.first();
    QVERIFY(!w->isVisible());
    QCOMPARE(w->MaskEdit1->fieldText(), QStringLiteral("    /  /  "));
    w->show();
    // The next demand tries again and fails the same way.
    w->MaskEdit1->assignText(day);
    click(w->SpeedButton2);
    QCOMPARE(errors_.size(), 2);
    QVERIFY(server_.start());
    click(w->SpeedButton2);
    QCOMPARE(errors_.size(), 2);
    QCOMPARE(w->ClientDataSet1.recordCount(), 2);
}

namespace {
enum class Cut { ServerGoneBefore,
                 ServerKilledDuringInsert,
                 InsertRefused };
}

void TestFaults::modifyCutOff_data()
{
    QTest::addColumn<int>("cut");
    QTest::newRow("server gone before the delete") << int(Cut::ServerGoneBefore);
    QTest::newRow("server killed while the insert runs") << int(Cut::ServerKilledDuringInsert);
    QTest::newRow("insert refused after the delete") << int(Cut::InsertRefused);
}

// The modify deletes, then inserts. Cut off anywhere, the old record must survive.
void TestFaults::modifyCutOff()
{
    QFETCH(int, cut);
    const std::string before = rows();
    std::unique_ptr<LockHolder> gate;
    if (cut == int(Cut::ServerKilledDuringInsert)) {
        // An insert into POS_DAY waits on a row another program holds, so the server can
        // be killed while the delete has run and the insert has not finished.
        db_->raw().execute({"CREATE TABLE GATE (N INTEGER)", "INSERT INTO GATE VALUES (0)",
                            "CREATE TRIGGER POS_DAY_GATE FOR POS_DAY BEFORE INSERT AS BEGIN UPDATE GATE SET N = N + 1; END"});
        gate = std::make_unique<LockHolder>(*db_, "UPDATE GATE SET N = N + 1");
    }
    auto w = startProgram();
    fill(*w, QStringLiteral("E1"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00"));
    w->Edit5->setText(cut == int(Cut::InsertRefused) ? QString(60, u'x') : QStringLiteral("Amy Lee"));
    w->Edit6->setText(QStringLiteral("C9"));

    std::atomic<bool> sawInsertWaiting = false;
    std::thread killer;
    if (cut == int(Cut::ServerGoneBefore))
        server_.kill();
    if (cut == int(Cut::ServerKilledDuringInsert)) {
        killer = std::thread([&] {
            RawFirebird monitor(db_->database().toStdString(), "SYSDBA", password.toStdString(), "NONE");
            for (int i = 0; i < 500 && !sawInsertWaiting; ++i) {
                const auto found = monitor.query(
                    "SELECT COUNT(*) FROM MON$STATEMENTS WHERE MON$STATE = 1 AND MON$ATTACHMENT_ID <> CURRENT_CONNECTION"
                    " AND MON$SQL_TEXT CONTAINING 'INSERT INTO POS_DAY'");
                sawInsertWaiting = found.at(0).at(0) == std::optional<std::string>("1");
                if (!sawInsertWaiting)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            server_.kill();
        });
    }
    {
        DialogAnswers answers({QStringLiteral("Y")});
        click(w->SpeedButton1);
        QCOMPARE(answers.texts(), QStringList {QStringLiteral("是否要修改原資料?")});
    }
    if (killer.joinable())
        killer.join();
    QCOMPARE(errors_.size(), 1);
    qInfo() << "modify cut off:" << errors_.first();
    if (cut == int(Cut::ServerKilledDuringInsert))
        QVERIFY(sawInsertWaiting);
    gate.reset();
    w.reset();
    QVERIFY(server_.start());
    db_->reattach();
    QCOMPARE(rows(), before);
}

void TestFaults::lockHeldByAnotherProgram_data()
{
    QTest::addColumn<bool>("wait");
    QTest::addColumn<bool>("otherCommits");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("no waiting: refused at once") << false << false << false;
    QTest::newRow("waiting, the other rolls back") << true << false << true;
    QTest::newRow("waiting, the other commits") << true << true << false;
}

// The delete command on a row another program has changed and not yet committed.
void TestFaults::lockHeldByAnotherProgram()
{
    QFETCH(bool, wait);
    QFETCH(bool, otherCommits);
    QFETCH(bool, succeeds);
    setWaitOnLocks(wait);
    auto w = startProgram();
    QVERIFY(errors_.isEmpty());
    fill(*w, QStringLiteral("E1"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00"));
    LockHolder other(*db_, "UPDATE POS_DAY SET CARD_ID = 'C7' WHERE EMPLOYEE_ID = 'E1'");
    if (wait)
        other.finishLater(1000, otherCommits);
    {
        DialogAnswers answers({QStringLiteral("Y"), QStringLiteral("N")});
        click(w->SpeedButton4);
        QCOMPARE(answers.texts().size(), succeeds ? 2 : 1);
    }
    // Waiting, the command came back only once the other was ending; not waiting, while
    // the other still held the row.
    QCOMPARE(other.ending(), wait);
    if (!wait)
        other.finish(false);
    QCOMPARE(errors_.size(), succeeds ? 0 : 1);
    if (!succeeds)
        QVERIFY2(errors_.first().contains(u"concurrent update"), qPrintable(errors_.first()));
    const std::string card = otherCommits ? "C7" : "C1";
    QCOMPARE(db_->scalar("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_ID = 'E1' AND CARD_ID = '" + card + "'"),
             std::optional<std::string>(succeeds ? "0" : "1"));
    QCOMPARE(db_->scalar("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_ID = 'E2'"), std::optional<std::string>("1"));
}

void TestFaults::gridRemovalRacesAnotherProgram_data()
{
    QTest::addColumn<QString>("other");
    QTest::newRow("the other program's modify committed") << "committed";
    QTest::newRow("the other holds its change, no waiting") << "held";
    QTest::newRow("the other commits while the removal waits") << "commits later";
    QTest::newRow("the other program removed the row") << "removed";
}

// The grid's removal matches the row as fetched; another program's change of that row
// makes it remove nothing and keeps the other's version. The clerk is told, the row stays
// in view, and the next removal does not carry the failed one.
void TestFaults::gridRemovalRacesAnotherProgram()
{
    QFETCH(QString, other);
    setWaitOnLocks(other == u"commits later");
    auto w = startProgram();
    w->MaskEdit1->assignText(day);
    click(w->SpeedButton2);
    QCOMPARE(w->ClientDataSet1.recordCount(), 2);
    QCOMPARE(w->ClientDataSet1.fieldByName(QStringLiteral("EMPLOYEE_ID")).asString(), QStringLiteral("E1"));

    std::unique_ptr<LockHolder> holder;
    if (other == u"committed") {
        TFormKordane second;
        fill(second, QStringLiteral("E1"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00"));
        second.Edit5->setText(QStringLiteral("Amy Lee"));
        second.Edit6->setText(QStringLiteral("C7"));
        DialogAnswers answers({QStringLiteral("Y")});
        second.SpeedButton1Click(second.SpeedButton1);
    } else if (other == u"removed") {
        db_->raw().execute("DELETE FROM POS_DAY WHERE EMPLOYEE_ID = 'E1'");
    } else {
        holder = std::make_unique<LockHolder>(*db_, "UPDATE POS_DAY SET EMPLOYEE_NAME = 'Amy Lee', CARD_ID = 'C7'"
                                                    " WHERE EMPLOYEE_ID = 'E1'");
        if (other == u"commits later")
            holder->finishLater(1000, true);
    }
    {
        DialogAnswers answers({QStringLiteral("Y")});
        w->N1->trigger();
        QCOMPARE(answers.texts(), QStringList {QStringLiteral("確定刪除該筆資料.?")});
    }
    if (other == u"held")
        holder->finish(true);
    holder.reset();
    QCOMPARE(errors_.size(), 1);
    // A change the server sees as a conflict is refused with its own text.
    if (other == u"committed" || other == u"removed")
        QCOMPARE(errors_.first(), QStringLiteral("Record not found or changed by another user."));
    else
        QVERIFY2(errors_.first().contains(QStringLiteral("update conflicts with concurrent update")), qPrintable(errors_.first()));
    QCOMPARE(w->ClientDataSet1.recordCount(), 2);
    QCOMPARE(w->ClientDataSet1.fieldByName(QStringLiteral("EMPLOYEE_ID")).asString(), QStringLiteral("E1"));
    QCOMPARE(w->ClientDataSet1.changeCount(), 0);
    const char* const e1 = other == u"removed" ? "0" : "1";
    QCOMPARE(db_->scalar("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_ID = 'E1'"), std::optional<std::string>(e1));
    if (other != u"removed")
        QCOMPARE(db_->scalar("SELECT EMPLOYEE_NAME || '/' || CARD_ID FROM POS_DAY WHERE EMPLOYEE_ID = 'E1'"),
                 std::optional<std::string>("Amy Lee/C7"));
    // The next removal stands on its own.
    errors_.clear();
    w->ClientDataSet1.last();
    {
        DialogAnswers answers({QStringLiteral("Y")});
        w->N1->trigger();
    }
    QVERIFY2(errors_.isEmpty(), qPrintable(errors_.join(u'\n')));
    QCOMPARE(db_->scalar("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_ID = 'E2'"), std::optional<std::string>("0"));
    QCOMPARE(w->ClientDataSet1.recordCount(), 1);
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
