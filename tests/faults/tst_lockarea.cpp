// Another Firebird program on the window's embedded database file with its locks kept
// elsewhere: neither engine would see the other's locks, so the window's removal of a
// row the other changed would remove it, and an apply would commit over the other's
// change. The window refuses to work beside it, at the connect and before each write,
// and works again, seeing the other's changes, once it has ended.
#include "data/resultset/ClientDataSet.h"
#include "data/sql/EmbeddedEngine.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/GridActions.h"
#include "tests/support/ToolRun.h"
#include "tests/support/WindowFixture.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace kordane;
using namespace kordane::test;

namespace {

const QString day = QStringLiteral("2026/12/07");
const QString fbRoot = QStringLiteral("/usr/lib/x86_64-linux-gnu/firebird/3.0");

// isql-fb on the database with an engine root and a lock directory of its own, kept
// attached until it is finished.
class OtherProgram {
public:
    OtherProgram(const QString& database, const QString& serverMode)
    {
        QDir root(root_.path());
        for (const char* name : {"plugins", "intl", "UDF", "firebird.msg", "plugins.conf"})
            QFile::link(fbRoot + u'/' + QLatin1String(name), root.filePath(QLatin1String(name)));
        QFile conf(root.filePath(QStringLiteral("firebird.conf")));
        if (conf.open(QIODevice::WriteOnly))
            conf.write("ServerMode = " + serverMode.toUtf8() + "\n");
        conf.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FIREBIRD"), root_.path());
        env.insert(QStringLiteral("FIREBIRD_LOCK"), locks_.path());
        start(database, env);
    }
    // With the variables `kordane-admin env` prints for the site of `connectionsFile`.
    struct SiteSettings {
        QString connectionsFile;
    };
    OtherProgram(const QString& database, const SiteSettings& site)
    {
        const ToolRun env = runTool(QStringLiteral("kordane-admin"), {QStringLiteral("env"), QStringLiteral("--connections"), site.connectionsFile});
        QProcessEnvironment set = QProcessEnvironment::systemEnvironment();
        set.remove(QStringLiteral("FIREBIRD"));
        set.remove(QStringLiteral("FIREBIRD_LOCK"));
        for (const QString& line : env.out.split(u'\n', Qt::SkipEmptyParts)) {
            const QString assignment = line.section(u' ', 1);
            set.insert(assignment.section(u'=', 0, 0), assignment.section(u'=', 1).remove(u'\''));
        }
        settings_ = env.out;
        start(database, set);
    }
    const QString& settings() const { return settings_; }

    ~OtherProgram() { finish(); }

    bool attached() const { return attached_; }

    void start(const QString& database, const QProcessEnvironment& env)
    {
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-user"), QStringLiteral("SYSDBA"), database});
        attached_ = waitUntilAttached(process_, database);
    }

    // Runs `sql` and commits; its output up to then.
    QString run(const QByteArray& sql)
    {
        process_.write(sql + "\nCOMMIT;\nSELECT 'done.' FROM RDB$DATABASE;\n");
        QByteArray out;
        for (int i = 0; i < 100 && !out.contains("done."); ++i) {
            process_.waitForReadyRead(100);
            out += process_.readAll();
        }
        return QString::fromUtf8(out);
    }

    void finish()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.write("QUIT;\n");
        process_.closeWriteChannel();
        if (!process_.waitForFinished(10000))
            process_.kill();
        process_.waitForFinished(1000);
    }

private:
    QTemporaryDir root_;
    QTemporaryDir locks_;
    QProcess process_;
    bool attached_ = false;
    QString settings_;
};

void seed(WindowFixture& f)
{
    f.db().raw().execute({
        "INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '08:00:00', '17:00:00', 'A', 'Amy', 'C1')",
        "INSERT INTO POS_DAY VALUES ('E2', '2026/12/07', '08:00:00', '17:00:00', 'A', 'Bob', 'C2')",
    });
    f.db().release();
}

std::string rows(WindowFixture& f)
{
    std::string all;
    for (const auto& row : f.db().raw().query("SELECT EMPLOYEE_ID, CARD_ID FROM POS_DAY ORDER BY EMPLOYEE_ID"))
        all += row[0].value_or("") + '/' + row[1].value_or("") + ' ';
    f.db().release();
    return all;
}

