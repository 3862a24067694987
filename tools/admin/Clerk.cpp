// clerk add / remove: a clerk's own account on the site's server, with exactly the
// rights the window needs, and the connections file for the clerk's desk. Either command
// touches clerks only: never everyone (PUBLIC), the admin, a role or another's account.
#include "tools/admin/Admin.h"
#include "tools/admin/Site.h"

#include <QCommandLineParser>
#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cstdio>
#include <set>
#include <stdexcept>

namespace kordane::admin {
namespace {

// The window's statements and a removal from the grid read and write POS_DAY and read
// EMPLOYEE; nothing else.
struct Rights {
    const char* table;
    std::vector<std::string> privileges;
};
const Rights clerkRights[] = {{"POS_DAY", {"SELECT", "INSERT", "UPDATE", "DELETE"}}, {"EMPLOYEE", {"SELECT"}}};

std::vector<std::string> grants(const QString& user)
{
    std::vector<std::string> sql;
    for (const Rights& rights : clerkRights) {
        std::string list;
        for (const std::string& privilege : rights.privileges)
            list += (list.empty() ? "" : ", ") + privilege;
        sql.push_back("GRANT " + list + " ON " + rights.table + " TO USER " + user.toStdString());
    }
    return sql;
}

// The user's rights on this database's tables, as "TABLE P" with the privilege's letter.
std::set<std::string> heldRights(RawFirebird& db, const QString& user)
{
    std::set<std::string> held;
    for (const auto& row : db.query("SELECT TRIM(RDB$RELATION_NAME) || ' ' || TRIM(RDB$PRIVILEGE) FROM RDB$USER_PRIVILEGES"
                                    " WHERE RDB$USER = '"
                                    + user.toStdString() + "' AND RDB$USER_TYPE = 8"))
        held.insert(row[0].value_or(std::string()));
    return held;
}

// A clerk of this site holds every right `clerk add` grants.
bool isClerk(const std::set<std::string>& held)
{
    for (const Rights& rights : clerkRights) {
        for (const std::string& privilege : rights.privileges) {
            if (!held.count(rights.table + (" " + privilege.substr(0, 1))))
                return false;
        }
    }
    return true;
}

// A plain name, so that it needs no quoting and reads the same in every statement.
QString userName(const QString& name, const Account& admin)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z][A-Za-z0-9_]{0,30}$"));
    if (!plain.match(name).hasMatch())
        throw std::runtime_error("a clerk's name is a letter followed by up to 30 letters, digits or _: " + name.toStdString());
    const QString user = name.toUpper();
    if (user == u"PUBLIC")
        throw std::runtime_error("PUBLIC stands for every account on the server, not a clerk's");
    if (user == u"SYSDBA" || user == admin.user.toUpper())
        throw std::runtime_error(user.toStdString() + " is the admin account, not a clerk's");
    return user;
}

bool userExists(RawFirebird& db, const QString& user)
{
    return !db.query("SELECT 1 FROM SEC$USERS WHERE SEC$USER_NAME = '" + user.toStdString() + "'").empty();
}

// A user may bear a role's name, but rights granted to the name would read as the role's.
void refuseRole(RawFirebird& db, const QString& user)
{
    if (!db.query("SELECT 1 FROM RDB$ROLES WHERE TRIM(RDB$ROLE_NAME) = '" + user.toStdString() + "'").empty())
        throw std::runtime_error(user.toStdString() + " is a role of this database, not a clerk's account");
}

QString generatedPassword()
{
    static const char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
    QString password;
    for (int i = 0; i < 20; ++i)
        password += QLatin1Char(alphabet[QRandomGenerator::system()->bounded(int(sizeof alphabet) - 1)]);
    return password;
}

// "HOST[/PORT]:PATH" in its three parts; no match for a file or an inet:// address.
QRegularExpressionMatch serverParts(const QString& database)
{
    static const QRegularExpression parts(QStringLiteral("^([^:/\\[]+|\\[[^\\]]*\\])(/[^:]*)?:(?!//)(.+)$"));
    return parts.match(database.trimmed());
}

