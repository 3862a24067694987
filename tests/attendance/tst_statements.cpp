// The statement catalogue against a real database: exact texts, separate commits, and
// texts (quotes, Big5, empty) stored and found again exactly.
#include "attendance/Catalogue.h"
#include "data/sql/SqlStatement.h"
#include "tests/support/TestDatabase.h"

#include <QTest>

using namespace kordane;
using kordane::test::TestDatabase;

class TestStatements : public QObject {
    Q_OBJECT

private:
    struct Record {
        QString date, employee, timeIn, timeOut, card, name, weekday;
    };
    static void insert(SqlQuery& query, const Record& r)
    {
        query.close();
        query.clearSql();
        for (const QString& line : catalogue::insertRecord())
            query.addLine(line);
        const QStringList values {r.date, r.employee, r.timeIn, r.timeOut, r.card, r.name, r.weekday};
        for (int i = 0; i < values.size(); ++i)
            query.paramByName(catalogue::insertParamNames()[i]).setAsString(values[i]);
        query.execSql();
    }
    static void run(SqlQuery& query, const QStringList& lines)
    {
        query.close();
        query.setSql(lines);
        query.execSql();
    }
    static int count(TestDatabase& db, const std::string& where = "1=1")
    {
        return std::stoi(*db.scalar("SELECT COUNT(*) FROM POS_DAY WHERE " + where));
    }

private slots:
    void catalogueLines_data();
    void catalogueLines();
    void insertAndReadBack();
    void statementsCommitSeparately();
    void weekdayBytes_data();
    void weekdayBytes();
    void quoteLadenCode();
    void unencodableRefused();
    void statementFailures();
    void executeForProvider();
};

void TestStatements::catalogueLines_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("name backfill") << catalogue::backfillNames(QStringLiteral("2026/11/04"))
                                   << QStringList {QStringLiteral("UPDATE POS_DAY SET "),
                                                   QStringLiteral("EMPLOYEE_NAME=(SELECT EMPLOYEE_NAME FROM EMPLOYEE WHERE EMPLOYEE_ID = POS_DAY.EMPLOYEE_ID)"),
                                                   QStringLiteral("WHERE (EMPLOYEE_NAME IS NULL OR EMPLOYEE_NAME = '' )"),
                                                   QStringLiteral("  AND INI_DATE >= '2026/11/04'")};
    QTest::newRow("day's records") << catalogue::daySelect(QStringLiteral("2026/12/09"))
                                   << QStringList {QStringLiteral("select * from POS_DAY "), QStringLiteral("where INI_DATE = '2026/12/09'"),
                                                   QStringLiteral("ORDER BY EMPLOYEE_ID,TIME_IN ")};
    QTest::newRow("day's records, blank date") << catalogue::daySelect(QStringLiteral("    /  /  "))
                                               << QStringList {QStringLiteral("select * from POS_DAY "), QStringLiteral("where INI_DATE = '    /  /  '"),
                                                               QStringLiteral("ORDER BY EMPLOYEE_ID,TIME_IN ")};
    QTest::newRow("employee's day") << catalogue::employeeDaySelect(QStringLiteral("A01"), QStringLiteral("2026/12/09"))
                                    << QStringList {QStringLiteral("select * from POS_DAY "), QStringLiteral("where EMPLOYEE_ID = 'A01'"),
                                                    QStringLiteral("  AND INI_DATE    = '2026/12/09'")};
    QTest::newRow("employee lookup, quote doubled") << catalogue::employeeSelect(QStringLiteral("O'Neil "))
                                                    << QStringList {QStringLiteral("SELECT EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID FROM EMPLOYEE "),
                                                                    QStringLiteral(" where EMPLOYEE_ID = 'O''Neil '")};
    const QStringList where {QStringLiteral(" WHERE INI_DATE   = '2026/12/09'"), QStringLiteral("  AND EMPLOYEE_ID = 'A01'"),
                             QStringLiteral("  AND TIME_IN     = '08:00:00'"), QStringLiteral("  AND TIME_OUT    = '17:30:00'")};
    QTest::newRow("duplicate check") << catalogue::duplicateCheck(QStringLiteral("2026/12/09"), QStringLiteral("A01"), QStringLiteral("08:00:00"), QStringLiteral("17:30:00"))
                                     << QStringList {QStringLiteral("SELECT a.INI_DATE, a.EMPLOYEE_ID, a.TIME_IN, a.TIME_OUT FROM POS_DAY a ")} + where;
    QTest::newRow("delete by values") << catalogue::deleteByValues(QStringLiteral("2026/12/09"), QStringLiteral("A01"), QStringLiteral("08:00:00"), QStringLiteral("17:30:00"))
                                      << QStringList {QStringLiteral("DELETE  FROM POS_DAY  ")} + where;
    const QStringList bound {QStringLiteral(" WHERE INI_DATE   = :INI_DATE"), QStringLiteral("  AND EMPLOYEE_ID = :EMPLOYEE_ID"),
                             QStringLiteral("  AND TIME_IN     = :TIME_IN"), QStringLiteral("  AND TIME_OUT    = :TIME_OUT")};
    QTest::newRow("duplicate check, bound") << catalogue::duplicateCheckBound()
                                            << QStringList {QStringLiteral("SELECT a.INI_DATE, a.EMPLOYEE_ID, a.TIME_IN, a.TIME_OUT FROM POS_DAY a ")} + bound;
    QTest::newRow("delete by values, bound") << catalogue::deleteByValuesBound() << QStringList {QStringLiteral("DELETE  FROM POS_DAY  ")} + bound;
    QTest::newRow("insert") << catalogue::insertRecord()
                            << QStringList {QStringLiteral("INSERT INTO POS_DAY(INI_DATE,EMPLOYEE_ID,TIME_IN,TIME_OUT,CARD_ID,EMPLOYEE_NAME,BILL_WEEK) "),
                                            QStringLiteral(" VALUES(:INI_DATE,:EMPLOYEE_ID,:TIME_IN,:TIME_OUT,:CARD_ID,:EMPLOYEE_NAME,:BILL_WEEK)")};
}

