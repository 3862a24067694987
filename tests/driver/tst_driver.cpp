// The driver module against an embedded database: what the data layer relies on.
#include "data/sql/SqlConnection.h"
#include "tests/driver/DriverHarness.h"
#include "tests/support/SilentServer.h"
#include "tools/rawfb/RawFirebird.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>

using namespace drivertest;
using Texts = std::vector<std::string>;

namespace {

// The embedded engine does not check it.
const std::string password = kordane::storedPassword.toStdString();

} // namespace

class TestDriver : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void missingVendorLibraryFailsToStart();
    void textParametersRoundTripByteExact();
    void rowsAffected_data();
    void rowsAffected();
    void autoCommitCommitsEachStatement();
    void oneTransactionPerStatement();
    void explicitTransactions();
    void serverErrorsCarryTheServersText();
    void misuseGivesItsStatus();
    void parametersDescribedPerDatabase();
    void valuesAsText_data();
    void valuesAsText();
    void rowsReadWhole();
    void trimCharTrimsFixedText();
    void metaData();
    void optionsReachFirebird();
    void unansweredServerIsNamed_data();
    void unansweredServerIsNamed();
    void objectsOutlivingTheirParts();
    void resultOutlivingItsCommand();
    void autoCommitOffKeepsWorkPending();

private:
    std::unique_ptr<dbx::ISQLConnection> open();
    std::string fetchedBytes(const std::string& where);

    QTemporaryDir dir_;
    std::string database_;
    std::unique_ptr<dbx::ISQLDriver> driver_;
    std::unique_ptr<dbx::ISQLConnection> connection_;
};

std::unique_ptr<dbx::ISQLConnection> TestDriver::open()
{
    std::string error;
    auto connection = connectTo(*driver_, database_, password, error);
    if (!connection)
        qWarning("connect failed: %s", error.c_str());
    return connection;
}

void TestDriver::initTestCase()
{
    QVERIFY(dir_.isValid());
    QVERIFY2(entryPoint(), dlerror());
    driver_ = loadDriver();
    QVERIFY(driver_);
    database_ = (dir_.path() + QStringLiteral("/driver.fdb")).toStdString();
    auto raw = kordane::RawFirebird::create(database_, "SYSDBA", password);
    raw.execute({posDayTable(),
                 "CREATE TABLE T (ID INTEGER, TXT VARCHAR(10) CHARACTER SET NONE)",
                 "CREATE TABLE KEYED (ID INTEGER NOT NULL PRIMARY KEY)", "CREATE ROLE CLERK", "GRANT CLERK TO SYSDBA"});
    connection_ = open();
    QVERIFY(connection_);
}

void TestDriver::init()
{
    kordane::RawFirebird raw(database_, "SYSDBA", password);
    raw.execute({"DELETE FROM POS_DAY", "DELETE FROM T", "DELETE FROM KEYED"});
}

void TestDriver::missingVendorLibraryFailsToStart()
{
    dbx::ISQLDriver* driver = reinterpret_cast<dbx::ISQLDriver*>(1);
    QVERIFY(entryPoint()("libfbclient-missing.so.9", "", &driver) != dbx::DBXERR_NONE);
    QCOMPARE(driver, nullptr);
}

void TestDriver::textParametersRoundTripByteExact()
{
    // Big5 "日" is A4 E9; a name of Big5 characters; an empty text that must stay a text.
    const std::string weekday = "\xA4\xE9";
    const std::string name = "\xB3\xAF\xA4\x6A\xA4\xE5"; // 陳大文
    const Texts values = {"E001", "2026/12/06", "08:00:00", "", weekday, name, "C-01"};
    auto inserted = run(*connection_,
                        "INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT, BILL_WEEK, EMPLOYEE_NAME, CARD_ID)"
                        " VALUES ( ? , ? , ? , ? , ? , ? , ? )",
                        values);
    QCOMPARE(inserted.status, dbx::DBXERR_NONE);
    QCOMPARE(inserted.rows, 1);

    const auto read = rows(*connection_, "SELECT EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT, BILL_WEEK, EMPLOYEE_NAME,"
                                         " CARD_ID FROM POS_DAY");
    QCOMPARE(read.size(), 1u);
    QCOMPARE(read[0], values);

    kordane::RawFirebird raw(database_, "SYSDBA", password);
    const auto stored = raw.query("SELECT OCTET_LENGTH(BILL_WEEK), OCTET_LENGTH(EMPLOYEE_NAME),"
                                  " CASE WHEN TIME_OUT IS NULL THEN 'null' ELSE 'text' END, BILL_WEEK FROM POS_DAY");
    QCOMPARE(stored.size(), 1u);
    QCOMPARE(*stored[0][0], "2");
    QCOMPARE(*stored[0][1], "6");
    QCOMPARE(*stored[0][2], "text");
    QCOMPARE(*stored[0][3], weekday);
}

