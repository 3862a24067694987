// The day result set against an embedded database: loading, local changes and their
// removal statements, and what a failed apply leaves behind.
#include "data/resultset/ClientDataSet.h"
#include "data/sql/SqlConnection.h"
#include "data/sql/SqlStatement.h"
#include "tests/support/DayChain.h"
#include "tests/support/TestDatabase.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

using namespace kordane;

namespace {

using Chain = test::DayChain;

QString message(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.message();
    }
    return QString();
}

} // namespace

class TestDataSet : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loadsRowsAndFields();
    void emptyAndNeverOpened();
    void failedLoadStaysClosed();
    void removesOneRow();
    void matchesNullWithIsNull();
    void removalsOfEveryShapeInOneApply();
    void removalsFollowTheirSource();
    void identicalRowsRemoveNothing();
    void rowChangedElsewhereUndoesTheWholeApply();
    void sendsPendingChangesInOrderInOneTransaction();
    void toleratedFailuresCommitTheRest();
    void emptyLogSendsNothing();
    void unpostedInsertVanishes();
    void refusesUnencodableText();
    void fetchedBytesGoBackAsTheyAre();

private:
    std::vector<RawFirebird::Row> rows(const std::string& where = "1=1");
    std::vector<RawFirebird::Row> journal();
    RawFirebird& raw() { return db_->raw(); }

    std::unique_ptr<test::TestDatabase> db_;
    std::unique_ptr<Chain> chain_;
};

void TestDataSet::initTestCase()
{
    db_ = std::make_unique<test::TestDatabase>();
    raw().execute({// Every statement the result set sends leaves a line here, with its transaction.
                   "CREATE TABLE JOURNAL (N INTEGER, KIND VARCHAR(1), EMPLOYEE_ID VARCHAR(10), TX BIGINT)",
                   "CREATE SEQUENCE JOURNAL_N",
                   "CREATE TRIGGER POS_DAY_JOURNAL FOR POS_DAY AFTER INSERT OR UPDATE OR DELETE AS BEGIN"
                   " INSERT INTO JOURNAL VALUES (NEXT VALUE FOR JOURNAL_N,"
                   " CASE WHEN INSERTING THEN 'I' WHEN UPDATING THEN 'U' ELSE 'D' END,"
                   " COALESCE(NEW.EMPLOYEE_ID, OLD.EMPLOYEE_ID), CURRENT_TRANSACTION); END"});
}

void TestDataSet::init()
{
    raw().execute({"DELETE FROM POS_DAY", "DELETE FROM JOURNAL",
                   "INSERT INTO POS_DAY VALUES ('E01', '2026/12/09', '08:00:00', '17:00:00', 'W', 'Ann', 'C1')",
                   "INSERT INTO POS_DAY VALUES ('E02', '2026/12/09', '09:00:00', '18:00:00', 'W', 'Bob', NULL)",
                   "INSERT INTO POS_DAY VALUES ('E03', '2026/12/09', '07:30:00', '16:30:00', 'W', 'Cid', 'C3')",
                   "INSERT INTO POS_DAY VALUES ('E09', '2026/12/10', '08:00:00', '17:00:00', 'T', 'Dee', 'C9')",
                   "DELETE FROM JOURNAL"});
    chain_ = std::make_unique<Chain>(db_->connection());
}

void TestDataSet::cleanup()
{
    chain_.reset();
}

std::vector<RawFirebird::Row> TestDataSet::rows(const std::string& where)
{
    return raw().query("SELECT EMPLOYEE_ID, TIME_IN, CARD_ID FROM POS_DAY WHERE " + where + " ORDER BY 1, 2");
}

std::vector<RawFirebird::Row> TestDataSet::journal()
{
    return raw().query("SELECT KIND, EMPLOYEE_ID, TX FROM JOURNAL ORDER BY N");
}