// The clerk's Database: the admin's, or with `host` for the server as the desks reach it
// (the admin's may name it localhost, which reaches it from the server only).
QString deskDatabase(const QString& database, const QString& host)
{
    if (host.isEmpty())
        return database;
    static const QRegularExpression hostName(QStringLiteral("^([A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?|\\[[0-9A-Fa-f:.]+\\])$"));
    if (!hostName.match(host).hasMatch())
        throw UsageError("--host takes a host name or address, not " + host.toStdString());
    const QRegularExpressionMatch parts = serverParts(database);
    if (!parts.hasMatch())
        throw std::runtime_error("--host needs a Database written HOST:PATH or HOST/PORT:PATH, not " + database.toStdString());
    return host + parts.captured(2) + u':' + parts.captured(3);
}

// The server's name in `database` when it is this machine's own; empty otherwise.
QString localHost(const QString& database)
{
    static const QRegularExpression local(QStringLiteral("^(localhost|127\\.[0-9.]+|\\[::1\\])$"), QRegularExpression::CaseInsensitiveOption);
    const QString host = serverParts(database).captured(1);
    return local.match(host).hasMatch() ? host : QString();
}

struct Target {
    Site site;
    Account admin;
    QString user;
};

// The site on its server and the clerk's user name, from a command's arguments.
Target target(const QCommandLineParser& parser, const char* command)
{
    if (parser.positionalArguments().size() != 1)
        throw std::runtime_error(std::string("clerk ") + command + " takes one NAME");
    Site site(parser);
    if (!site.onServer()) {
        throw std::runtime_error("clerks' accounts are for a database on a server; " + site.database().toStdString()
                                 + " is a file, and the embedded engine checks no password");
    }
    const Account admin = adminAccount(true);
    const QString user = userName(parser.positionalArguments().first(), admin);
    return {std::move(site), admin, user};
}

// The account and every right it holds here go together.
std::vector<std::string> dropUser(const QString& user)
{
    return {"REVOKE ALL ON ALL FROM USER " + user.toStdString(), "DROP USER " + user.toStdString() + " USING PLUGIN Srp"};
}

// One transaction: the account comes with its rights or not at all. Rights an earlier
// account of the name left here go first, so that the clerk holds these only.
void createClerk(RawFirebird& db, const Account& clerk, bool leftOver)
{
    const std::string user = clerk.user.toStdString();
    std::vector<std::string> sql = {"CREATE USER " + user + " PASSWORD '" + clerk.password.toStdString() + "' USING PLUGIN Srp"};
    if (leftOver)
        sql.push_back("REVOKE ALL ON ALL FROM USER " + user);
    for (const std::string& grant : grants(clerk.user))
        sql.push_back(grant);
    db.executeTogether(sql);
}

// Takes back an account whose file could not be put in place, and throws `cause`.
[[noreturn]] void dropClerk(RawFirebird& db, const QString& user, const std::exception& cause)
{
    try {
        db.executeTogether(dropUser(user));
    } catch (const std::exception& undo) {
        throw std::runtime_error(std::string(cause.what()) + "; the account " + user.toStdString()
                                 + " stays, as it could not be dropped: " + undo.what());
    }
    throw std::runtime_error(cause.what());
}

