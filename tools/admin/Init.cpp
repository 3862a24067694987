// init: creates a site's database with the program's two tables (and, unless told
// otherwise, a few employees with records of recent days, some lacking a name so that
// the start-up backfill has work), and writes the configuration files when they are
// absent. A user's files are never overwritten, unless the admin says to replace a
// connections file that names another database.
#include "attendance/DateConversion.h"
#include "attendance/RegionalSettings.h"
#include "data/config/ConfigLocation.h"
#include "data/config/IniFile.h"
#include "data/sql/EmbeddedEngine.h"
#include "data/sql/SqlConnection.h"
#include "tools/admin/Admin.h"
#include "tools/admin/Rules.h"
#include "tools/admin/Site.h"
#include "tools/admin/SiteParts.h"
#include "tools/rawfb/RawFirebird.h"
#include "tools/rawfb/Schema.h"

#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QStringEncoder>

#include <cstdio>
#include <optional>
#include <stdexcept>

namespace kordane::admin {
namespace {

struct Employee {
    const char* id;
    const char* name;
    const char* card;
};

const Employee demoEmployees[] = {
    {"A001", "陳志明", "0012345678"},
    {"A002", "林美玲", "0012345679"},
    {"A003", "張家豪", "0012345680"},
    {"A004", "王淑芬", "0012345681"},
    {"A005", "李建宏", "0012345682"},
    {"B101", "黃雅婷", "0023456701"},
    {"B102", "吳俊傑", "0023456702"},
    {"B103", "劉怡君", "0023456703"},
};

// Code page 950 bytes inside a literal; the demo texts hold no quote.
std::string literal(const QString& text)
{
    QStringEncoder encoder("windows-950");
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        throw std::runtime_error("text not in code page 950: " + text.toStdString());
    return "'" + bytes.toStdString() + "'";
}

std::vector<std::string> demoRows(const QDate& today)
{
    std::vector<std::string> sql;
    for (const Employee& e : demoEmployees) {
        sql.push_back("INSERT INTO EMPLOYEE VALUES (" + literal(QString::fromUtf8(e.id)) + ", "
                      + literal(QString::fromUtf8(e.name)) + ", " + literal(QString::fromUtf8(e.card)) + ")");
    }
    const RegionalSettings regional;
    static const char* const shifts[][2] = {{"08:00:00", "17:00:00"}, {"08:30:00", "17:30:00"}, {"13:00:00", "22:00:00"}};
    int n = 0;
    for (int back = 9; back >= 0; --back) {
        const QDate day = today.addDays(-back);
        if (day.dayOfWeek() == 7)
            continue;
        const QString date = formatDate(day, regional);
        const QString weekday = weekdayCharacter(dayOfWeek(day));
        for (const Employee& e : demoEmployees) {
            const auto& shift = shifts[n++ % 3];
            // Every fifth record of the last days lacks its name: the backfill's work.
            const bool nameless = back < 5 && n % 5 == 0;
            sql.push_back("INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT, BILL_WEEK, EMPLOYEE_NAME, CARD_ID)"
                          " VALUES ("
                          + literal(QString::fromUtf8(e.id)) + ", " + literal(date) + ", '" + shift[0]
                          + "', '" + shift[1] + "', " + literal(weekday) + ", "
                          + (nameless ? std::string("NULL") : literal(QString::fromUtf8(e.name))) + ", "
                          + literal(QString::fromUtf8(e.card)) + ")");
        }
    }
    return sql;
}

// One database by two names: the same file however its path is written, or the same
// server text.
bool sameDatabase(const QString& a, const QString& b)
{
    if (engine::isServerDatabase(a) || engine::isServerDatabase(b))
        return a.trimmed() == b.trimmed();
    const QFileInfo x(a.trimmed());
    const QFileInfo y(b.trimmed());
    if (x.exists() && y.exists())
        return x.canonicalFilePath() == y.canonicalFilePath();
    return QDir::cleanPath(x.absoluteFilePath()) == QDir::cleanPath(y.absoluteFilePath());
}

// The database a connections file already at `path` names (empty when it names none);
// nullopt when there is no such file. Kept as it is while it names another database, it
// would leave the site pointing there: that is refused, before anything is made, unless
// the file is to be replaced.
std::optional<QString> earlierDatabase(const QString& path, const QString& database, bool replace)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;
    const auto ini = IniFile::load(path, QString::fromLatin1(config::connectionsFileRole));
    if (!ini)
        throw std::runtime_error("cannot read " + path.toStdString());
    const QString earlier = ini->value(connectionSection, u"Database").trimmed();
    if (!replace && !sameDatabase(earlier, database)) {
        throw std::runtime_error(path.toStdString()
                                 + (earlier.isEmpty() ? std::string(" names no database") : " names the database " + earlier.toStdString())
                                 + ", not " + database.toStdString() + "; nothing made (--replace-connections replaces the file)");
    }
    return earlier;
}

const QByteArray driversText = "[Interbase]\n"
                               "LibraryName=libdbxfb.so\n"
                               "VendorLib=libfbclient.so.2\n"
                               "GetDriverFunc=getSQLDriverINTERBASE\n";

} // namespace