void TestStatements::catalogueLines()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, expected);
    QCOMPARE(lines, expected);
    QCOMPARE(catalogue::joinLines(lines), expected.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

void TestStatements::insertAndReadBack()
{
    TestDatabase db;
    auto connection = db.connection();
    SqlQuery query(QStringLiteral("SQLQuery1"), *connection);
    insert(query, {QStringLiteral("2026/12/09"), QStringLiteral("A01"), QStringLiteral("08:00:00"), QStringLiteral("17:30:00"), QStringLiteral(""), QStringLiteral(""), QStringLiteral("三")});
    QCOMPARE(count(db, "CARD_ID = '' AND EMPLOYEE_NAME = ''"), 1); // empty, not null

    query.setSql(catalogue::duplicateCheck(QStringLiteral("2026/12/09"), QStringLiteral("A01"), QStringLiteral("08:00:00"), QStringLiteral("17:30:00")));
    query.open();
    QVERIFY(!query.isEmpty());
    QCOMPARE(query.asString(query.fieldByName(QStringLiteral("TIME_OUT"))), QStringLiteral("17:30:00"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, query.fieldByName(QStringLiteral("NOPE")));
    try {
        query.fieldByName(QStringLiteral("NOPE"));
    } catch (const EDatabaseError& e) {
        QCOMPARE(e.message(), QStringLiteral("SQLQuery1: Field 'NOPE' not found"));
    }
    query.close();

    // Compared as text: a time without its leading zero is another time. (Trailing
    // blanks are not significant in the server's comparison of texts.)
    query.setSql(catalogue::duplicateCheck(QStringLiteral("2026/12/09"), QStringLiteral("A01"), QStringLiteral("8:00:00"), QStringLiteral("17:30:00")));
    query.open();
    QVERIFY(query.isEmpty());
    query.close();
    QCOMPARE(connection->state(), SqlConnection::State::Open);
}

void TestStatements::statementsCommitSeparately()
{
    TestDatabase db;
    auto connection = db.connection();
    SqlQuery query(QStringLiteral("SQLQuery1"), *connection);
    insert(query, {QStringLiteral("2026/12/09"), QStringLiteral("A01"), QStringLiteral("08:00:00"), QStringLiteral("17:30:00"), QStringLiteral("C1"), QStringLiteral("N"), QStringLiteral("三")});
    // Wider than TIME_IN: the server refuses it.
    QVERIFY_THROWS_EXCEPTION(EDriverError,
                             insert(query, {QStringLiteral("2026/12/09"), QStringLiteral("A02"), QStringLiteral("08:00:00 too wide"), QStringLiteral("17:30:00"), QStringLiteral(""), QStringLiteral(""), QStringLiteral("三")}));
    QCOMPARE(count(db), 1);
    QCOMPARE(connection->state(), SqlConnection::State::Open);
    QVERIFY(!query.active());
    // The connection is still usable after the failure.
    run(query, catalogue::deleteByValues(QStringLiteral("2026/12/09"), QStringLiteral("A01"), QStringLiteral("08:00:00"), QStringLiteral("17:30:00")));
    QCOMPARE(count(db), 0);
}

void TestStatements::weekdayBytes_data()
{
    QTest::addColumn<QString>("weekday");
    QTest::addColumn<QByteArray>("big5");
    QTest::newRow("Sunday") << QStringLiteral("日") << QByteArray("\xA4\xE9");
    QTest::newRow("Monday") << QStringLiteral("一") << QByteArray("\xA4\x40");
    QTest::newRow("Tuesday") << QStringLiteral("二") << QByteArray("\xA4\x47");
    QTest::newRow("Wednesday") << QStringLiteral("三") << QByteArray("\xA4\x54");
    QTest::newRow("Thursday") << QStringLiteral("四") << QByteArray("\xA5\x7C");
    QTest::newRow("Friday") << QStringLiteral("五") << QByteArray("\xA4\xAD");
    QTest::newRow("Saturday") << QStringLiteral("六") << QByteArray("\xA4\xBB");
}

void TestStatements::weekdayBytes()
{
    QFETCH(QString, weekday);
    QFETCH(QByteArray, big5);
    TestDatabase db;
    auto connection = db.connection();
    SqlQuery query(QStringLiteral("SQLQuery1"), *connection);
    insert(query, {QStringLiteral("2026/12/09"), QStringLiteral("A01"), QStringLiteral("08:00:00"), QStringLiteral("17:30:00"), QStringLiteral(""), QStringLiteral("王小明"), weekday});

    const auto rows = db.raw().query("SELECT BILL_WEEK, OCTET_LENGTH(BILL_WEEK) FROM POS_DAY");
    QCOMPARE(rows.size(), std::size_t {1});
    QCOMPARE(QByteArray::fromStdString(*rows[0][0]), big5);
    QCOMPARE(*rows[0][1], std::string("2"));

    query.setSql(catalogue::employeeDaySelect(QStringLiteral("A01"), QStringLiteral("2026/12/09")));
    query.open();
    const int column = query.fieldByName(QStringLiteral("BILL_WEEK"));
    QCOMPARE(QByteArray(query.rawText(column).data(), qsizetype(query.rawText(column).size())), big5);
    QCOMPARE(query.asString(column), weekday);
    QCOMPARE(query.asString(query.fieldByName(QStringLiteral("EMPLOYEE_NAME"))), QStringLiteral("王小明"));
}

void TestStatements::quoteLadenCode()
{
    TestDatabase db;
    db.raw().execute({"INSERT INTO EMPLOYEE VALUES ('A''01'' OR ''1''=''1', 'Quote', 'Q1')",
                      "INSERT INTO EMPLOYEE VALUES ('A01', 'Plain', 'P1')"});
    auto connection = db.connection();
    SqlQuery query(QStringLiteral("SQLQuery1"), *connection);
    const QString code = QStringLiteral("A'01' OR '1'='1");
    insert(query, {QStringLiteral("2026/12/09"), code, QStringLiteral("08:00:00"), QStringLiteral("17:30:00"), QStringLiteral("Q1"), QStringLiteral("Quote"), QStringLiteral("三")});
    insert(query, {QStringLiteral("2026/12/09"), QStringLiteral("A01"), QStringLiteral("08:00:00"), QStringLiteral("17:30:00"), QStringLiteral("P1"), QStringLiteral("Plain"), QStringLiteral("三")});
    QCOMPARE(*db.scalar("SELECT COUNT(*) FROM POS_DAY WHERE EMPLOYEE_ID = 'A''01'' OR ''1''=''1'"), std::string("1"));

    // Rows found; a row of another employee counts as a thousand.
    const auto rowsOf = [&](const QStringList& lines) {
        query.close();
        query.setSql(lines);
        query.open();
        int rows = 0;
        for (; !query.eof(); query.next())
            rows += query.asString(query.fieldByName(QStringLiteral("EMPLOYEE_ID"))) == code ? 1 : 1000;
        query.close();
        return rows;
    };
    QCOMPARE(rowsOf(catalogue::employeeDaySelect(code, QStringLiteral("2026/12/09"))), 1);
    QCOMPARE(rowsOf(catalogue::employeeSelect(code)), 1);
    QCOMPARE(rowsOf(catalogue::duplicateCheck(QStringLiteral("2026/12/09"), code, QStringLiteral("08:00:00"), QStringLiteral("17:30:00"))), 1);
    run(query, catalogue::deleteByValues(QStringLiteral("2026/12/09"), code, QStringLiteral("08:00:00"), QStringLiteral("17:30:00")));
    QCOMPARE(count(db), 1);
    QCOMPARE(*db.scalar("SELECT EMPLOYEE_ID FROM POS_DAY"), std::string("A01"));
}

void TestStatements::unencodableRefused()
{
    TestDatabase db;
    auto connection = db.connection();
    SqlQuery query(QStringLiteral("SQLQuery1"), *connection);
    try {
        insert(query, {QStringLiteral("2026/12/09"), QStringLiteral("A01"), QStringLiteral("08:00:00"), QStringLiteral("17:30:00"), QStringLiteral(""), QStringLiteral("Zoë"), QStringLiteral("三")});
        QFAIL("no error");
    } catch (const EDatabaseError& e) {
        QCOMPARE(e.message(),
                 QStringLiteral("Character 'ë' (U+00EB) cannot be represented in the character set windows-950"));
    }
    QCOMPARE(count(db), 0);
}

void TestStatements::statementFailures()
{
    TestDatabase db;
    auto connection = db.connection();
    SqlQuery query(QStringLiteral("SQLQuery1"), *connection);
    const auto error = [&](auto&& call) {
        try {
            call();
        } catch (const EDatabaseError& e) {
            return e.message();
        }
        return QStringLiteral("no error");
    };
    QCOMPARE(error([&] { query.open(); }), QStringLiteral("Missing query, table name or procedure name"));
    QCOMPARE(error([&] { query.execSql(); }), QStringLiteral("SQLQuery1: No SQL statement available"));
    query.setSql(catalogue::insertRecord());
    query.paramByName(QStringLiteral("INI_DATE")).setAsString(QStringLiteral("2026/12/09"));
    QCOMPARE(error([&] { query.execSql(); }), QStringLiteral("No value for parameter 'EMPLOYEE_ID'"));
    // What the prepare began does not outlive the failure, nor hide in a command kept
    // for the next statement (the one asking is the only other attachment).
    const auto openTransactions = [&] {
        return *db.scalar("SELECT COUNT(*) FROM MON$TRANSACTIONS t JOIN MON$ATTACHMENTS a"
                          " ON a.MON$ATTACHMENT_ID = t.MON$ATTACHMENT_ID"
                          " WHERE a.MON$SYSTEM_FLAG = 0 AND a.MON$ATTACHMENT_ID <> CURRENT_CONNECTION");
    };
    QCOMPARE(openTransactions(), std::string("0"));
    query.setSql(catalogue::daySelect(QStringLiteral("2026/12/09")));
    QCOMPARE(openTransactions(), std::string("0"));
    query.setSql(catalogue::deleteByValues(QStringLiteral("2026/12/09"), QStringLiteral("A01"), QStringLiteral("08:00:00"), QStringLiteral("17:30:00")));
    QCOMPARE(error([&] { query.open(); }), QStringLiteral("SQLQuery1: Cursor not returned from Query"));
    query.setSql({QStringLiteral("SELECT * FROM NO_SUCH_TABLE")});
    QVERIFY(error([&] { query.open(); }).contains(u"NO_SUCH_TABLE"));
    QVERIFY(!query.active());
    QCOMPARE(connection->state(), SqlConnection::State::Open);
    QCOMPARE(count(db), 0);
}

void TestStatements::executeForProvider()
{
    TestDatabase db;
    auto connection = db.connection();
    const auto command = connection->prepareCommand(QStringLiteral("INSERT INTO EMPLOYEE VALUES (?, ?, ?)"), 3);
    const auto rows = connection->execute(*command, {std::string_view("A01"), std::nullopt, std::string_view("")});
    QCOMPARE(rows, std::int64_t {1});
    QCOMPARE(*db.scalar("SELECT COUNT(*) FROM EMPLOYEE WHERE EMPLOYEE_NAME IS NULL AND CARD_ID = ''"),
             std::string("1"));
}

QTEST_GUILESS_MAIN(TestStatements)
#include "tst_statements.moc"
