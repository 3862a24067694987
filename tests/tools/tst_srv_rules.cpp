// Two desks on the private server adding the same record, with and without the rules: the
// adds interleaved so that both windows' checks find nothing, or one desk's insert still in
// flight; and which records the database takes for the same, set beside the window's check.
#include "attendance/RecordCommands.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/WindowFixture.h"
#include "tools/admin/Rules.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

using namespace kordane;
using namespace kordane::test;

namespace {

const QString day = QStringLiteral("2026/12/07");
const QString duplicateRefusal = QStringLiteral("POS_DAY already holds a record of this INI_DATE, EMPLOYEE_ID, TIME_IN and TIME_OUT");

// Another program's attachment with one transaction, left open until committed (rolled
// back when dropped).
class OtherProgram {
public:
    OtherProgram(const TestDatabase& db, bool wait)
        : raw_(db.database().toStdString(), "SYSDBA", db.password().toStdString(), "NONE")
        , transaction_(raw_.handle(), false, wait)
    {
    }
    // The server's text when it refuses, else empty.
    QString run(const std::string& sql)
    {
        try {
            raw_.executeIn(transaction_, sql);
        } catch (const std::exception& e) {
            return QString::fromUtf8(e.what());
        }
        return {};
    }
    void commit() { transaction_.commit(); }

private:
    RawFirebird raw_;
    RawTransaction transaction_;
};

void fill(TFormKordane& w, const QString& name)
{
    w.MaskEdit1->assignText(day);
    w.Edit1->setText(QStringLiteral("E1"));
    w.MaskEdit2->assignText(QStringLiteral("08:00:00"));
    w.MaskEdit3->assignText(QStringLiteral("17:00:00"));
    w.Edit5->setText(name);
}

std::string sqlText(const QString& value)
{
    return value == u"<null>" ? "NULL" : "'" + value.toStdString() + "'";
}

} // namespace

class TestServerRules : public QObject {
    Q_OBJECT
private slots:
    void desksAddingOneRecord_data();
    void desksAddingOneRecord();
    void sameRecordAsTheCheckSees_data();
    void sameRecordAsTheCheckSees();
    void installWhileADeskIdles();
};

void TestServerRules::desksAddingOneRecord_data()
{
    QTest::addColumn<bool>("rules");
    QTest::addColumn<bool>("inFlight");
    QTest::newRow("no rules, both checks first") << false << false;
    QTest::newRow("no rules, the other insert in flight") << false << true;
    QTest::newRow("rules, both checks first") << true << false;
    QTest::newRow("rules, the other insert in flight") << true << true;
}

// Desk 1's add meets desk 2's record, stored after desk 1's check found nothing, or not yet
// committed (desk 1 not waiting on locks, so that it answers at once).
void TestServerRules::desksAddingOneRecord()
{
    QFETCH(bool, rules);
    QFETCH(bool, inFlight);
    WindowFixture f(TestDatabase::Where::Server);
    f.db().writeConnectionsFile(f.db().connectionsText().replace(QStringLiteral("WaitOnLocks=True"), QStringLiteral("WaitOnLocks=False")));
    if (rules)
        QVERIFY(admin::installRules(f.db().raw(), TextCodec(QString())));
    TFormKordane& desk1 = f.window();
    fill(desk1, QStringLiteral("desk 1"));
    if (inFlight) {
        OtherProgram desk2(f.db(), true);
        QCOMPARE(desk2.run("INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '08:00:00', '17:00:00', '', 'desk 2', '')"), QString());
        DialogAnswers answers({QStringLiteral("Y")});
        desk1.SpeedButton3->click();
        desk2.commit();
    } else {
        TFormKordane desk2;
        fill(desk2, QStringLiteral("desk 2"));
        QStringList seenByDesk2 {QStringLiteral("not asked")};
        // Desk 1's check has found nothing; while its clerk is asked, desk 2 adds the record.
        whenModal([&](QWidget* question) {
            {
                DialogAnswers answers({QStringLiteral("Y")});
                desk2.SpeedButton3->click();
            }
            seenByDesk2 = f.errors();
            QApplication::setActiveWindow(question);
            play(question, QStringLiteral("Y"));
        });
        desk1.SpeedButton3->click();
        QCOMPARE(seenByDesk2, QStringList());
    }
    const auto names = f.db().raw().query("SELECT EMPLOYEE_NAME FROM POS_DAY ORDER BY EMPLOYEE_NAME");
    if (!rules) {
        QCOMPARE(f.errors(), QStringList());
        QCOMPARE(names.size(), std::size_t(2));
        return;
    }
    QCOMPARE(names, (std::vector<RawFirebird::Row> {{std::string("desk 2")}}));
    QCOMPARE(f.errors().size(), 1);
    const QString expected = inFlight ? QStringLiteral("POS_DAY_UNIQUE_RECORD") : duplicateRefusal;
    QVERIFY2(f.errors()[0].contains(expected), qPrintable(f.errors()[0]));
}