void TestDriver::rowsAffected_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("expected");
    QTest::newRow("update none") << "UPDATE T SET TXT = 'x' WHERE ID = 9" << 0;
    QTest::newRow("update one") << "UPDATE T SET TXT = 'x' WHERE ID = 1" << 1;
    QTest::newRow("update two") << "UPDATE T SET TXT = 'x' WHERE ID = 2" << 2;
    QTest::newRow("delete none") << "DELETE FROM T WHERE ID = 9" << 0;
    QTest::newRow("delete one") << "DELETE FROM T WHERE ID = 1" << 1;
    QTest::newRow("delete two") << "DELETE FROM T WHERE ID = 2" << 2;
    QTest::newRow("insert select") << "INSERT INTO T SELECT ID, TXT FROM T" << 3;
    QTest::newRow("schema change") << "CREATE TABLE MADE_BY_DRIVER (ID INTEGER)" << 0;
}

void TestDriver::rowsAffected()
{
    QFETCH(QString, sql);
    QFETCH(int, expected);
    kordane::RawFirebird(database_, "SYSDBA", password)
        .execute({"INSERT INTO T VALUES (1, 'a')", "INSERT INTO T VALUES (2, 'b')", "INSERT INTO T VALUES (2, 'c')"});
    const auto outcome = run(*connection_, sql.toStdString());
    QCOMPARE(outcome.status, dbx::DBXERR_NONE);
    QCOMPARE(outcome.rows, expected);
}

void TestDriver::autoCommitCommitsEachStatement()
{
    QCOMPARE(run(*connection_, "INSERT INTO T VALUES (1, 'first')").status, dbx::DBXERR_NONE);
    QCOMPARE(run(*connection_, "INSERT INTO T VALUES ('not a number', 'second')").status, dbx::DBXERR_SERVER);
    // Seen from another attachment, so committed, and alone.
    kordane::RawFirebird other(database_, "SYSDBA", password);
    const auto stored = other.query("SELECT TXT FROM T");
    QCOMPARE(stored.size(), 1u);
    QCOMPARE(*stored[0][0], "first");

    // A query's transaction lasts as long as its cursor; another statement meanwhile commits on its own.
    auto query = run(*connection_, "SELECT TXT FROM T");
    QVERIFY(query.cursor);
    QCOMPARE(query.cursor->next(), dbx::DBXERR_NONE);
    QCOMPARE(run(*connection_, "INSERT INTO T VALUES (2, 'second')").status, dbx::DBXERR_NONE);
    QCOMPARE(other.query("SELECT TXT FROM T").size(), 2u);
    dbx::Status status;
    while ((status = query.cursor->next()) == dbx::DBXERR_NONE) {
    }
    QCOMPARE(status, dbx::DBXERR_EOF);
    QCOMPARE(query.cursor->next(), dbx::DBXERR_EOF);
}

// Under automatic commit a statement is prepared in the transaction that runs it, so
// each takes one transaction; a query's is read-only unless it locks what it reads.
void TestDriver::oneTransactionPerStatement()
{
    const auto number = [&](const std::string& sql) { return std::stoll(rows(*connection_, sql).at(0).at(0)); };
    const std::string current = "SELECT CURRENT_TRANSACTION FROM RDB$DATABASE";
    const long long first = number(current);
    QCOMPARE(number(current), first + 1);
    QCOMPARE(run(*connection_, "INSERT INTO T VALUES (CURRENT_TRANSACTION, 'mark')").status, dbx::DBXERR_NONE);
    QCOMPARE(number("SELECT ID FROM T"), first + 2);
    QCOMPARE(number(current), first + 4);

    QCOMPARE(rows(*connection_, "SELECT MON$READ_ONLY FROM MON$TRANSACTIONS WHERE MON$TRANSACTION_ID = CURRENT_TRANSACTION"),
             (std::vector<std::vector<std::string>> {{"1"}}));
    QCOMPARE(rows(*connection_, "  with t AS (SELECT MON$READ_ONLY R FROM MON$TRANSACTIONS WHERE MON$TRANSACTION_ID = "
                                "CURRENT_TRANSACTION) select R from t"),
             (std::vector<std::vector<std::string>> {{"1"}}));
    // Locks need a transaction that may write; so does a change.
    QCOMPARE(rows(*connection_, "SELECT TXT FROM T WITH LOCK"), (std::vector<std::vector<std::string>> {{"mark"}}));
    QCOMPARE(run(*connection_, "UPDATE T SET TXT = 'seen'").rows, 1);

    // A command run again takes a transaction of its own each time.
    auto again = run(*connection_, current);
    QVERIFY(again.cursor);
    QCOMPARE(again.cursor->next(), dbx::DBXERR_NONE);
    again.cursor.reset();
    std::unique_ptr<dbx::ISQLCursor> cursor;
    QCOMPARE(again.command->execute(cursor), dbx::DBXERR_NONE);
    QVERIFY(cursor);
    QCOMPARE(cursor->next(), dbx::DBXERR_NONE);
    cursor.reset();

    // The handles of commands gone serve the next ones; they do not pile up.
    for (int i = 0; i < 40; ++i)
        QCOMPARE(run(*connection_, "INSERT INTO T VALUES (?, 'many')", {std::to_string(i)}).rows, 1);
    QVERIFY(number("SELECT COUNT(*) FROM MON$STATEMENTS WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION") <= 10);
    QCOMPARE(number("SELECT COUNT(*) FROM T WHERE TXT = 'many'"), 40);
}