void TestDataSet::loadsRowsAndFields()
{
    Chain& c = *chain_;
    QSignalSpy reset(&c.dataSet, &ClientDataSet::rowsReset);
    c.load(QStringLiteral("2026/12/09"));
    QVERIFY(c.dataSet.active());
    QCOMPARE(c.dataSet.recordCount(), 3);
    QCOMPARE(c.dataSet.currentRow(), 0);
    QCOMPARE(c.afterOpenRuns, 1);
    QCOMPARE(reset.count(), 1);
    QVERIFY(!c.source.active()); // the source lives only during the fetch
    QCOMPARE(c.source.commandTextValue().left(6), QStringLiteral("select"));
    QCOMPARE(c.dataSet.localeId(), 0); // the connection's LocaleCode=0000, read as hexadecimal

    QCOMPARE(c.dataSet.fieldCount(), 7);
    const DataField& card = c.dataSet.field(6);
    QCOMPARE(card.fieldName(), QStringLiteral("CARD_ID"));
    QCOMPARE(card.displayLabel(), QStringLiteral("CARD_ID"));
    QCOMPARE(card.displayWidth(), 20); // VARCHAR(20)
    QCOMPARE(c.dataSet.fieldByName(QStringLiteral("EMPLOYEE_NAME")).asString(), QStringLiteral("Ann"));
    c.dataSet.next();
    QVERIFY(c.dataSet.fieldByName(QStringLiteral("CARD_ID")).isNull());
    QCOMPARE(c.dataSet.fieldByName(QStringLiteral("CARD_ID")).asString(), QString());
    QCOMPARE(message([&] { c.dataSet.fieldByName(QStringLiteral("NOPE")); }),
             QStringLiteral("ClientDataSet1: Field 'NOPE' not found"));

    // What the after-open handler throws reaches the caller; the rows are there all the same.
    c.dataSet.setAfterOpen([](ClientDataSet&) { throw EDatabaseError(QStringLiteral("List index out of bounds (6)")); });
    QCOMPARE(message([&] { c.load(QStringLiteral("2026/12/10")); }), QStringLiteral("List index out of bounds (6)"));
    QVERIFY(c.dataSet.active());
    QCOMPARE(c.dataSet.recordCount(), 1);
}

void TestDataSet::emptyAndNeverOpened()
{
    Chain& c = *chain_;
    QVERIFY(c.dataSet.isEmpty());
    QCOMPARE(message([&] { c.dataSet.fieldByName(QStringLiteral("BILL_WEEK")); }),
             QStringLiteral("ClientDataSet1: Field 'BILL_WEEK' not found"));
    c.dataSet.close(); // closing a closed set does nothing

    c.load(QStringLiteral("    /  /  "));
    QVERIFY(c.dataSet.active());
    QCOMPARE(c.dataSet.recordCount(), 0);
    QVERIFY(c.dataSet.isEmpty());
    QCOMPARE(c.afterOpenRuns, 1);
    QCOMPARE(c.dataSet.fieldByName(QStringLiteral("BILL_WEEK")).asString(), QString());
    QCOMPARE(message([&] { c.dataSet.deleteRecord(); }),
             QStringLiteral("ClientDataSet1: Cannot perform this operation on an empty dataset"));
}

void TestDataSet::failedLoadStaysClosed()
{
    Chain& c = *chain_;
    c.dataSet.setCommandText(QStringLiteral("select * from NO_SUCH_TABLE"));
    const QString error = message([&] { c.dataSet.open(); });
    QVERIFY2(error.contains(QStringLiteral("NO_SUCH_TABLE")), qPrintable(error));
    QVERIFY(!c.dataSet.active());
    QVERIFY(!c.source.active());
    QCOMPARE(c.afterOpenRuns, 0);

    c.dataSet.setProvider(nullptr);
    QCOMPARE(message([&] { c.dataSet.open(); }), QStringLiteral("ClientDataSet1: Missing data provider or data packet"));
}