void TestServerRules::sameRecordAsTheCheckSees_data()
{
    QTest::addColumn<QString>("storedCode");
    QTest::addColumn<QString>("storedOut");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<bool>("same");
    const QString out = QStringLiteral("17:00:00");
    const QString null = QStringLiteral("<null>");
    QTest::newRow("the very values") << "E1" << out << "E1" << out << true;
    QTest::newRow("a trailing blank") << "E1" << out << "E1 " << out << true;
    QTest::newRow("a leading blank") << "E1" << out << " E1" << out << false;
    QTest::newRow("a trailing tab") << "E1" << out << "E1\t" << out << false;
    QTest::newRow("another time off") << "E1" << out << "E1" << QStringLiteral("18:00:00") << false;
    QTest::newRow("empty and blank time off") << "E1" << QString() << "E1" << QStringLiteral("  ") << true;
    QTest::newRow("empty and null time off") << "E1" << QString() << "E1" << null << false;
    QTest::newRow("null time off twice") << "E1" << null << "E1" << null << false;
}

// The database refuses a second record exactly when the window's check, run after the
// first was stored, would have found it: when the first is committed, and while it is not.
void TestServerRules::sameRecordAsTheCheckSees()
{
    QFETCH(QString, storedCode);
    QFETCH(QString, storedOut);
    QFETCH(QString, code);
    QFETCH(QString, out);
    QFETCH(bool, same);
    WindowFixture f(TestDatabase::Where::Server);
    QVERIFY(admin::installRules(f.db().raw(), TextCodec(QString())));
    const auto insert = [&](const QString& employee, const QString& timeOut) {
        return "INSERT INTO POS_DAY VALUES (" + sqlText(employee) + ", '2026/12/07', '08:00:00', " + sqlText(timeOut) + ", '', '', '')";
    };
    {
        OtherProgram first(f.db(), true);
        QCOMPARE(first.run(insert(storedCode, storedOut)), QString());
        OtherProgram second(f.db(), false);
        const QString refusal = second.run(insert(code, out));
        QVERIFY2(refusal.isEmpty() != same, qPrintable(refusal));
    }
    f.db().raw().execute(insert(storedCode, storedOut));
    if (out != u"<null>") {
        AttendanceRecord record;
        record.date = day;
        record.employeeCode = code;
        record.timeIn = QStringLiteral("08:00:00");
        record.timeOut = out;
        QCOMPARE(attendance::recordExists(f.window().SQLQuery1, record), same);
    }
    const QString refusal = OtherProgram(f.db(), false).run(insert(code, out));
    QCOMPARE(refusal.isEmpty(), !same);
    if (same)
        QVERIFY2(refusal.contains(duplicateRefusal), qPrintable(refusal));
}

// A desk keeps the statements it has run prepared while it works, and releases them once
// it has been idle for its release delay. An admin's install meanwhile, and the desk's
// next save after it, both work, the save under the new rules.
void TestServerRules::installWhileADeskIdles()
{
    WindowFixture f(TestDatabase::Where::Server);
    f.db().writeConnectionsFile(f.db().connectionsText() + QStringLiteral("Statement Release Delay=300\n"));
    // The statements the server holds for this process's other attachments: the desk's.
    const auto held = [&] {
        return f.db().raw().query("SELECT COUNT(*) FROM MON$STATEMENTS s JOIN MON$ATTACHMENTS a"
                                  " ON a.MON$ATTACHMENT_ID = s.MON$ATTACHMENT_ID"
                                  " WHERE a.MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND a.MON$REMOTE_PID = "
                                  + std::to_string(QCoreApplication::applicationPid()))[0][0]
            .value_or("");
    };
    TFormKordane& w = f.window();
    fill(w, QStringLiteral("before"));
    {
        DialogAnswers answers({QStringLiteral("Y")});
        w.SpeedButton3->click();
    }
    QCOMPARE(f.errors(), QStringList());
    QVERIFY(held() != "0");
    QTRY_COMPARE_WITH_TIMEOUT(held(), std::string("0"), 10000);

    QProcess admin;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ISC_USER"), QStringLiteral("SYSDBA"));
    env.insert(QStringLiteral("ISC_PASSWORD"), f.db().password());
    admin.setProcessEnvironment(env);
    // Run beside this event loop, where the desk's idle time passes.
    admin.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kordane-admin"),
                {QStringLiteral("rules"), QStringLiteral("install"), QStringLiteral("--connections"), f.db().connectionsFile()});
    QTRY_VERIFY_WITH_TIMEOUT(admin.state() == QProcess::NotRunning, 60000);
    QVERIFY2(admin.exitStatus() == QProcess::NormalExit && admin.exitCode() == 0, admin.readAllStandardError().constData());

    fill(w, QStringLiteral("after"));
    w.MaskEdit2->assignText(QStringLiteral("09:00:00"));
    {
        DialogAnswers answers({QStringLiteral("Y")});
        w.SpeedButton3->click();
    }
    QCOMPARE(f.errors(), QStringList());
    QCOMPARE(f.db().raw().query("SELECT COUNT(*) FROM POS_DAY"), (std::vector<RawFirebird::Row> {{std::string("2")}}));
    // The audit trail, installed between the saves, has the second one only.
    QCOMPARE(f.db().raw().query("SELECT COUNT(*) FROM POS_DAY_AUDIT"), (std::vector<RawFirebird::Row> {{std::string("1")}}));
}

QTEST_MAIN(TestServerRules)
#include "tst_srv_rules.moc"