void TestDriver::explicitTransactions()
{
    QCOMPARE(connection_->beginTransaction(1, dbx::Isolation::ReadCommitted), dbx::DBXERR_NONE);
    QCOMPARE(connection_->beginTransaction(2, dbx::Isolation::ReadCommitted), dbx::DBXERR_LOCALTRANSACTIVE);
    QCOMPARE(run(*connection_, "INSERT INTO T VALUES (1, 'undone')").status, dbx::DBXERR_NONE);
    QCOMPARE(firstRow(*connection_, "SELECT COUNT(*) FROM T"), Texts {"1"});
    QCOMPARE(connection_->commit(2), dbx::DBXERR_INVALIDTXNID);
    QCOMPARE(connection_->rollback(1), dbx::DBXERR_NONE);
    QCOMPARE(connection_->rollback(1), dbx::DBXERR_INVALIDTXNID);
    QCOMPARE(firstRow(*connection_, "SELECT COUNT(*) FROM T"), Texts {"0"});

    QCOMPARE(connection_->beginTransaction(3, dbx::Isolation::RepeatableRead), dbx::DBXERR_NONE);
    QCOMPARE(run(*connection_, "INSERT INTO T VALUES (1, 'kept')").status, dbx::DBXERR_NONE);
    QCOMPARE(connection_->commit(3), dbx::DBXERR_NONE);
    QCOMPARE(kordane::RawFirebird(database_, "SYSDBA", password).query("SELECT TXT FROM T").size(), 1u);

    // A retaining commit ends the transaction for the caller; the next one begins cleanly.
    QCOMPARE(connection_->setOption(dbx::ConnectionOption::CommitRetain, 1), dbx::DBXERR_NONE);
    for (int id : {4, 5}) {
        QCOMPARE(connection_->beginTransaction(id, dbx::Isolation::ReadCommitted), dbx::DBXERR_NONE);
        QCOMPARE(run(*connection_, "INSERT INTO T VALUES (2, 'retained')").status, dbx::DBXERR_NONE);
        QCOMPARE(connection_->commit(id), dbx::DBXERR_NONE);
    }
    QCOMPARE(connection_->setOption(dbx::ConnectionOption::CommitRetain, 0), dbx::DBXERR_NONE);
    QCOMPARE(kordane::RawFirebird(database_, "SYSDBA", password).query("SELECT TXT FROM T").size(), 3u);
}