void TestDataSet::removesOneRow()
{
    Chain& c = *chain_;
    c.load(QStringLiteral("2026/12/09"));
    QCOMPARE(c.connection.quoteChar(), QStringLiteral("\""));
    c.go(QStringLiteral("E03"));
    c.dataSet.deleteRecord();
    QCOMPARE(c.dataSet.recordCount(), 2);
    QCOMPARE(c.dataSet.currentRow(), 1); // the last row went: the previous one is current
    QCOMPARE(c.dataSet.applyUpdates(0), 0);
    QCOMPARE(c.dataSet.changeCount(), 0);
    QCOMPARE(rows("INI_DATE = '2026/12/09'").size(), std::size_t(2));
    QCOMPARE(rows("EMPLOYEE_ID = 'E03'").size(), std::size_t(0));
    QVERIFY(!c.connection.inTransaction());
}

void TestDataSet::matchesNullWithIsNull()
{
    Chain& c = *chain_;
    c.load(QStringLiteral("2026/12/09"));
    c.go(QStringLiteral("E02")); // CARD_ID is null
    c.dataSet.deleteRecord();
    QCOMPARE(c.dataSet.currentRow(), 1); // the next row took its place
    QCOMPARE(c.dataSet.cellText(1, 0), QStringLiteral("E03"));
    QCOMPARE(c.dataSet.applyUpdates(0), 0);
    QCOMPARE(rows("EMPLOYEE_ID = 'E02'").size(), std::size_t(0));

    // An empty text is no null: the removal matches it as the value it is.
    raw().execute("INSERT INTO POS_DAY VALUES ('E04', '2026/12/09', '08:00:00', '17:00:00', 'W', 'Dee', '')");
    c.load(QStringLiteral("2026/12/09"));
    c.go(QStringLiteral("E04"));
    c.dataSet.deleteRecord();
    QCOMPARE(c.dataSet.applyUpdates(0), 0);
    QCOMPARE(rows("EMPLOYEE_ID = 'E04'").size(), std::size_t(0));
}

// Removals whose rows have nulls in different places, one apply: each is sent with the
// text of its own shape, a shape met again with the text written for it before.
void TestDataSet::removalsOfEveryShapeInOneApply()
{
    Chain& c = *chain_;
    for (int round = 0; round < 2; ++round) {
        c.load(QStringLiteral("2026/12/09"));
        c.dataSet.first();
        while (c.dataSet.recordCount() > 0)
            c.dataSet.deleteRecord();
        QCOMPARE(c.dataSet.applyUpdates(0), 0);
        QCOMPARE(rows("INI_DATE = '2026/12/09'").size(), std::size_t(0));
        raw().execute({"INSERT INTO POS_DAY VALUES ('E01', '2026/12/09', '08:00:00', '17:00:00', 'W', 'Ann', 'C1')",
                       "INSERT INTO POS_DAY VALUES ('E02', '2026/12/09', '09:00:00', '18:00:00', 'W', NULL, NULL)",
                       "INSERT INTO POS_DAY VALUES ('E03', '2026/12/09', '10:00:00', '19:00:00', 'W', 'Cid', NULL)",
                       "INSERT INTO POS_DAY VALUES ('E04', '2026/12/09', '11:00:00', '20:00:00', 'W', 'Dee', 'C4')"});
    }
}