int init(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Creates a Kordane database and its configuration files."));
    const QCommandLineOption dirOption(QStringLiteral("dir"), QStringLiteral("Where the configuration files go (default: beside the program)."), QStringLiteral("DIR"));
    const QCommandLineOption databaseOption(QStringLiteral("database"), QStringLiteral("The database: a file, or HOST:PATH or HOST/PORT:PATH on a server (default: DIR/demo/POSDATA.FDB)."), QStringLiteral("PATH"));
    const QCommandLineOption emptyOption(QStringLiteral("no-demo-rows"), QStringLiteral("Create the tables only."));
    const QCommandLineOption rulesOption(QStringLiteral("rules"), QStringLiteral("Also install the checks and the audit trail (see rules install)."));
    const QCommandLineOption replaceOption(QStringLiteral("replace-connections"), QStringLiteral("Write DIR/dbxconnections.ini for the new database although one exists (it may name another)."));
    parser.addOptions({dirOption, databaseOption, emptyOption, rulesOption, replaceOption});
    if (!parseCommand(parser, arguments))
        return 0;
    if (!parser.positionalArguments().isEmpty())
        throw std::runtime_error("init takes no arguments (kordane-admin init --help)");

    const QString dir = QDir(parser.isSet(dirOption) ? parser.value(dirOption) : config::executableDir()).absolutePath();
    const QString named = parser.isSet(databaseOption) ? parser.value(databaseOption) : dir + QStringLiteral("/demo/POSDATA.FDB");
    const bool remote = engine::isServerDatabase(named);
    const QString database = remote ? named : QFileInfo(named).absoluteFilePath();
    const Account login = adminAccount(remote);
    const QString connections = dir + u'/' + QLatin1String(config::connectionsFileName);
    const bool replace = parser.isSet(replaceOption);
    const std::optional<QString> earlier = earlierDatabase(connections, database, replace);
    // The files are written before the database is made and put in place after it, so that
    // a directory that takes no files stops init before it makes anything.
    if (!QDir().mkpath(dir))
        throw std::runtime_error("cannot make the directory " + dir.toStdString());
    std::optional<StagedFile> connectionsFile;
    if (!earlier || replace)
        connectionsFile.emplace(connections, connectionsFileText(database, login), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QString drivers = dir + u'/' + QLatin1String(config::driversFileName);
    std::optional<StagedFile> driversFile;
    if (!QFileInfo::exists(drivers))
        driversFile.emplace(drivers, driversText, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);

    if (!remote && QFileInfo::exists(database)) {
        std::printf("database %s exists; left as it is%s\n", qPrintable(database),
                    parser.isSet(rulesOption) ? " (rules install adds the rules to it)" : "");
    } else {
        if (!remote)
            QDir().mkpath(QFileInfo(database).absolutePath());
        engine::configure(database);
        auto db = RawFirebird::create(QFile::encodeName(database).toStdString(), login.user.toStdString(),
                                      login.password.toStdString());
        try {
            db.execute(kordaneSchema());
            addMissingParts(db, TextCodec(QString()));
            if (!parser.isSet(emptyOption))
                db.execute(demoRows(QDate::currentDate()));
            if (parser.isSet(rulesOption))
                installRules(db, TextCodec(QString()));
        } catch (const std::exception& failed) {
            // A database half made would be taken for made by the next init ("exists; left
            // as it is"): the one this init made goes, and the next init starts afresh.
            try {
                db.drop();
            } catch (const std::exception& notDropped) {
                throw std::runtime_error(std::string(failed.what()) + "; the half-made database " + database.toStdString()
                                         + " could not be removed (" + notDropped.what() + "): remove it before init runs again");
            }
            throw;
        }
        std::printf("created %s\n", qPrintable(database));
    }
    if (connectionsFile) {
        connectionsFile->commit();
        if (earlier)
            std::printf("replaced %s (it named %s)\n", qPrintable(connections), qPrintable(earlier->isEmpty() ? QStringLiteral("no database") : *earlier));
        else
            std::printf("wrote %s\n", qPrintable(connections));
    }
    if (driversFile) {
        driversFile->commit();
        std::printf("wrote %s\n", qPrintable(drivers));
    }
    return 0;
}

} // namespace kordane::admin