// The server's text for people, and its codes, which callers decide by.
void TestDriver::serverErrorsCarryTheServersText()
{
    auto missing = run(*connection_, "SELECT * FROM POS_DAYX");
    QCOMPARE(missing.status, dbx::DBXERR_SERVER);
    QVERIFY2(missing.error.find("Table unknown\nPOS_DAYX") != std::string::npos, missing.error.c_str());
    QCOMPARE(missing.server.kind, dbx::ErrorKind::Other);
    QCOMPARE(missing.server.codes.front(), std::int64_t {isc_dsql_error});
    QCOMPARE(missing.server.sqlState, std::string("42S02"));
    QVERIFY(std::find(missing.server.arguments.begin(), missing.server.arguments.end(), "POS_DAYX") != missing.server.arguments.end());

    QCOMPARE(run(*connection_, "INSERT INTO KEYED VALUES (1)").status, dbx::DBXERR_NONE);
    auto duplicate = run(*connection_, "INSERT INTO KEYED VALUES (1)");
    QCOMPARE(duplicate.status, dbx::DBXERR_SERVER);
    QVERIFY2(duplicate.error.find("violation of PRIMARY or UNIQUE KEY") != std::string::npos, duplicate.error.c_str());
    QCOMPARE(duplicate.server.kind, dbx::ErrorKind::DuplicateKey);
    QCOMPARE(duplicate.server.sqlState, std::string("23000"));

    QCOMPARE(run(*connection_, "CREATE TABLE CHECKED (N INTEGER CHECK (N > 0))").status, dbx::DBXERR_NONE);
    QCOMPARE(run(*connection_, "INSERT INTO CHECKED VALUES (0)").server.kind, dbx::ErrorKind::CheckRefused);
    QCOMPARE(run(*connection_, "CREATE EXCEPTION REFUSED 'refused'").status, dbx::DBXERR_NONE);
    QCOMPARE(run(*connection_, "EXECUTE BLOCK AS BEGIN EXCEPTION REFUSED; END").server.kind, dbx::ErrorKind::CheckRefused);

    std::string error;
    dbx::ServerError failure;
    Options options;
    options.failure = &failure;
    const std::string none = (dir_.path() + QStringLiteral("/none.fdb")).toStdString();
    QVERIFY(!connectTo(*driver_, none, password, error, options));
    QVERIFY2(error.find("none.fdb") != std::string::npos, error.c_str());
    QCOMPARE(failure.systemError, ENOENT);
    QVERIFY(std::find(failure.arguments.begin(), failure.arguments.end(), none) != failure.arguments.end());

    // A failure of the driver's own carries no server codes.
    std::unique_ptr<dbx::ISQLCommand> command;
    QCOMPARE(connection_->createCommand(command), dbx::DBXERR_NONE);
    std::unique_ptr<dbx::ISQLCursor> cursor;
    QCOMPARE(command->execute(cursor), dbx::DBXERR_INVALIDHNDL);
    QVERIFY(serverErrorOf(*command).codes.empty());
}

void TestDriver::misuseGivesItsStatus()
{
    std::unique_ptr<dbx::ISQLConnection> closed;
    QCOMPARE(driver_->getConnection(closed), dbx::DBXERR_NONE);
    std::unique_ptr<dbx::ISQLCommand> command;
    QCOMPARE(closed->createCommand(command), dbx::DBXERR_INVALIDHNDL);
    QCOMPARE(closed->beginTransaction(1, dbx::Isolation::ReadCommitted), dbx::DBXERR_INVALIDHNDL);

    QCOMPARE(connection_->createCommand(command), dbx::DBXERR_NONE);
    QCOMPARE(command->prepare("INSERT INTO T (ID, TXT) VALUES ( ? , ? )", 2), dbx::DBXERR_NONE);
    std::unique_ptr<dbx::ISQLCursor> cursor;
    QCOMPARE(command->execute(cursor), dbx::DBXERR_SQLPARAMNOTSET);
    QCOMPARE(command->setTextParameter(3, "x", 1), dbx::DBXERR_OUTOFRANGE);
    QCOMPARE(command->setTextParameter(0, "x", 1), dbx::DBXERR_OUTOFRANGE);
    QCOMPARE(command->setTextParameter(2, "01234567890", 11), dbx::DBXERR_INVALIDLEN);
    QCOMPARE(command->setTextParameter(2, "0123456789", 10), dbx::DBXERR_NONE);
    QCOMPARE(command->setNullParameter(1), dbx::DBXERR_NONE);
    QCOMPARE(command->execute(cursor), dbx::DBXERR_NONE);
    QVERIFY(!cursor);
    QCOMPARE(firstRow(*connection_, "SELECT ID, TXT FROM T"), (Texts {"<null>", "0123456789"}));

    auto query = run(*connection_, "SELECT ID FROM T");
    const char* data = nullptr;
    std::size_t length = 0;
    QCOMPARE(query.cursor->getText(1, data, length), dbx::DBXERR_EOF); // before the first row
    QCOMPARE(query.cursor->next(), dbx::DBXERR_NONE);
    QCOMPARE(query.cursor->getText(2, data, length), dbx::DBXERR_OUTOFRANGE);
    dbx::ColumnInfo info;
    QCOMPARE(query.cursor->getColumnInfo(0, info), dbx::DBXERR_OUTOFRANGE);
}

