// The commands on the day's result set without a window, against an embedded database:
// the employee lookup's two steps and the start-up name backfill.
#include "attendance/DayRecords.h"
#include "tests/support/DayChain.h"
#include "tests/support/TestDatabase.h"

#include <QTest>

using namespace kordane;
using kordane::test::DayChain;
using kordane::test::TestDatabase;
using Found = kordane::attendance::EmployeeLookup::Found;

class TestDayRecords : public QObject {
    Q_OBJECT

private slots:
    void lookupTwoSteps();
    void backfillLastDays();
    void removalStandsOrIsUndone();
};

void TestDayRecords::lookupTwoSteps()
{
    TestDatabase db;
    db.raw().execute({
        "INSERT INTO EMPLOYEE VALUES ('E1', 'Amy', 'C1')",
        "INSERT INTO EMPLOYEE VALUES ('E2', 'Bob', 'C2')",
        "INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '08:00:00', '17:00:00', '', 'Amy on the day', 'C9')",
        "INSERT INTO POS_DAY VALUES ('E2', '2026/12/06', '08:00:00', '17:00:00', '', 'Bob', 'C2')",
        // A record on the day is found without an employee behind it.
        "INSERT INTO POS_DAY VALUES ('E3', '2026/12/07', '09:00:00', '', '\xA4\x47', 'Cid', '')",
    });
    DayChain chain(db.connection());
    SqlQuery query(QStringLiteral("SQLQuery1"), chain.connection);
    const AttendanceRecord typed {QStringLiteral("2026/12/07"), QString(), QStringLiteral("07:00:00"), QString(),
                                  QStringLiteral("一"), QStringLiteral("typed"), QStringLiteral("typed")};
    const auto lookUp = [&](const char* code) {
        AttendanceRecord fields = typed;
        fields.employeeCode = QString::fromLatin1(code);
        return attendance::lookUpEmployee(chain.dataSet, query, fields);
    };

    QCOMPARE(lookUp("").found, Found::NoCode);
    QVERIFY(!chain.dataSet.active());

    attendance::EmployeeLookup lookup = lookUp("E1");
    QCOMPARE(lookup.found, Found::OnTheDate);
    QCOMPARE(lookup.record, (AttendanceRecord {QStringLiteral("2026/12/07"), QStringLiteral("E1"), QStringLiteral("08:00:00"), QStringLiteral("17:00:00"), QStringLiteral("一"), QStringLiteral("Amy on the day"), QStringLiteral("C9")})); // no weekday stored: the typed one stays
    QCOMPARE(chain.dataSet.recordCount(), 1);

    lookup = lookUp("E3");
    QCOMPARE(lookup.found, Found::OnTheDate);
    QCOMPARE(lookup.record.weekday, QStringLiteral("二"));
    QCOMPARE(lookup.record.name, QStringLiteral("Cid"));

    // A record on another day does not count: the employee's name and card alone.
    lookup = lookUp("E2");
    QCOMPARE(lookup.found, Found::Employee);
    AttendanceRecord expected = typed;
    expected.employeeCode = QStringLiteral("E2");
    expected.name = QStringLiteral("Bob");
    expected.card = QStringLiteral("C2");
    QCOMPARE(lookup.record, expected);
    QVERIFY(chain.dataSet.active());
    QCOMPARE(chain.dataSet.recordCount(), 0);

    lookup = lookUp("E4");
    QCOMPARE(lookup.found, Found::Nobody);
    QCOMPARE(lookup.record.name, QStringLiteral("typed"));
}

void TestDayRecords::backfillLastDays()
{
    TestDatabase db;
    db.raw().execute({
        "INSERT INTO EMPLOYEE VALUES ('E1', 'Amy', 'C1')",
        "INSERT INTO POS_DAY VALUES ('E1', '2026/11/01', '08:00:00', '', '', NULL, '')",
        "INSERT INTO POS_DAY VALUES ('E1', '2026/11/02', '08:00:00', '', '', NULL, '')",
        "INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '08:00:00', '', '', '', '')",
        "INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '09:00:00', '', '', 'Kept', '')",
    });
    auto connection = db.connection();
    SqlQuery query(QStringLiteral("SQLQuery1"), *connection);
    attendance::fillInMissingNames(query, QDate(2026, 12, 7));
    const auto name = [&](const char* date, const char* timeIn) {
        return db.scalar(std::string("SELECT COALESCE(EMPLOYEE_NAME, '-') FROM POS_DAY WHERE INI_DATE = '") + date + "' AND TIME_IN = '" + timeIn + "'");
    };
    QCOMPARE(name("2026/11/01", "08:00:00"), std::optional<std::string>("-")); // 36 days before
    QCOMPARE(name("2026/11/02", "08:00:00"), std::optional<std::string>("Amy")); // 35 days before
    QCOMPARE(name("2026/12/07", "08:00:00"), std::optional<std::string>("Amy"));
    QCOMPARE(name("2026/12/07", "09:00:00"), std::optional<std::string>("Kept"));
}

// One of two identical records cannot be removed alone: the row comes back, current and
// as fetched, and the next removal is not dragged down by the failed one.
void TestDayRecords::removalStandsOrIsUndone()
{
    TestDatabase db;
    db.raw().execute({
        "INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '08:00:00', '12:00:00', '', 'Amy', 'C1')",
        "INSERT INTO POS_DAY VALUES ('E1', '2026/12/07', '08:00:00', '12:00:00', '', 'Amy', 'C1')",
        "INSERT INTO POS_DAY VALUES ('E2', '2026/12/07', '09:00:00', '17:00:00', '', 'Bob', 'C2')",
    });
    DayChain chain(db.connection());
    attendance::viewDay(chain.dataSet, QStringLiteral("2026/12/07"));
    chain.dataSet.moveTo(1);
    try {
        attendance::removeCurrentRecord(chain.dataSet);
        QFAIL("removing one of two identical records must fail");
    } catch (const EDatabaseError& e) {
        QCOMPARE(e.message(), QStringLiteral("Update affected more than 1 record."));
    }
    QCOMPARE(chain.dataSet.recordCount(), 3);
    QCOMPARE(chain.dataSet.currentRow(), 1);
    QCOMPARE(attendance::currentRecord(chain.dataSet, QString()).employeeCode, QStringLiteral("E1"));

    chain.dataSet.moveTo(2);
    attendance::removeCurrentRecord(chain.dataSet);
    QCOMPARE(chain.dataSet.recordCount(), 2);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM POS_DAY"), std::optional<std::string>("2"));
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_ID = 'E2'"), std::optional<std::string>("0"));
}

QTEST_GUILESS_MAIN(TestDayRecords)
#include "tst_dayrecords.moc"