// The texts kept from one apply belong to its source: a removal after the result set
// was opened on other columns, or on another table, names those.
void TestDataSet::removalsFollowTheirSource()
{
    Chain& c = *chain_;
    c.load(QStringLiteral("2026/12/09"));
    c.go(QStringLiteral("E01"));
    c.dataSet.deleteRecord();
    QCOMPARE(c.dataSet.applyUpdates(0), 0);

    const auto reopen = [&](const QString& text) {
        c.dataSet.close();
        c.dataSet.setCommandText(text);
        c.dataSet.open();
        c.dataSet.first();
    };
    reopen(QStringLiteral("select EMPLOYEE_ID from POS_DAY where EMPLOYEE_ID = 'E03'"));
    c.dataSet.deleteRecord();
    QCOMPARE(c.dataSet.applyUpdates(0), 0);
    QCOMPARE(rows("INI_DATE = '2026/12/09'").size(), std::size_t(1));

    // The journal has a line for each removal: the same column as the removal before,
    // on another table.
    reopen(QStringLiteral("select EMPLOYEE_ID from JOURNAL where EMPLOYEE_ID = 'E03'"));
    c.dataSet.deleteRecord();
    QCOMPARE(c.dataSet.applyUpdates(0), 0);
    QCOMPARE(raw().query("SELECT EMPLOYEE_ID FROM JOURNAL"), (std::vector<RawFirebird::Row> {{"E01"}}));
    QCOMPARE(rows("INI_DATE = '2026/12/09'").size(), std::size_t(1));
}

void TestDataSet::identicalRowsRemoveNothing()
{
    raw().execute("INSERT INTO POS_DAY VALUES ('E01', '2026/12/09', '08:00:00', '17:00:00', 'W', 'Ann', 'C1')");
    Chain& c = *chain_;
    c.load(QStringLiteral("2026/12/09"));
    QCOMPARE(c.dataSet.recordCount(), 4);
    c.dataSet.first();
    c.dataSet.deleteRecord();
    QCOMPARE(c.dataSet.applyUpdates(0), 1);
    QCOMPARE(c.dataSet.applyErrors(), QStringList {QStringLiteral("Update affected more than 1 record.")});
    QCOMPARE(rows("EMPLOYEE_ID = 'E01'").size(), std::size_t(2));
    // The failed removal is undone: its row is back, first and current, and nothing is
    // left to send again.
    QCOMPARE(c.dataSet.recordCount(), 4);
    QCOMPARE(c.dataSet.currentRow(), 0);
    QCOMPARE(c.dataSet.cellText(0, 0), QStringLiteral("E01"));
    QCOMPARE(c.dataSet.changeCount(), 0);
    QCOMPARE(c.dataSet.applyUpdates(0), 0);
    QVERIFY(!c.connection.inTransaction());
}

void TestDataSet::rowChangedElsewhereUndoesTheWholeApply()
{
    Chain& c = *chain_;
    c.load(QStringLiteral("2026/12/09"));
    raw().execute("UPDATE POS_DAY SET CARD_ID = 'X3' WHERE EMPLOYEE_ID = 'E03'");

    c.go(QStringLiteral("E01"));
    c.dataSet.edit();
    c.dataSet.setFieldText(6, QStringLiteral("NEW"));
    c.dataSet.post();
    c.go(QStringLiteral("E03"));
    c.dataSet.deleteRecord();
    QCOMPARE(c.dataSet.applyUpdates(0), 1);

    // The edit was sent first and rolled back with the failed removal: the edit stays
    // pending, the removal is undone.
    QCOMPARE(c.dataSet.applyErrors(), QStringList {QStringLiteral("Record not found or changed by another user")});
    const auto sent = journal();
    QCOMPARE(sent.size(), std::size_t(1)); // the other user's update alone
    QCOMPARE(*sent[0][1], std::string("E03"));
    const auto left = rows("INI_DATE = '2026/12/09'");
    QCOMPARE(left.size(), std::size_t(3));
    QCOMPARE(*left[0][2], std::string("C1"));
    QCOMPARE(*left[2][2], std::string("X3"));
    QCOMPARE(c.dataSet.changeCount(), 1);
    QCOMPARE(c.dataSet.recordCount(), 3);
    QCOMPARE(c.dataSet.cellText(0, 6), QStringLiteral("NEW"));
    QCOMPARE(c.dataSet.cellText(2, 0), QStringLiteral("E03"));
    QCOMPARE(c.dataSet.currentRow(), 2);
    // The edit alone goes next time.
    QCOMPARE(c.dataSet.applyUpdates(0), 0);
    QCOMPARE(*rows("EMPLOYEE_ID = 'E01'")[0][2], std::string("NEW"));
}