// A text prepared again is not described again; what was described belongs to the
// database it was described in, and a connection reopened elsewhere describes anew.
void TestDriver::parametersDescribedPerDatabase()
{
    const std::string wider = (dir_.path() + QStringLiteral("/wider.fdb")).toStdString();
    kordane::RawFirebird::create(wider, "SYSDBA", password)
        .execute("CREATE TABLE T (ID INTEGER, TXT VARCHAR(20) CHARACTER SET NONE)");
    const std::string insert = "INSERT INTO T (ID, TXT) VALUES ( ? , ? )";
    const std::string fifteen = "012345678901234";
    std::unique_ptr<dbx::ISQLConnection> connection = open();
    QVERIFY(connection);
    for (const auto& [database, status] : {std::pair {database_, dbx::DBXERR_INVALIDLEN}, std::pair {wider, dbx::DBXERR_NONE}}) {
        if (database != database_) {
            QCOMPARE(connection->disconnect(), dbx::DBXERR_NONE);
            QCOMPARE(connection->connect(database, "SYSDBA", password), dbx::DBXERR_NONE);
        }
        for (int again = 0; again < 2; ++again) {
            std::unique_ptr<dbx::ISQLCommand> command;
            QCOMPARE(connection->createCommand(command), dbx::DBXERR_NONE);
            QCOMPARE(command->prepare(insert, 2), dbx::DBXERR_NONE);
            QCOMPARE(command->setTextParameter(2, fifteen.data(), fifteen.size()), status);
        }
    }
}

void TestDriver::valuesAsText_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    using F = dbx::FieldType;
    QTest::newRow("integer") << "CAST(-42 AS INTEGER)"
                             << "-42" << int(F::Int32);
    QTest::newRow("smallint") << "CAST(7 AS SMALLINT)"
                              << "7" << int(F::Int16);
    QTest::newRow("bigint") << "CAST(-9223372036854775808 AS BIGINT)"
                            << "-9223372036854775808" << int(F::Int64);
    QTest::newRow("numeric") << "CAST(12.34 AS NUMERIC(9,2))"
                             << "12.34" << int(F::Decimal);
    QTest::newRow("small fraction") << "CAST(-0.05 AS NUMERIC(18,3))"
                                    << "-0.050" << int(F::Decimal);
    QTest::newRow("double") << "CAST(0.5 AS DOUBLE PRECISION)"
                            << "0.5" << int(F::Double);
    QTest::newRow("date") << "DATE '2026-12-06'"
                          << "2026-12-06" << int(F::Date);
    QTest::newRow("leap day") << "DATE '2000-02-29'"
                              << "2000-02-29" << int(F::Date);
    QTest::newRow("old date") << "DATE '1858-11-16'"
                              << "1858-11-16" << int(F::Date);
    QTest::newRow("time") << "TIME '08:05:09'"
                          << "08:05:09" << int(F::Time);
    QTest::newRow("timestamp") << "TIMESTAMP '2026-12-06 23:59:58.5'"
                               << "2026-12-06 23:59:58.5000" << int(F::Timestamp);
    QTest::newRow("boolean") << "TRUE"
                             << "True" << int(F::Boolean);
    QTest::newRow("text blob") << "CAST('long text' AS BLOB SUB_TYPE TEXT)"
                               << "long text" << int(F::Memo);
    QTest::newRow("char") << "CAST('ab' AS CHAR(4))"
                          << "ab  " << int(F::FixedString);
    QTest::newRow("null") << "CAST(NULL AS INTEGER)"
                          << "" << int(F::Int32);
}

void TestDriver::valuesAsText()
{
    QFETCH(QString, expression);
    QFETCH(QString, text);
    QFETCH(int, type);
    auto query = run(*connection_, "SELECT " + expression.toStdString() + " AS V FROM RDB$DATABASE");
    QCOMPARE(query.status, dbx::DBXERR_NONE);
    dbx::ColumnInfo info;
    QCOMPARE(query.cursor->getColumnInfo(1, info), dbx::DBXERR_NONE);
    QCOMPARE(info.name, "V");
    QCOMPARE(int(info.type), type);
    QCOMPARE(query.cursor->next(), dbx::DBXERR_NONE);
    const char* data = nullptr;
    std::size_t length = 0;
    QCOMPARE(query.cursor->getText(1, data, length), dbx::DBXERR_NONE);
    QCOMPARE(QString::fromLatin1(data, qsizetype(length)), text);
}