int add(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Creates the server account NAME with a generated password, grants it what the window needs "
                       "(POS_DAY: select, insert, update, delete; EMPLOYEE: select) and writes the connections file "
                       "for the clerk's desk, readable by its owner only. All or nothing."));
    const QCommandLineOption outputOption(QStringLiteral("output"), QStringLiteral("The clerk's connections file (default: NAME.dbxconnections.ini in the current directory)."), QStringLiteral("FILE"));
    const QCommandLineOption hostOption(QStringLiteral("host"), QStringLiteral("The server as the desks reach it, in the clerk's Database (default: as in the site's connections file)."), QStringLiteral("HOST"));
    parser.addOptions({connectionsOption(), outputOption, hostOption});
    parser.addPositionalArgument(QStringLiteral("NAME"), QStringLiteral("The clerk's user name."));
    if (!parseCommand(parser, arguments))
        return 0;
    const Target t = target(parser, "add");
    const QString database = deskDatabase(t.site.database(), parser.value(hostOption));
    const QString output = QDir().absoluteFilePath(parser.isSet(outputOption) ? parser.value(outputOption)
                                                                              : t.user.toLower() + QStringLiteral(".dbxconnections.ini"));
    if (QFileInfo::exists(output))
        throw std::runtime_error(output.toStdString() + " exists; remove it or name another with --output");
    const Account clerk {t.user, generatedPassword()};
    // Written first: an output that cannot be written stops the command before the server changes.
    StagedFile file(output, connectionsFileText(database, clerk, t.site.serverCharSet()), QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    RawFirebird db = t.site.attach();
    refuseRole(db, t.user);
    const std::set<std::string> held = heldRights(db, t.user);
    if (userExists(db, t.user)) {
        throw std::runtime_error("the server has a user " + t.user.toStdString() + " already, "
                                 + (isClerk(held) ? "a clerk of this site" : "who is not a clerk of this site"));
    }
    const bool leftOver = !held.empty();
    createClerk(db, clerk, leftOver);
    try {
        file.commit();
    } catch (const std::exception& e) {
        dropClerk(db, t.user, e);
    }
    std::printf("added clerk %s; wrote %s (give it to the clerk's desk and name it there as Connection Registry File)\n",
                qPrintable(t.user), qPrintable(output));
    if (leftOver)
        std::printf("the rights an earlier account %s left on this database were taken away first\n", qPrintable(t.user));
    const QString host = localHost(database);
    if (!host.isEmpty())
        std::printf("note: the file names the server %s, which reaches it from the server itself only; --host names it as the desks reach it\n", qPrintable(host));
    return 0;
}

int remove(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Revokes the rights of the clerk's server account NAME, drops it and ends its open sessions on "
                       "this database."));
    parser.addOption(connectionsOption());
    parser.addPositionalArgument(QStringLiteral("NAME"), QStringLiteral("The clerk's user name."));
    if (!parseCommand(parser, arguments))
        return 0;
    const Target t = target(parser, "remove");
    const std::string user = t.user.toStdString();
    RawFirebird db = t.site.attach();
    refuseRole(db, t.user);
    const bool clerk = isClerk(heldRights(db, t.user));
    if (!userExists(db, t.user)) {
        if (!clerk)
            throw std::runtime_error("the server has no user " + user);
        // What an account dropped without its rights left behind.
        db.execute("REVOKE ALL ON ALL FROM USER " + user);
        std::printf("the server has no user %s; took away the clerk's rights it left on this database\n", user.c_str());
        return 0;
    }
    if (!clerk)
        throw std::runtime_error(user + " is a user of the server but not a clerk of this site; left as it is");
    db.executeTogether(dropUser(t.user));
    // A window still attached would keep its rights until it disconnects.
    const std::string others = " FROM MON$ATTACHMENTS WHERE MON$USER = '" + user + "' AND MON$ATTACHMENT_ID <> CURRENT_CONNECTION";
    const std::string open = db.query("SELECT COUNT(*)" + others).at(0).at(0).value_or("0");
    try {
        db.execute("DELETE" + others);
    } catch (const std::exception& e) {
        throw std::runtime_error("removed clerk " + user + ", but could not end its " + open + " open sessions: " + e.what());
    }
    std::printf("removed clerk %s; ended %s open session%s\n", user.c_str(), open.c_str(), open == "1" ? "" : "s");
    return 0;
}

} // namespace

int clerk(const QStringList& arguments)
{
    return dispatch(arguments, "add NAME [--output FILE] [--host HOST] | remove NAME", {{"add", add}, {"remove", remove}});
}

} // namespace kordane::admin