void TestDataSet::sendsPendingChangesInOrderInOneTransaction()
{
    Chain& c = *chain_;
    c.load(QStringLiteral("2026/12/09"));
    c.go(QStringLiteral("E02"));
    c.dataSet.edit();
    c.dataSet.setFieldText(3, QStringLiteral("19:00:00"));
    c.dataSet.append(); // posts the edit
    c.dataSet.setFieldText(0, QStringLiteral("E07"));
    c.dataSet.setFieldText(1, QStringLiteral("2026/12/09"));
    c.go(QStringLiteral("E01")); // leaving the row posts the insert
    QCOMPARE(c.dataSet.state(), ClientDataSet::State::Browse);
    c.dataSet.deleteRecord();
    QCOMPARE(c.dataSet.changeCount(), 3);
    QCOMPARE(c.dataSet.applyUpdates(0), 0);
    QCOMPARE(c.dataSet.changeCount(), 0);

    const auto sent = journal();
    QCOMPARE(sent.size(), std::size_t(3));
    QCOMPARE(*sent[0][0] + *sent[0][1], std::string("UE02"));
    QCOMPARE(*sent[1][0] + *sent[1][1], std::string("IE07"));
    QCOMPARE(*sent[2][0] + *sent[2][1], std::string("DE01"));
    QCOMPARE(*sent[0][2], *sent[2][2]);
    QCOMPARE(*sent[1][2], *sent[2][2]);

    const auto left = rows("INI_DATE = '2026/12/09'");
    QCOMPARE(left.size(), std::size_t(3));
    QVERIFY(!left[2][2].has_value()); // the insert named only the columns given a value
    QCOMPARE(*db_->scalar("SELECT TIME_OUT FROM POS_DAY WHERE EMPLOYEE_ID = 'E02'"), std::string("19:00:00"));

    // The applied values are the rows' old values now: a second edit of E02 finds its row.
    c.go(QStringLiteral("E02"));
    c.dataSet.edit();
    c.dataSet.setFieldText(3, QStringLiteral("20:00:00"));
    QCOMPARE(c.dataSet.applyUpdates(0), 0);
    QCOMPARE(*db_->scalar("SELECT TIME_OUT FROM POS_DAY WHERE EMPLOYEE_ID = 'E02'"), std::string("20:00:00"));
}

void TestDataSet::toleratedFailuresCommitTheRest()
{
    Chain& c = *chain_;
    c.load(QStringLiteral("2026/12/09"));
    raw().execute("DELETE FROM POS_DAY WHERE EMPLOYEE_ID = 'E02'");
    c.go(QStringLiteral("E02"));
    c.dataSet.deleteRecord();
    c.go(QStringLiteral("E03"));
    c.dataSet.deleteRecord();
    QCOMPARE(c.dataSet.applyUpdates(1), 1);
    QCOMPARE(rows("EMPLOYEE_ID = 'E03'").size(), std::size_t(0)); // committed
    QCOMPARE(c.dataSet.changeCount(), 0); // the failed one is undone
    QCOMPARE(c.dataSet.recordCount(), 2);
    QVERIFY(!c.connection.inTransaction());
}

void TestDataSet::emptyLogSendsNothing()
{
    Chain& c = *chain_;
    QCOMPARE(c.dataSet.applyUpdates(0), 0); // closed
    c.load(QStringLiteral("2026/12/09"));
    c.dataSet.edit();
    c.dataSet.setFieldText(5, QStringLiteral("Ann")); // the same value: no change
    QCOMPARE(c.dataSet.applyUpdates(0), 0);
    QCOMPARE(journal().size(), std::size_t(0));
    QVERIFY(!c.connection.inTransaction());
}

