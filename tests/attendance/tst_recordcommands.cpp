// The add, modify and delete commands without a window, against an embedded database:
// which check refuses first and with what text, when the weekday is told, and what the
// statements leave stored. (The window's tests cover the same commands through the keys.)
#include "attendance/RecordCommands.h"
#include "data/sql/SqlStatement.h"
#include "tests/support/TestDatabase.h"

#include <QTest>

using namespace kordane;
using kordane::test::TestDatabase;

namespace {

const QString dateError = QStringLiteral("日期格式錯誤..!");
const QString codeError = QStringLiteral("人員代號不可空白..!");
const QString monday = QStringLiteral("一"); // 2026/12/07

AttendanceRecord amy(const QString& timeOut = QStringLiteral("17:00:00"))
{
    return {QStringLiteral("2026/12/07"), QStringLiteral("E1"), QStringLiteral("08:00:00"), timeOut,
            QStringLiteral("stale"), QStringLiteral("Amy"), QStringLiteral("C1")};
}

} // namespace

class TestRecordCommands : public QObject {
    Q_OBJECT

private slots:
    void checksInOrder_data();
    void checksInOrder();
    void addRefusedWhenStored();
    void modifyThenDelete();
    void valuesMatchAsWrittenIn();
};

void TestRecordCommands::checksInOrder_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("timeIn");
    QTest::addColumn<QString>("refusal"); // empty: passes
    QTest::addColumn<QString>("told"); // the weekday told before it, if any
    const QString d = QStringLiteral("2026/12/07");
    for (const char* command : {"modify", "delete"}) {
        const bool writes = qstrcmp(command, "delete") != 0;
        const auto row = [&](const char* name) -> QTestData& {
            return QTest::addRow("%s: %s", command, name) << QString::fromLatin1(command);
        };
        const QString told = writes ? monday : QString();
        row("short date") << "2026/12/7"
                          << ""
                          << "" << dateError << "";
        row("empty code, any time") << d << ""
                                    << "" << codeError << told;
        row("short time") << d << "E1"
                          << "8:00:00" << dateError << told;
        row("blank inside the time") << d << "E1"
                                     << "08:0 :00" << (writes ? dateError : QString()) << told;
        row("blank inside the date") << "2026/1 /07"
                                     << ""
                                     << "" << (writes ? dateError : codeError) << "";
        row("passes") << d << "E1"
                      << "08:00:00"
                      << "" << told;
    }
}

void TestRecordCommands::checksInOrder()
{
    QFETCH(QString, command);
    QFETCH(QString, date);
    QFETCH(QString, code);
    QFETCH(QString, timeIn);
    QFETCH(QString, refusal);
    QFETCH(QString, told);
    AttendanceRecord record = amy();
    record.date = date;
    record.employeeCode = code;
    record.timeIn = timeIn;
    QStringList weekdays;
    const auto known = [&](const QString& weekday) { weekdays << weekday; };
    try {
        if (command == QLatin1String("delete")) {
            attendance::checkDelete(record);
        } else {
            const AttendanceRecord checked = attendance::checkModify(record, known);
            QCOMPARE(checked.weekday, monday);
            QCOMPARE(checked.timeOut, record.timeOut);
        }
        QCOMPARE(QString(), refusal);
    } catch (const attendance::Refusal& e) {
        QCOMPARE(e.message(), refusal);
    }
    QCOMPARE(weekdays, told.isEmpty() ? QStringList() : QStringList {told});
}

