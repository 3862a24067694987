// env and sql: other Firebird tools on a site's embedded database, in the program's own
// engine set-up, so that every program on the file keeps its locks in one directory.
#include "data/sql/EmbeddedEngine.h"
#include "tools/admin/Admin.h"
#include "tools/admin/Site.h"

#include <QCommandLineParser>
#include <QFile>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace kordane::admin {
namespace {

// A word the shell reads back as it is.
std::string shellQuoted(const QString& text)
{
    return "'" + QFile::encodeName(text).replace('\'', "'\\''").toStdString() + "'";
}

} // namespace

int env(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the shell commands that set another Firebird program (isql-fb, gbak, a script) up as this site's\n"
        "programs are, so that it may open the embedded database while they do: eval \"$(kordane-admin env)\"."));
    parser.addOption(connectionsOption());
    if (!parseCommand(parser, arguments))
        return 0;
    const Site site(parser);
    if (site.onServer()) {
        std::printf("# %s is a server's database: other programs reach it through the server as they are\n",
                    qPrintable(site.database()));
        return 0;
    }
    const engine::Setup setup = engine::setupFor(site.database());
    if (!setup.root.isEmpty())
        std::printf("export FIREBIRD=%s\n", shellQuoted(setup.root).c_str());
    std::printf("export FIREBIRD_LOCK=%s\n", shellQuoted(setup.lockDirectory).c_str());
    return 0;
}

int sql(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs isql-fb on the site's database as the admin, in the engine set-up of the site's programs (embedded)\n"
        "or through its server. Arguments after -- go to isql-fb (kordane-admin sql -- -ch NONE -i FILE)."));
    parser.addOption(connectionsOption());
    parser.addPositionalArgument(QStringLiteral("isql-arguments"), QStringLiteral("Passed to isql-fb."), QStringLiteral("[-- ARGS...]"));
    if (!parseCommand(parser, arguments))
        return 0;
    const Site site(parser);
    const Account admin = adminAccount(site.onServer());
    // Refuses here, by name, what isql-fb would open beside another lock directory.
    engine::configure(site.database());
    std::vector<QByteArray> words {"isql-fb", "-user", admin.user.toLocal8Bit()};
    for (const QString& argument : parser.positionalArguments())
        words.push_back(argument.toLocal8Bit());
    words.push_back(QFile::encodeName(site.database()));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    ::execvp(argv[0], argv.data());
    throw std::runtime_error("cannot run isql-fb (install firebird3.0-utils): " + std::string(std::strerror(errno)));
}

} // namespace kordane::admin