void view(TFormKordane& w)
{
    w.MaskEdit1->assignText(day);
    QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
}

bool refused(const QStringList& errors)
{
    return errors.size() == 1 && errors.first().contains(u"keeps its locks elsewhere")
        && errors.first().contains(u"kordane-admin env");
}

} // namespace

class TestLockArea : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void otherProgramFirst_data();
    void otherProgramFirst();
    void otherProgramUnderTheGrid();
    void otherProgramAfterQuietWrites();
    void otherProgramWithTheSitesSettings();
    void lockRefusalAdviceByCodes();

private:
    QTemporaryDir locks_;
};

void TestLockArea::initTestCase()
{
    // This process's engine as a site sets it up: shared, its locks in one directory.
    qputenv("FIREBIRD_LOCK", QFile::encodeName(locks_.path()));
    engine::configure(locks_.filePath(QStringLiteral("any.fdb")));
    if (QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("command -v isql-fb >/dev/null")}) != 0)
        QFAIL("isql-fb is missing (firebird3.0-utils)");
}

void TestLockArea::otherProgramFirst_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("shared mode") << QStringLiteral("SuperClassic");
    QTest::newRow("the file to itself") << QStringLiteral("Super");
}

// Opened first by the other program: the window's start-up is refused by name, and so is
// every command after it; nothing is written.
void TestLockArea::otherProgramFirst()
{
    QFETCH(QString, mode);
    WindowFixture f;
    seed(f);
    const std::string before = rows(f);
    {
        OtherProgram other(f.db().database(), mode);
        QVERIFY(other.attached());
        TFormKordane& w = f.shownWindow();
        QVERIFY2(f.errors().size() == 1, qPrintable(f.errors().join(u'\n')));
        if (mode == u"SuperClassic")
            QVERIFY2(refused(f.errors()), qPrintable(f.errors().join(u'\n')));
        f.clearErrors();
        view(w);
        QCOMPARE(f.errors().size(), 1);
        QCOMPARE(w.ClientDataSet1.recordCount(), 0);
    }
    QCOMPARE(rows(f), before);
}

// The window shows the day; the other program then changes E1's card and deletes E2.
// While it is attached, the grid's removal of E1 and the delete command are refused;
// once it has ended, the removal finds E1 changed and removes nothing.
void TestLockArea::otherProgramUnderTheGrid()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    view(w);
    QCOMPARE(w.ClientDataSet1.recordCount(), 2);
    QVERIFY(f.errors().isEmpty());

    OtherProgram other(f.db().database(), QStringLiteral("SuperClassic"));
    QVERIFY(other.attached());
    const QString out = other.run("UPDATE POS_DAY SET CARD_ID = 'C7' WHERE EMPLOYEE_ID = 'E1';\n"
                                  "DELETE FROM POS_DAY WHERE EMPLOYEE_ID = 'E2';");
    QVERIFY2(out.contains(u"done.") && !out.contains(u"Statement failed"), qPrintable(out));

    removeRow(w, 0, QStringLiteral("Y"));
    QVERIFY2(refused(f.errors()), qPrintable(f.errors().join(u'\n')));
    QCOMPARE(w.ClientDataSet1.recordCount(), 2);
    f.clearErrors();
    w.Edit1->setText(QStringLiteral("E1"));
    w.MaskEdit2->assignText(QStringLiteral("08:00:00"));
    w.MaskEdit3->assignText(QStringLiteral("17:00:00"));
    {
        DialogAnswers answers({QStringLiteral("Y"), QStringLiteral("N")});
        QTest::mouseClick(w.SpeedButton4, Qt::LeftButton);
    }
    f.reactivate();
    QVERIFY2(refused(f.errors()), qPrintable(f.errors().join(u'\n')));
    f.clearErrors();

    other.finish();
    QCOMPARE(rows(f), std::string("E1/C7 "));
    w.ClientDataSet1.first();
    removeRow(w, 0, QStringLiteral("Y"));
    QCOMPARE(f.errors(), QStringList {QStringLiteral("Record not found or changed by another user.")});
    QCOMPARE(rows(f), std::string("E1/C7 "));
    // The day seen afresh holds what the other program left.
    f.clearErrors();
    view(w);
    QVERIFY(f.errors().isEmpty());
    QCOMPARE(w.ClientDataSet1.recordCount(), 1);
    QCOMPARE(w.ClientDataSet1.fieldByName(QStringLiteral("CARD_ID")).asString(), QStringLiteral("C7"));
}

