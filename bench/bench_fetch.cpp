// Fetching one date of 100,000 attendance rows as text: the raw client against the
// driver module, in one run on one database. Usage: bench_fetch [directory]
#include "data/sql/SqlConnection.h"
#include "drivers/api/dbx.h"
#include "drivers/fbkit/Sqlda.h"
#include "tools/rawfb/RawFirebird.h"
#include "tools/rawfb/Schema.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int rowCount = 100000;
const std::string user = "SYSDBA";
const std::string password = kordane::storedPassword.toStdString();
const std::string query = "SELECT * FROM POS_DAY WHERE INI_DATE = '2026/12/07'";

// What a fetch reads, so that neither side can skip the work.
struct Tally {
    long rows = 0;
    unsigned long bytes = 0;
    unsigned long sum = 0;
    void add(const char* data, std::size_t length)
    {
        bytes += length;
        if (length)
            sum += static_cast<unsigned char>(data[length - 1]);
    }
    bool operator==(const Tally&) const = default;
};

void fill(const std::string& database)
{
    auto db = kordane::RawFirebird::create(database, user, password);
    db.execute(kordane::kordaneSchema());
    // One date of the benchmark's size, and a neighbouring date the query must pass over.
    db.execute("EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN"
               " WHILE (i < "
               + std::to_string(rowCount) + ") DO BEGIN"
                                            "  INSERT INTO POS_DAY VALUES ('E' || LPAD(:i, 6, '0'), '2026/12/07', '08:00:00', '17:30:00',"
                                            "   x'A4EA', 'Employee ' || :i, 'C' || LPAD(:i, 8, '0'));"
                                            "  i = i + 1; END"
                                            " i = 0; WHILE (i < 1000) DO BEGIN"
                                            "  INSERT INTO POS_DAY VALUES ('E' || :i, '2026/12/08', '08:00:00', '', x'A4BB', NULL, NULL);"
                                            "  i = i + 1; END END");
}

std::string prepareDatabase(const fs::path& dir)
{
    const std::string database = (dir / "bench_fetch.fdb").string();
    if (fs::exists(database)) {
        kordane::RawFirebird db(database, user, password);
        const auto count = db.query("SELECT COUNT(*) FROM POS_DAY WHERE INI_DATE = '2026/12/07'");
        if (count.size() == 1 && count[0][0] == std::to_string(rowCount))
            return database;
        db.drop();
    }
    fill(database);
    return database;
}

Tally fetchRaw(kordane::RawFirebird& db)
{
    Tally tally;
    kordane::RawTransaction tr(db.handle());
    kordane::RawStatement stmt(db.handle());
    ISC_STATUS_ARRAY status;
    fbkit::Sqlda out(16);
    kordane::checkClient(!isc_dsql_prepare(status, tr.handle(), stmt.handle(), 0, query.c_str(), SQL_DIALECT_V6, out.get()),
                         status);
    std::vector<std::vector<char>> buffers(static_cast<std::size_t>(out.count()));
    std::vector<short> nulls(static_cast<std::size_t>(out.count()));
    for (int i = 0; i < out.count(); ++i) {
        XSQLVAR& var = out[i];
        buffers[static_cast<std::size_t>(i)].resize(static_cast<std::size_t>(var.sqllen) + 2);
        var.sqldata = buffers[static_cast<std::size_t>(i)].data();
        var.sqlind = &nulls[static_cast<std::size_t>(i)];
    }
    kordane::checkClient(!isc_dsql_execute(status, tr.handle(), stmt.handle(), SQLDA_VERSION1, nullptr), status);
    ISC_STATUS fetched = 0;
    while ((fetched = isc_dsql_fetch(status, stmt.handle(), SQLDA_VERSION1, out.get())) == 0) {
        ++tally.rows;
        for (int i = 0; i < out.count(); ++i) {
            const XSQLVAR& var = out[i];
            if ((var.sqltype & 1) && *var.sqlind < 0)
                continue;
            const std::string_view value = fbkit::fetchedText(var);
            tally.add(value.data(), value.size());
        }
    }
    kordane::checkClient(fetched == fbkit::endOfRows, status);
    isc_dsql_free_statement(status, stmt.handle(), DSQL_close);
    tr.commit();
    return tally;
}

