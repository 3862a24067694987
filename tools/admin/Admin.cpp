#include "tools/admin/Admin.h"
#include "tools/process/SignalDeath.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <stdexcept>

namespace kordane::admin {
namespace {

const char usage[] = "Usage: kordane-admin COMMAND [ARGS]\n"
                     "Sets up and looks after a Kordane site's database.\n"
                     "\n"
                     "Commands:\n"
                     "  init                      make a new site's database and configuration files\n"
                     "  employees import FILE     add or update employees from a CSV file\n"
                     "  employees export [FILE]   write the employees as a CSV file\n"
                     "  clerk add NAME            give a clerk an account of their own on the server\n"
                     "  clerk remove NAME         take a clerk's account and rights away\n"
                     "  rules install|remove|status  checks the database enforces, and an audit trail\n"
                     "  audit                     list the audit trail\n"
                     "  env                       the settings another Firebird program needs beside the site's\n"
                     "  sql [-- ARGS]             isql-fb on the site's database, with those settings\n"
                     "  backup [--to FILE|DIR]    back the database up while desks work (--keep N, --verify, --status)\n"
                     "  restore FILE --to DB      restore a backup into a database, validated and counted\n"
                     "  upgrade [--check]         add the tables of the site's parts an older database lacks\n"
                     "  shift add|remove|list|export      the shifts: start, end, unpaid break, grace\n"
                     "  pattern set|remove|import|list|export  weekly patterns of employees and departments\n"
                     "  holiday add|remove|import|list|export  the holidays\n"
                     "  setting set|list          the settings the pay figures read\n"
                     "  period close|reopen|status  pay periods whose records the database keeps as they are\n"
                     "  punches import FILE       pair a card terminal's punches into records (--watch DIR, --dry-run)\n"
                     "  punches list|export       the imported punches and what each became (--unpaired)\n"
                     "  punches card CARD EMPLOYEE --from D  a card that moves to another employee on a date\n"
                     "\n"
                     "Each command takes --help. The database is the one the program finds (the settings\n"
                     "store, beside the program, /etc/kordane), or the one --connections FILE names. On a\n"
                     "server the admin account comes from ISC_USER and ISC_PASSWORD.\n";

// One line: a server's text may run over several.
std::string oneLine(std::string text)
{
    for (std::size_t at; (at = text.find('\n')) != std::string::npos;)
        text.replace(at, 1, "; ");
    return text;
}

} // namespace

bool parseCommand(QCommandLineParser& parser, const QStringList& arguments)
{
    parser.addHelpOption();
    if (!parser.parse(arguments))
        throw std::runtime_error(parser.errorText().toStdString() + " (" + arguments.value(0).toStdString() + " --help)");
    if (parser.isSet(QStringLiteral("help"))) {
        // Qt names the program alone; the command belongs in the usage line too.
        QString help = parser.helpText();
        help.replace(help.indexOf(QCoreApplication::arguments().value(0)), QCoreApplication::arguments().value(0).size(),
                     arguments.value(0));
        std::fputs(qPrintable(help), stdout);
        return false;
    }
    return true;
}

namespace {

// The arguments of a command's second word: "kordane-admin clerk" "add" NAME gives
// "kordane-admin clerk add" NAME.
QStringList subcommand(const QStringList& arguments)
{
    QStringList rest = arguments.mid(2);
    rest.prepend(arguments.value(0) + u' ' + arguments.value(1));
    return rest;
}

} // namespace

int dispatch(const QStringList& arguments, const char* usage, std::initializer_list<Subcommand> subcommands)
{
    const QString what = arguments.value(1);
    QStringList names;
    for (const Subcommand& s : subcommands) {
        if (what == QLatin1String(s.name))
            return s.run(subcommand(arguments));
        names << QString::fromLatin1(s.name);
    }
    if (what == u"--help" || what == u"-h") {
        std::printf("Usage: %s %s\n", qPrintable(arguments.value(0)), usage);
        return 0;
    }
    const QString choice = names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") + names.last();
    throw std::runtime_error(QStringLiteral("%1 takes %2 (%3 --help)")
                                 .arg(arguments.value(0).section(u' ', -1), choice, arguments.value(0))
                                 .toStdString());
}

int run(int argc, char** argv, const char* impliedCommand)
{
    tools::dieOnTerminationSignals();
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    if (impliedCommand)
        arguments.insert(1, QString::fromLatin1(impliedCommand));
    const QString command = arguments.value(1);
    const QStringList rest = subcommand(arguments);
    try {
        if (command == u"init")
            return init(rest);
        if (command == u"employees")
            return employees(rest);
        if (command == u"clerk")
            return clerk(rest);
        if (command == u"rules")
            return rules(rest);
        if (command == u"audit")
            return audit(rest);
        if (command == u"env")
            return env(rest);
        if (command == u"sql")
            return sql(rest);
        if (command == u"backup")
            return backup(rest);
        if (command == u"restore")
            return restore(rest);
        if (command == u"upgrade")
            return upgrade(rest);
        if (command == u"shift")
            return shift(rest);
        if (command == u"pattern")
            return pattern(rest);
        if (command == u"holiday")
            return holiday(rest);
        if (command == u"setting")
            return setting(rest);
        if (command == u"period")
            return period(rest);
        if (command == u"punches")
            return punches(rest);
        if (command.isEmpty() || command == u"--help" || command == u"-h") {
            std::fputs(usage, command.isEmpty() ? stderr : stdout);
            return command.isEmpty() ? 2 : 0;
        }
        throw std::runtime_error("unknown command " + command.toStdString() + " (kordane-admin --help lists them)");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kordane-admin: %s\n", oneLine(e.what()).c_str());
        return dynamic_cast<const UsageError*>(&e) ? 2 : 1;
    }
}

} // namespace kordane::admin