void TestDataSet::unpostedInsertVanishes()
{
    Chain& c = *chain_;
    c.load(QStringLiteral("2026/12/09"));
    QSignalSpy removed(&c.dataSet, &ClientDataSet::rowRemoved);
    c.go(QStringLiteral("E02"));
    c.dataSet.insert();
    QCOMPARE(c.dataSet.recordCount(), 4);
    QCOMPARE(c.dataSet.currentRow(), 1);
    c.dataSet.setFieldText(0, QStringLiteral("E05"));
    QCOMPARE(c.dataSet.cellText(1, 0), QStringLiteral("E05"));
    QCOMPARE(c.dataSet.cellText(2, 0), QStringLiteral("E02"));
    c.dataSet.cancel();
    QCOMPARE(c.dataSet.recordCount(), 3);
    QCOMPARE(c.dataSet.cellText(1, 0), QStringLiteral("E02"));

    // Deleting a row still being inserted only abandons it.
    c.dataSet.insert();
    c.dataSet.setFieldText(0, QStringLiteral("E06"));
    c.dataSet.deleteRecord();
    QCOMPARE(removed.count(), 2);
    QCOMPARE(c.dataSet.recordCount(), 3);
    QCOMPARE(c.dataSet.changeCount(), 0);
    QCOMPARE(c.dataSet.applyUpdates(0), 0);
    QCOMPARE(rows().size(), std::size_t(4));
}

void TestDataSet::refusesUnencodableText()
{
    Chain& c = *chain_;
    c.load(QStringLiteral("2026/12/09"));
    c.dataSet.edit();
    c.dataSet.setFieldText(5, QString::fromUtf8("王小明")); // Big5 holds it
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, c.dataSet.setFieldText(4, QStringLiteral("three")));
    c.dataSet.post();
    QCOMPARE(c.dataSet.applyUpdates(0), 0);
    c.load(QStringLiteral("2026/12/09"));
    QCOMPARE(c.dataSet.cellText(0, 5), QString::fromUtf8("王小明"));
    c.dataSet.edit();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, c.dataSet.setFieldText(6, QString::fromUtf8("\xF0\x9F\x98\x80")));
    QVERIFY(!c.dataSet.modified());
}

// A value fetched goes back as the bytes it was fetched as, even bytes that are no text of
// the connection's character set: here a code page 950 name read over a UTF-8 connection.
void TestDataSet::fetchedBytesGoBackAsTheyAre()
{
    const auto restore = qScopeGuard([&] { db_->writeConnectionsFile(db_->connectionsText()); });
    db_->writeConnectionsFile(db_->connectionsText().replace(QStringLiteral("ServerCharSet="),
                                                             QStringLiteral("ServerCharSet=UTF8")));
    raw().execute({"UPDATE POS_DAY SET EMPLOYEE_NAME = x'A4FDA4E9' WHERE EMPLOYEE_ID IN ('E01', 'E03')"});
    Chain& c = *chain_;
    c.load(QStringLiteral("2026/12/09"));
    c.go(QStringLiteral("E01"));
    c.dataSet.edit();
    c.dataSet.setFieldText(3, QStringLiteral("19:00:00"));
    c.go(QStringLiteral("E03"));
    c.dataSet.deleteRecord();
    QCOMPARE(c.dataSet.applyUpdates(0), 0);
    QCOMPARE(c.dataSet.applyErrors(), QStringList());
    QCOMPARE(*db_->scalar("SELECT TIME_OUT FROM POS_DAY WHERE EMPLOYEE_ID = 'E01'"), std::string("19:00:00"));
    QCOMPARE(*db_->scalar("SELECT EMPLOYEE_NAME FROM POS_DAY WHERE EMPLOYEE_ID = 'E01'"), std::string("\xA4\xFD\xA4\xE9"));
    QCOMPARE(rows("EMPLOYEE_ID = 'E03'").size(), std::size_t(0));
}

QTEST_GUILESS_MAIN(TestDataSet)
#include "tst_dataset.moc"
