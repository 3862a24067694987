// clerk add / remove: a clerk's own account on the site's server, with exactly the
// rights the window needs, and the connections file for the clerk's desk.
#include "tools/admin/Admin.h"
#include "tools/admin/Site.h"

#include <QCommandLineParser>
#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cstdio>
#include <stdexcept>

namespace kordane::admin {
namespace {

// The window's statements and a removal from the grid read and write POS_DAY and read
// EMPLOYEE; nothing else.
std::vector<std::string> grants(const QString& user)
{
    return {"GRANT SELECT, INSERT, UPDATE, DELETE ON POS_DAY TO USER " + user.toStdString(),
            "GRANT SELECT ON EMPLOYEE TO USER " + user.toStdString()};
}

// A plain name, so that it needs no quoting and reads the same in every statement.
QString userName(const QString& name, const Account& admin)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z][A-Za-z0-9_]{0,30}$"));
    if (!plain.match(name).hasMatch())
        throw std::runtime_error("a clerk's name is a letter followed by up to 30 letters, digits or _: " + name.toStdString());
    const QString user = name.toUpper();
    if (user == u"SYSDBA" || user == admin.user.toUpper())
        throw std::runtime_error(user.toStdString() + " is the admin account, not a clerk's");
    return user;
}

bool userExists(RawFirebird& db, const QString& user)
{
    return !db.query("SELECT 1 FROM SEC$USERS WHERE SEC$USER_NAME = '" + user.toStdString() + "'").empty();
}

QString generatedPassword()
{
    static const char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
    QString password;
    for (int i = 0; i < 20; ++i)
        password += QLatin1Char(alphabet[QRandomGenerator::system()->bounded(int(sizeof alphabet) - 1)]);
    return password;
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

int add(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Creates the server account NAME with a generated password, grants it what the window needs "
                       "(POS_DAY: select, insert, update, delete; EMPLOYEE: select) and writes the connections file "
                       "for the clerk's desk, readable by its owner only."));
    const QCommandLineOption outputOption(QStringLiteral("output"), QStringLiteral("The clerk's connections file (default: NAME.dbxconnections.ini here)."), QStringLiteral("FILE"));
    parser.addOptions({connectionsOption(), outputOption});
    parser.addPositionalArgument(QStringLiteral("NAME"), QStringLiteral("The clerk's user name."));
    if (!parseCommand(parser, arguments))
        return 0;
    const Target t = target(parser, "add");
    const QString output = QDir().absoluteFilePath(parser.isSet(outputOption) ? parser.value(outputOption)
                                                                              : t.user.toLower() + QStringLiteral(".dbxconnections.ini"));
    if (QFileInfo::exists(output))
        throw std::runtime_error(output.toStdString() + " exists; remove it or name another with --output");

    RawFirebird db = t.site.attach();
    if (userExists(db, t.user))
        throw std::runtime_error("the server has a user " + t.user.toStdString() + " already");
    const Account clerk {t.user, generatedPassword()};
    db.execute("CREATE USER " + t.user.toStdString() + " PASSWORD '" + clerk.password.toStdString() + "' USING PLUGIN Srp");
    try {
        db.executeTogether(grants(t.user));
        StagedFile(output, connectionsFileText(t.site.database(), clerk, t.site.serverCharSet()),
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner)
            .commit();
    } catch (...) {
        db.execute("DROP USER " + t.user.toStdString() + " USING PLUGIN Srp");
        throw;
    }
    std::printf("added clerk %s; wrote %s (give it to the clerk's desk and name it there as Connection Registry File)\n",
                qPrintable(t.user), qPrintable(output));
    return 0;
}

int remove(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Revokes the rights of the server account NAME and drops it."));
    parser.addOption(connectionsOption());
    parser.addPositionalArgument(QStringLiteral("NAME"), QStringLiteral("The clerk's user name."));
    if (!parseCommand(parser, arguments))
        return 0;
    const Target t = target(parser, "remove");
    RawFirebird db = t.site.attach();
    if (!userExists(db, t.user))
        throw std::runtime_error("the server has no user " + t.user.toStdString());
    db.executeTogether({"REVOKE ALL ON ALL FROM USER " + t.user.toStdString(),
                        "DROP USER " + t.user.toStdString() + " USING PLUGIN Srp"});
    std::printf("removed clerk %s\n", qPrintable(t.user));
    return 0;
}

} // namespace

int clerk(const QStringList& arguments)
{
    return dispatch(arguments, "add NAME [--output FILE] | remove NAME", {{"add", add}, {"remove", remove}});
}

} // namespace kordane::admin
