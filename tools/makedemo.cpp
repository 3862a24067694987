// makedemo: creates an embedded database with the program's two tables (and, unless
// told otherwise, a few employees with records of recent days, some lacking a name so
// that the start-up backfill has work), and writes the configuration files beside the
// program when they are absent. A user's files are never overwritten.
//
//   makedemo [--dir DIR] [--database PATH | HOST:PATH | HOST/PORT:PATH] [--no-demo-rows]
//
// On a server the account comes from ISC_USER and ISC_PASSWORD (the Firebird client's own
// variables), so no password shows in the process list; it is written into the
// connections file, which only its owner may read.
#include "ConfigLocation.h"
#include "DateConversion.h"
#include "RawFirebird.h"
#include "RegionalSettings.h"
#include "Schema.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#include <cstdio>
#include <stdexcept>

namespace {

struct Employee {
    const char* id;
    const char* name;
    const char* card;
};

const Employee employees[] = {
    {"A001", "陳志明", "0012345678"}, {"A002", "林美玲", "0012345679"}, {"A003", "張家豪", "0012345680"},
    {"A004", "王淑芬", "0012345681"}, {"A005", "李建宏", "0012345682"}, {"B101", "黃雅婷", "0023456701"},
    {"B102", "吳俊傑", "0023456702"}, {"B103", "劉怡君", "0023456703"},
};

// Code page 950 bytes inside a literal; the demo texts hold no quote.
std::string big5(const QString& text)
{
    QStringEncoder encoder("windows-950");
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        throw std::runtime_error("text not in code page 950: " + text.toStdString());
    return bytes.toStdString();
}

std::string literal(const QString& text) { return "'" + big5(text) + "'"; }

std::vector<std::string> demoRows(const QDate& today)
{
    std::vector<std::string> sql;
    for (const Employee& e : employees) {
        sql.push_back("INSERT INTO EMPLOYEE VALUES (" + literal(QString::fromUtf8(e.id)) + ", "
                      + literal(QString::fromUtf8(e.name)) + ", " + literal(QString::fromUtf8(e.card)) + ")");
    }
    const kordane::RegionalSettings regional;
    static const char* const shifts[][2] = {{"08:00:00", "17:00:00"}, {"08:30:00", "17:30:00"}, {"13:00:00", "22:00:00"}};
    int n = 0;
    for (int back = 9; back >= 0; --back) {
        const QDate day = today.addDays(-back);
        if (day.dayOfWeek() == 7)
            continue;
        const QString date = kordane::formatDate(day, regional);
        const QString weekday = kordane::weekdayCharacter(kordane::dayOfWeek(day));
        for (const Employee& e : employees) {
            const auto& shift = shifts[n++ % 3];
            // Every fifth record of the last days lacks its name: the backfill's work.
            const bool nameless = back < 5 && n % 5 == 0;
            sql.push_back("INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT, BILL_WEEK, EMPLOYEE_NAME, CARD_ID)"
                          " VALUES (" + literal(QString::fromUtf8(e.id)) + ", " + literal(date) + ", '" + shift[0]
                          + "', '" + shift[1] + "', " + literal(weekday) + ", "
                          + (nameless ? std::string("NULL") : literal(QString::fromUtf8(e.name))) + ", "
                          + literal(QString::fromUtf8(e.card)) + ")");
        }
    }
    return sql;
}

// Writes `text` unless the file exists; the connections file holds a password.
bool writeIfAbsent(const QString& path, const QByteArray& text, QFileDevice::Permissions permissions)
{
    if (QFileInfo::exists(path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw std::runtime_error("cannot write " + path.toStdString() + ": " + file.errorString().toStdString());
    file.setPermissions(permissions);
    if (file.write(text) != text.size() || !file.flush())
        throw std::runtime_error("cannot write " + path.toStdString());
    return true;
}

struct Account {
    QString user;
    QString password;
};

// The embedded engine checks no password; a server does.
Account account()
{
    const QString user = qEnvironmentVariable("ISC_USER", QStringLiteral("SYSDBA"));
    const QString password = qEnvironmentVariable("ISC_PASSWORD", QStringLiteral("quillbrex"));
    if (user.contains(u'\n') || password.contains(u'\n'))
        throw std::runtime_error("ISC_USER and ISC_PASSWORD must be one line each");
    return {user, password};
}

// "host:path" or "host/port:path", as the client reads it: a colon, and the text does not
// start as a path does. A local path is made absolute, so the file works from anywhere.
bool onServer(const QString& database)
{
    return database.indexOf(u':') > 0 && !database.startsWith(u'/') && !database.startsWith(u'.');
}

QByteArray connectionsFile(const QString& database, const Account& login)
{
    return QStringLiteral("[Varnok]\n"
                          "DriverName=Interbase\n"
                          "Database=%1\n"
                          "RoleName=RoleName\n"
                          "User_Name=%2\n"
                          "Password=%3\n"
                          "ServerCharSet=\n"
                          "SQLDialect=3\n"
                          "BlobSize=-1\n"
                          "CommitRetain=False\n"
                          "WaitOnLocks=True\n"
                          "ErrorResourceFile=\n"
                          "LocaleCode=0000\n"
                          "Interbase TransIsolation=ReadCommited\n"
                          "Trim Char=False\n")
        .arg(database, login.user, login.password)
        .toUtf8();
}

const QByteArray driversFile = "[Interbase]\n"
                               "LibraryName=libdbxfb.so\n"
                               "VendorLib=libfbclient.so.2\n"
                               "GetDriverFunc=getSQLDriverINTERBASE\n";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Creates a Kordane database and its configuration files."));
    parser.addHelpOption();
    const QCommandLineOption dirOption(QStringLiteral("dir"), QStringLiteral("Where the configuration files go (default: beside the program)."), QStringLiteral("DIR"));
    const QCommandLineOption databaseOption(QStringLiteral("database"), QStringLiteral("The database: a file, or HOST:PATH or HOST/PORT:PATH on a server (default: DIR/demo/POSDATA.FDB)."), QStringLiteral("PATH"));
    const QCommandLineOption emptyOption(QStringLiteral("no-demo-rows"), QStringLiteral("Create the tables only."));
    parser.addOptions({dirOption, databaseOption, emptyOption});
    parser.process(app);

    try {
        const QString dir = QDir(parser.isSet(dirOption) ? parser.value(dirOption) : kordane::config::executableDir()).absolutePath();
        const QString named = parser.isSet(databaseOption) ? parser.value(databaseOption)
                                                            : dir + QStringLiteral("/demo/POSDATA.FDB");
        const bool remote = onServer(named);
        const QString database = remote ? named : QFileInfo(named).absoluteFilePath();
        const Account login = account();
        if (!remote && QFileInfo::exists(database)) {
            std::printf("database %s exists; left as it is\n", qPrintable(database));
        } else {
            if (!remote)
                QDir().mkpath(QFileInfo(database).absolutePath());
            auto db = kordane::RawFirebird::create(database.toStdString(), login.user.toStdString(),
                                                   login.password.toStdString());
            db.execute(kordane::kordaneSchema());
            if (!parser.isSet(emptyOption))
                db.execute(demoRows(QDate::currentDate()));
            std::printf("created %s\n", qPrintable(database));
        }
        const QString connections = dir + QLatin1Char('/') + QLatin1String(kordane::config::connectionsFileName);
        if (writeIfAbsent(connections, connectionsFile(database, login), QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            std::printf("wrote %s\n", qPrintable(connections));
        const QString drivers = dir + QLatin1Char('/') + QLatin1String(kordane::config::driversFileName);
        if (writeIfAbsent(drivers, driversFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther))
            std::printf("wrote %s\n", qPrintable(drivers));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "makedemo: %s\n", e.what());
        return 1;
    }
    return 0;
}