// A row read whole gives every value at once: each formatted value keeps its own text
// while the others are formatted, and there is no row before the first or after the last.
void TestDriver::rowsReadWhole()
{
    const Texts expected {"-42", "7", "12.34", "2026-12-06", "08:05:09", "True", "long text", "ab  ", "<null>", "", "0.5"};
    const std::string sql = "SELECT CAST(-42 AS INTEGER), CAST(7 AS SMALLINT), CAST(12.34 AS NUMERIC(9,2)),"
                            " DATE '2026-12-06', TIME '08:05:09', TRUE, CAST('long text' AS BLOB SUB_TYPE TEXT),"
                            " CAST('ab' AS CHAR(4)), CAST(NULL AS INTEGER), '', CAST(0.5 AS DOUBLE PRECISION)"
                            " FROM RDB$DATABASE";
    QCOMPARE(firstRow(*connection_, sql), expected);

    auto query = run(*connection_, sql);
    std::vector<const char*> data(expected.size());
    std::vector<std::size_t> lengths(expected.size());
    const auto nulls = std::make_unique<bool[]>(expected.size());
    QCOMPARE(query.cursor->getRow(data.data(), lengths.data(), nulls.get()), dbx::DBXERR_EOF);
    QCOMPARE(query.cursor->next(), dbx::DBXERR_NONE);
    QCOMPARE(query.cursor->getRow(data.data(), lengths.data(), nulls.get()), dbx::DBXERR_NONE);
    for (std::size_t i = 0; i < expected.size(); ++i)
        QCOMPARE(nulls[i] ? std::string("<null>") : std::string(data[i], lengths[i]), expected[i]);
    QCOMPARE(query.cursor->next(), dbx::DBXERR_EOF);
    QCOMPARE(query.cursor->getRow(data.data(), lengths.data(), nulls.get()), dbx::DBXERR_EOF);
}

void TestDriver::trimCharTrimsFixedText()
{
    const std::string sql = "SELECT CAST('ab' AS CHAR(4)), CAST('ab  ' AS VARCHAR(4)) FROM RDB$DATABASE";
    QCOMPARE(firstRow(*connection_, sql), (Texts {"ab  ", "ab  "}));
    QCOMPARE(connection_->setOption(dbx::ConnectionOption::TrimChar, 1), dbx::DBXERR_NONE);
    QCOMPARE(firstRow(*connection_, sql), (Texts {"ab", "ab  "}));
    QCOMPARE(connection_->setOption(dbx::ConnectionOption::TrimChar, 0), dbx::DBXERR_NONE);
}

void TestDriver::metaData()
{
    dbx::ISQLMetaData* meta = nullptr;
    QCOMPARE(connection_->getMetaData(meta), dbx::DBXERR_NONE);
    std::string quote;
    bool transactions = false;
    bool multiple = true;
    QCOMPARE(meta->getQuoteChar(quote), dbx::DBXERR_NONE);
    QCOMPARE(meta->getTransactionsSupported(transactions), dbx::DBXERR_NONE);
    QCOMPARE(meta->getMultipleTransactionsSupported(multiple), dbx::DBXERR_NONE);
    QCOMPARE(quote, "\"");
    QVERIFY(transactions);
    QVERIFY(!multiple);
    int statements = -1;
    QCOMPARE(connection_->getMaxActiveStatements(statements), dbx::DBXERR_NONE);
    QCOMPARE(statements, 0);
}

void TestDriver::optionsReachFirebird()
{
    std::unique_ptr<dbx::ISQLConnection> c;
    QCOMPARE(driver_->getConnection(c), dbx::DBXERR_NONE);
    QCOMPARE(c->setOption(dbx::ConnectionOption::RoleName, std::string("CLERK")), dbx::DBXERR_NONE);
    QCOMPARE(c->setOption(dbx::ConnectionOption::ServerCharSet, std::string("WIN1252")), dbx::DBXERR_NONE);
    QCOMPARE(c->setOption(dbx::ConnectionOption::SqlDialect, 1), dbx::DBXERR_NONE);
    QCOMPARE(c->setOption(dbx::ConnectionOption::ConnectTimeout, 5), dbx::DBXERR_NONE);
    // Accepted and without effect in Firebird.
    QCOMPARE(c->setOption(dbx::ConnectionOption::BlockingMode, 1), dbx::DBXERR_NONE);
    QCOMPARE(c->setOption(dbx::ConnectionOption::CustomString, std::string("x")), dbx::DBXERR_NONE);
    QCOMPARE(c->connect(database_, "SYSDBA", password), dbx::DBXERR_NONE);
    // In dialect 1 a double quote delimits a string, so there is no identifier quote.
    QCOMPARE(firstRow(*c, "SELECT CURRENT_ROLE, \"dialect one\", C.RDB$CHARACTER_SET_NAME FROM MON$ATTACHMENTS A"
                          " JOIN RDB$CHARACTER_SETS C ON C.RDB$CHARACTER_SET_ID = A.MON$CHARACTER_SET_ID"
                          " WHERE A.MON$ATTACHMENT_ID = CURRENT_CONNECTION"),
             (Texts {"CLERK", "dialect one", "WIN1252                        "}));
    dbx::ISQLMetaData* meta = nullptr;
    QCOMPARE(c->getMetaData(meta), dbx::DBXERR_NONE);
    std::string quote = "?";
    QCOMPARE(meta->getQuoteChar(quote), dbx::DBXERR_NONE);
    QCOMPARE(quote, "");
    QCOMPARE(c->setOption(dbx::ConnectionOption::SqlDialect, 2), dbx::DBXERR_INVALIDPARAM);
    QCOMPARE(c->setOption(dbx::ConnectionOption::TransIsolation, 7), dbx::DBXERR_INVALIDXISOLEVEL);
}