// Once a look before a write has found nobody, and the file has stayed unopened for a
// moment, the window looks again only after the file is opened: the other program
// attaching after two quiet removals is still refused at the third.
void TestLockArea::otherProgramAfterQuietWrites()
{
    WindowFixture f;
    f.db().raw().execute({
        "INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '08:00:00', '17:00:00', 'A', 'Amy', 'C1')",
        "INSERT INTO POS_DAY VALUES ('E2', '2026/12/07', '08:00:00', '17:00:00', 'A', 'Bob', 'C2')",
        "INSERT INTO POS_DAY VALUES ('E3', '2026/12/07', '08:00:00', '17:00:00', 'A', 'Cai', 'C3')",
    });
    f.db().release();
    TFormKordane& w = f.shownWindow();
    view(w);
    removeRow(w, 0, QStringLiteral("Y"));
    QTest::qWait(700);
    removeRow(w, 0, QStringLiteral("Y"));
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
    QCOMPARE(rows(f), std::string("E3/C3 "));

    OtherProgram other(f.db().database(), QStringLiteral("SuperClassic"));
    QVERIFY(other.attached());
    // Its engine locks the file a moment after opening it: once it answers, it has.
    QVERIFY(other.run("SELECT 1 FROM RDB$DATABASE;").contains(u"done."));
    removeRow(w, 0, QStringLiteral("Y"));
    QVERIFY2(refused(f.errors()), qPrintable(f.errors().join(u'\n')));
    other.finish();
    QCOMPARE(rows(f), std::string("E3/C3 "));
}

// Given the settings `kordane-admin env` prints, the other program shares the window's
// locks: both write, and the grid's removal of a row it changed finds the change.
void TestLockArea::otherProgramWithTheSitesSettings()
{
    WindowFixture f;
    seed(f);
    TFormKordane& w = f.shownWindow();
    view(w);
    QCOMPARE(w.ClientDataSet1.recordCount(), 2);
    OtherProgram other(f.db().database(), OtherProgram::SiteSettings {f.db().connectionsFile()});
    QVERIFY2(other.settings().contains(QStringLiteral("export FIREBIRD_LOCK='%1'\n").arg(locks_.path())), qPrintable(other.settings()));
    QVERIFY(other.attached());
    const QString out = other.run("UPDATE POS_DAY SET CARD_ID = 'C7' WHERE EMPLOYEE_ID = 'E1';");
    QVERIFY2(out.contains(u"done.") && !out.contains(u"Statement failed"), qPrintable(out));
    removeRow(w, 0, QStringLiteral("Y"));
    QCOMPARE(f.errors(), QStringList {QStringLiteral("Record not found or changed by another user.")});
    f.clearErrors();
    removeRow(w, 1, QStringLiteral("Y"));
    QVERIFY2(f.errors().isEmpty(), qPrintable(f.errors().join(u'\n')));
    QCOMPARE(rows(f), std::string("E1/C7 "));
}

// The advice follows the engine's codes as a user without write access to the lock
// directory gets them (an open refused with EACCES, the path as the argument), whatever
// the engine's words.
void TestLockArea::lockRefusalAdviceByCodes()
{
    const auto refusal = [](int systemError, const std::string& path) {
        dbx::ServerError e;
        e.codes = {335544373, 335544382}; // isc_sys_request, isc_random
        e.systemError = systemError;
        e.arguments = {"access", path};
        return engine::lockRefusalAdvice(e);
    };
    const std::string ours = QFile::encodeName(locks_.path()).toStdString();
    QVERIFY(refusal(EACCES, ours + "/").contains(QStringLiteral("chgrp -R GROUP %1").arg(locks_.path())));
    QVERIFY(refusal(EACCES, ours + "/fb_init").contains(u"common group"));
    QVERIFY(refusal(EACCES, "/tmp/firebird/").contains(u"sudo adduser $USER firebird"));
    QVERIFY(refusal(ENOENT, ours + "/").isEmpty());
    QVERIFY(refusal(EACCES, ours + "-other/").isEmpty());
    QVERIFY(refusal(EACCES, "/srv/data/POSDATA.FDB").isEmpty());
}

QTEST_MAIN(TestLockArea)
#include "tst_lockarea.moc"