void TestRecordCommands::addRefusedWhenStored()
{
    TestDatabase db;
    auto connection = db.connection();
    SqlQuery query(QStringLiteral("SQLQuery1"), *connection);
    QStringList weekdays;
    const auto known = [&](const QString& weekday) { weekdays << weekday; };
    // A date of the right length that is no date ends the checks with the conversion's
    // own error, before any weekday.
    AttendanceRecord noDate = amy();
    noDate.date = QStringLiteral("2026/13/45");
    QVERIFY_THROWS_EXCEPTION(EConvertError, attendance::checkAdd(query, noDate, known));
    QVERIFY(weekdays.isEmpty());

    const AttendanceRecord checked = attendance::checkAdd(query, amy(), known);
    attendance::insertRecord(query, checked);
    QCOMPARE(db.scalar("SELECT INI_DATE || EMPLOYEE_ID || TIME_IN || TIME_OUT || CARD_ID || EMPLOYEE_NAME FROM POS_DAY"),
             std::optional<std::string>("2026/12/07E108:00:0017:00:00C1Amy"));
    QCOMPARE(db.scalar("SELECT BILL_WEEK FROM POS_DAY"), std::optional<std::string>("\xA4\x40")); // not "stale"
    // The same four values again: refused after the weekday was told.
    weekdays.clear();
    try {
        attendance::checkAdd(query, amy(), known);
        QFAIL("a stored record added again");
    } catch (const attendance::Refusal& e) {
        QCOMPARE(e.message(), QStringLiteral("修改功能無效..!"));
    }
    QCOMPARE(weekdays, QStringList {monday});
    // Another time out is another record.
    attendance::insertRecord(query, attendance::checkAdd(query, amy(QStringLiteral("18:00:00")), known));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM POS_DAY"), std::optional<std::string>("2"));
}

void TestRecordCommands::modifyThenDelete()
{
    TestDatabase db;
    db.raw().execute({
        "INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '08:00:00', '17:00:00', '', 'Old', '')",
        "INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '08:00:00', '17:00:00', '', 'Old', '')",
    });
    auto connection = db.connection();
    SqlQuery query(QStringLiteral("SQLQuery1"), *connection);
    const auto ignore = [](const QString&) {};
    // Both copies give way to the one record.
    attendance::modify(*connection, query, attendance::checkModify(amy(), ignore));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM POS_DAY"), std::optional<std::string>("1"));
    QCOMPARE(db.scalar("SELECT EMPLOYEE_NAME FROM POS_DAY"), std::optional<std::string>("Amy"));
    // A record the server refuses takes nothing away with it, and the next command runs.
    AttendanceRecord tooWide = attendance::checkModify(amy(), ignore);
    tooWide.name = QString(60, QLatin1Char('x'));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, attendance::modify(*connection, query, tooWide));
    QCOMPARE(db.scalar("SELECT COUNT(*) || EMPLOYEE_NAME FROM POS_DAY GROUP BY EMPLOYEE_NAME"),
             std::optional<std::string>("1Amy"));
    attendance::deleteByValues(query, amy());
    QVERIFY(!attendance::recordExists(query, amy()));
}

void TestRecordCommands::valuesMatchAsWrittenIn()
{
    TestDatabase db;
    db.raw().execute({
        "INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '08:00:00', '17:00:00', '', 'Amy', '')",
        "INSERT INTO POS_DAY VALUES ('O''Neil', '2026/12/07', '08:00:00', '17:00:00', '', 'Neil', '')",
    });
    auto connection = db.connection();
    SqlQuery query(QStringLiteral("SQLQuery1"), *connection);
    const auto withCode = [](const QString& code) {
        AttendanceRecord r = amy();
        r.employeeCode = code;
        return r;
    };
    QVERIFY(attendance::recordExists(query, withCode(QStringLiteral("O'Neil"))));
    // Blanks past the column's width compare as the stored text's own padding.
    QVERIFY(attendance::recordExists(query, withCode(QStringLiteral("E1") + QString(40, u' '))));
    // A code wider than its column matches nothing and is no error, as when it was written
    // into the statement's text; nothing is deleted.
    const AttendanceRecord wide = withCode(QStringLiteral("E1") + QString(30, u'x'));
    QVERIFY(!attendance::recordExists(query, wide));
    attendance::deleteByValues(query, wide);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM POS_DAY"), std::optional<std::string>("2"));
    // Modify: the delete finds nothing, the insert is refused, and both records stay.
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, attendance::modify(*connection, query, attendance::checkModify(wide, [](const QString&) {})));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM POS_DAY"), std::optional<std::string>("2"));
    // And the statements run bound again after the fall-back.
    attendance::deleteByValues(query, withCode(QStringLiteral("O'Neil")));
    QVERIFY(!attendance::recordExists(query, withCode(QStringLiteral("O'Neil"))));
    QVERIFY(attendance::recordExists(query, amy()));
}

QTEST_GUILESS_MAIN(TestRecordCommands)
#include "tst_recordcommands.moc"