void TestDriver::unansweredServerIsNamed_data()
{
    QTest::addColumn<QString>("database"); // %1: the port
    QTest::addColumn<QString>("hostName");
    QTest::addColumn<QString>("server");
    QTest::newRow("host/port:path") << "127.0.0.1/%1:/srv/x.fdb"
                                    << ""
                                    << "127.0.0.1/%1";
    QTest::newRow("host and port as options") << "/srv/x.fdb"
                                              << "127.0.0.1"
                                              << "127.0.0.1/%1";
    QTest::newRow("inet URL") << "inet://127.0.0.1:%1//srv/x.fdb"
                              << ""
                              << "127.0.0.1:%1";
}

// The client reports giving up as the server's refusal; the driver says what happened.
void TestDriver::unansweredServerIsNamed()
{
    QFETCH(QString, database);
    QFETCH(QString, hostName);
    QFETCH(QString, server);
    kordane::test::SilentServer silent;
    const QString port = silent.address().section(u'/', 1);
    std::unique_ptr<dbx::ISQLConnection> c;
    QCOMPARE(driver_->getConnection(c), dbx::DBXERR_NONE);
    QCOMPARE(c->setOption(dbx::ConnectionOption::ConnectTimeout, 1), dbx::DBXERR_NONE);
    if (!hostName.isEmpty()) {
        QCOMPARE(c->setOption(dbx::ConnectionOption::HostName, hostName.toStdString()), dbx::DBXERR_NONE);
        QCOMPARE(c->setOption(dbx::ConnectionOption::ServerPort, port.toStdString()), dbx::DBXERR_NONE);
    }
    QCOMPARE(c->connect(database.arg(port).toStdString(), "SYSDBA", "x"), dbx::DBXERR_SERVER);
    QCOMPARE(errorOf(*c), "The server " + server.arg(port).toStdString() + " did not answer within 1 s");
}