void check(dbx::Status status, const char* what)
{
    if (status != dbx::DBXERR_NONE)
        throw std::runtime_error(std::string(what) + " failed with status " + std::to_string(status));
}

Tally fetchDriver(dbx::ISQLConnection& connection)
{
    Tally tally;
    std::unique_ptr<dbx::ISQLCommand> command;
    check(connection.createCommand(command), "createCommand");
    check(command->setRowsetSize(20), "setRowsetSize");
    check(command->prepare(query, 0), "prepare");
    std::unique_ptr<dbx::ISQLCursor> cursor;
    check(command->execute(cursor), "execute");
    int columns = 0;
    check(cursor->getColumnCount(columns), "getColumnCount");
    dbx::Status status;
    while ((status = cursor->next()) == dbx::DBXERR_NONE) {
        ++tally.rows;
        for (int c = 1; c <= columns; ++c) {
            const char* data;
            std::size_t length;
            check(cursor->getText(c, data, length), "getText");
            tally.add(data, length);
        }
    }
    if (status != dbx::DBXERR_EOF)
        check(status, "next");
    return tally;
}

double timed(const std::function<Tally()>& fetch, Tally& tally)
{
    const auto start = std::chrono::steady_clock::now();
    tally = fetch();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return took.count();
}

std::unique_ptr<dbx::ISQLDriver> loadDriver()
{
    const fs::path module = fs::read_symlink("/proc/self/exe").parent_path() / "libdbxfb.so";
    void* library = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        throw std::runtime_error(dlerror());
    auto entry = reinterpret_cast<dbx::GetDriverFunc>(dlsym(library, "getSQLDriverINTERBASE"));
    if (!entry)
        throw std::runtime_error("getSQLDriverINTERBASE not found in " + module.string());
    dbx::ISQLDriver* driver = nullptr;
    check(entry("libfbclient.so.2", "", &driver), "getSQLDriverINTERBASE");
    return std::unique_ptr<dbx::ISQLDriver>(driver);
}

void measure(const std::string& database)
{
    kordane::RawFirebird raw(database, user, password);
    auto driver = loadDriver();
    std::unique_ptr<dbx::ISQLConnection> connection;
    check(driver->getConnection(connection), "getConnection");
    check(connection->setOption(dbx::ConnectionOption::SqlDialect, 3), "setOption");
    check(connection->connect(database, user, password), "connect");

    // Taken in turns, so that a change in the machine's load falls on both alike.
    Tally rawTally;
    Tally driverTally;
    double rawMs = 1e30;
    double driverMs = 1e30;
    for (int round = 0; round < 5; ++round) {
        rawMs = std::min(rawMs, timed([&] { return fetchRaw(raw); }, rawTally));
        driverMs = std::min(driverMs, timed([&] { return fetchDriver(*connection); }, driverTally));
    }
    check(connection->disconnect(), "disconnect");

    if (!(rawTally == driverTally) || rawTally.rows != rowCount)
        throw std::runtime_error("the two fetches read different data");
    std::printf("database: %s\nrows: %ld, bytes of text: %lu\n", database.c_str(), rawTally.rows, rawTally.bytes);
    std::printf("raw client (best of 5): %.1f ms\ndriver     (best of 5): %.1f ms\nratio driver/raw: %.2f\n",
                rawMs, driverMs, driverMs / rawMs);
}

} // namespace

int main(int argc, char** argv)
{
    try {
        fs::path dir;
        if (argc > 1) {
            dir = argv[1];
            fs::create_directories(dir);
        } else {
            std::string pattern = (fs::temp_directory_path() / "bench_fetch.XXXXXX").string();
            if (!mkdtemp(pattern.data()))
                throw std::runtime_error("cannot make a temporary directory");
            dir = pattern;
        }
        const bool temporary = argc <= 1;
        measure(prepareDatabase(dir));
        if (temporary)
            fs::remove_all(dir);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_fetch: %s\n", e.what());
        return 1;
    }
}
