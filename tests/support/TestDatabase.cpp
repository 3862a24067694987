#include "tests/support/TestDatabase.h"

#include <QFile>
#include <QUuid>

#include <stdexcept>

namespace kordane::test {
namespace {

QString env(const char* name, const char* fallback)
{
    const QByteArray value = qgetenv(name);
    return QString::fromLocal8Bit(value.isEmpty() ? QByteArray(fallback) : value);
}

const std::vector<std::string> schema = {
    "CREATE TABLE POS_DAY (EMPLOYEE_ID VARCHAR(20) CHARACTER SET NONE, INI_DATE VARCHAR(10) CHARACTER SET NONE,"
    " TIME_IN VARCHAR(8) CHARACTER SET NONE, TIME_OUT VARCHAR(8) CHARACTER SET NONE,"
    " BILL_WEEK VARCHAR(2) CHARACTER SET NONE, EMPLOYEE_NAME VARCHAR(40) CHARACTER SET NONE,"
    " CARD_ID VARCHAR(20) CHARACTER SET NONE)",
    "CREATE TABLE EMPLOYEE (EMPLOYEE_ID VARCHAR(20) CHARACTER SET NONE,"
    " EMPLOYEE_NAME VARCHAR(40) CHARACTER SET NONE, CARD_ID VARCHAR(20) CHARACTER SET NONE)",
};

// A new file under `serverDir`/data, where the server may write, as "server:path".
QString newDatabaseOn(const QString& server, const QString& serverDir)
{
    return server + u':' + serverDir + QStringLiteral("/data/") + QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".fdb");
}

} // namespace

bool writeTextFile(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(text.toUtf8()) >= 0;
}

TestDatabase::TestDatabase(Where where)
{
    if (!dir_.isValid())
        throw std::runtime_error("cannot create a temporary directory");
    if (where == Where::Embedded) {
        database_ = dir() + QStringLiteral("/POSDATA.FDB");
        password_ = storedPassword;
    } else {
        database_ = newSharedServerDatabase();
        password_ = sharedServerPassword();
    }
    createSchema();
}

TestDatabase::TestDatabase(const QString& server, const QString& password, const QString& serverDir)
{
    if (!dir_.isValid())
        throw std::runtime_error("cannot create a temporary directory");
    database_ = newDatabaseOn(server, serverDir);
    password_ = password;
    createSchema();
}

void TestDatabase::createSchema()
{
    raw_ = std::make_unique<RawFirebird>(
        RawFirebird::create(database_.toStdString(), "SYSDBA", password_.toStdString(), "NONE"));
    raw_->execute(schema);
    if (!writeTextFile(connectionsFile(), connectionsText()) || !writeTextFile(driversFile(), driversText()))
        throw std::runtime_error("cannot write the configuration files");
}

void TestDatabase::reattach()
{
    raw_ = std::make_unique<RawFirebird>(database_.toStdString(), "SYSDBA", password_.toStdString(), "NONE");
}

RawFirebird& TestDatabase::raw()
{
    if (!raw_)
        reattach();
    return *raw_;
}

TestDatabase::~TestDatabase()
{
    try {
        raw().drop();
    } catch (const std::exception&) {
        // Another attachment still holds it; the temporary directory goes anyway.
    }
}

QString TestDatabase::newSharedServerDatabase()
{
    return newDatabaseOn(env("KORDANE_TEST_SERVER", "127.0.0.1/33050"),
                         env("KORDANE_TEST_SERVER_DIR", "/tmp/kordane-fbserver"));
}

QString TestDatabase::sharedServerPassword()
{
    return env("KORDANE_TEST_PASSWORD", "kordane-test");
}

QString TestDatabase::connectionsTextFor(const QString& database, const QString& password)
{
    return QString::fromUtf8(connectionsFileText({QStringLiteral("Database=") + database, QStringLiteral("Password=") + password}));
}

QString TestDatabase::driversText()
{
    return QStringLiteral("[Interbase]\n"
                          "GetDriverFunc=getSQLDriverINTERBASE\n"
                          "LibraryName=libdbxfb.so\n"
                          "VendorLib=libfbclient.so.2\n");
}

void TestDatabase::writeConnectionsFile(const QString& text) const
{
    if (!writeTextFile(connectionsFile(), text))
        throw std::runtime_error("cannot write the connections file");
}

void TestDatabase::writeDriversFile(const QString& text) const
{
    if (!writeTextFile(driversFile(), text))
        throw std::runtime_error("cannot write the drivers file");
}

std::unique_ptr<SqlConnection> TestDatabase::connection() const
{
    auto connection = std::make_unique<SqlConnection>();
    connection->setConnectionsFilePath(connectionsFile());
    connection->setDriversFilePath(driversFile());
    return connection;
}

RawFirebird::Value TestDatabase::scalar(const std::string& sql)
{
    const auto rows = raw().query(sql);
    if (rows.size() != 1 || rows.front().size() != 1)
        throw std::runtime_error("not a single value: " + sql);
    return rows.front().front();
}

} // namespace kordane::test