void TestDriver::objectsOutlivingTheirParts()
{
    auto c = open();
    QVERIFY(c);
    QCOMPARE(run(*c, "INSERT INTO T VALUES (1, 'a')").status, dbx::DBXERR_NONE);
    auto query = run(*c, "SELECT TXT FROM T");
    QCOMPARE(query.cursor->next(), dbx::DBXERR_NONE);

    // Running the command again ends its earlier result.
    std::unique_ptr<dbx::ISQLCursor> second;
    QCOMPARE(query.command->execute(second), dbx::DBXERR_NONE);
    QCOMPARE(query.cursor->next(), dbx::DBXERR_INVALIDHNDL);
    QCOMPARE(second->next(), dbx::DBXERR_NONE);

    // Prepared again with more columns than its descriptor held: the result it ends still
    // describes its own columns, not the new statement's (nor freed memory).
    std::string wide = "SELECT 1 AS C1";
    for (int i = 2; i <= 40; ++i)
        wide += ", " + std::to_string(i) + " AS C" + std::to_string(i);
    std::unique_ptr<dbx::ISQLCommand> other;
    QCOMPARE(c->createCommand(other), dbx::DBXERR_NONE);
    QCOMPARE(other->prepare("SELECT ID, TXT FROM T", 0), dbx::DBXERR_NONE);
    std::unique_ptr<dbx::ISQLCursor> ended;
    QCOMPARE(other->execute(ended), dbx::DBXERR_NONE);
    QCOMPARE(other->prepare(wide + " FROM RDB$DATABASE", 0), dbx::DBXERR_NONE);
    QCOMPARE(ended->next(), dbx::DBXERR_INVALIDHNDL);
    dbx::ColumnInfo info;
    QCOMPARE(ended->getColumnInfo(2, info), dbx::DBXERR_NONE);
    QCOMPARE(info.name, "TXT");
    QCOMPARE(int(info.type), int(dbx::FieldType::String));
    QCOMPARE(info.size, 10);
    QVERIFY(info.nullable);
    int count = 0;
    QCOMPARE(ended->getColumnCount(count), dbx::DBXERR_NONE);
    QCOMPARE(count, 2);
    QCOMPARE(ended->getColumnInfo(3, info), dbx::DBXERR_OUTOFRANGE);
    QCOMPARE(other->execute(ended), dbx::DBXERR_NONE);
    QCOMPARE(ended->getColumnCount(count), dbx::DBXERR_NONE);
    QCOMPARE(count, 40);
    QCOMPARE(ended->getColumnInfo(40, info), dbx::DBXERR_NONE);
    QCOMPARE(info.name, "C40");

    // A disconnect ends every result and statement; the objects stay safe to call and delete.
    QCOMPARE(c->disconnect(), dbx::DBXERR_NONE);
    QCOMPARE(second->next(), dbx::DBXERR_INVALIDHNDL);
    QCOMPARE(query.command->prepare("SELECT 1 FROM RDB$DATABASE", 0), dbx::DBXERR_INVALIDHNDL);
    QCOMPARE(c->disconnect(), dbx::DBXERR_NONE);
    QCOMPARE(c->connect(database_, "SYSDBA", password), dbx::DBXERR_NONE);
    QCOMPARE(query.command->prepare("SELECT 1 FROM RDB$DATABASE", 0), dbx::DBXERR_NONE);
    c.reset();
    QCOMPARE(query.command->execute(second), dbx::DBXERR_INVALIDHNDL);
}

void TestDriver::resultOutlivingItsCommand()
{
    auto c = open();
    QVERIFY(c);
    QCOMPARE(run(*c, "INSERT INTO T VALUES (1, 'a')").status, dbx::DBXERR_NONE);
    auto query = run(*c, "SELECT TXT FROM T");
    QCOMPARE(query.cursor->next(), dbx::DBXERR_NONE);

    // The command goes first: its result is closed, its columns still described.
    query.command.reset();
    QCOMPARE(query.cursor->next(), dbx::DBXERR_INVALIDHNDL);
    const char* data = nullptr;
    std::size_t length = 0;
    QCOMPARE(query.cursor->getText(1, data, length), dbx::DBXERR_EOF);
    dbx::ColumnInfo info;
    QCOMPARE(query.cursor->getColumnInfo(1, info), dbx::DBXERR_NONE);
    QCOMPARE(info.name, "TXT");

    // Neither that result nor a command prepared and never run keeps a transaction the
    // detach would refuse to leave behind.
    std::unique_ptr<dbx::ISQLCommand> prepared;
    QCOMPARE(c->createCommand(prepared), dbx::DBXERR_NONE);
    QCOMPARE(prepared->prepare("SELECT TXT FROM T", 0), dbx::DBXERR_NONE);
    QCOMPARE(c->disconnect(), dbx::DBXERR_NONE);
    std::unique_ptr<dbx::ISQLCursor> none;
    QCOMPARE(prepared->execute(none), dbx::DBXERR_INVALIDHNDL);
    query.cursor.reset();
}

void TestDriver::autoCommitOffKeepsWorkPending()
{
    auto c = open();
    QVERIFY(c);
    QCOMPARE(c->setOption(dbx::ConnectionOption::AutoCommit, 0), dbx::DBXERR_NONE);
    QCOMPARE(run(*c, "INSERT INTO T VALUES (1, 'pending')").status, dbx::DBXERR_NONE);
    QCOMPARE(firstRow(*c, "SELECT COUNT(*) FROM T"), Texts {"1"});
    QCOMPARE(c->beginTransaction(1, dbx::Isolation::ReadCommitted), dbx::DBXERR_LOCALTRANSACTIVE);
    QCOMPARE(kordane::RawFirebird(database_, "SYSDBA", password).query("SELECT TXT FROM T").size(), 0u);
    // Never committed, so gone with the connection.
    QCOMPARE(c->disconnect(), dbx::DBXERR_NONE);
    QCOMPARE(kordane::RawFirebird(database_, "SYSDBA", password).query("SELECT TXT FROM T").size(), 0u);
}

QTEST_GUILESS_MAIN(TestDriver)
#include "tst_driver.moc"
