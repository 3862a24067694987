#pragma once
// The admin tool's commands. Each failure is one line on standard error and exit status
// 1, with nothing half-done; a command line the command cannot take, exit status 2.
#include <QStringList>

#include <initializer_list>
#include <stdexcept>

class QCommandLineParser;

namespace kordane::admin {

// An argument a command refuses before it looks at the site: exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses a command's arguments with --help added; false when it printed the help.
// Throws for an argument it does not know.
bool parseCommand(QCommandLineParser& parser, const QStringList& arguments);

// A command's second word ("kordane-admin clerk" "add" NAME) and what runs it, with the
// arguments "kordane-admin clerk add" NAME, the first being the name its help shows.
struct Subcommand {
    const char* name;
    int (*run)(const QStringList& arguments);
};

// Runs the subcommand the second word names; --help prints "Usage: COMMAND usage".
int dispatch(const QStringList& arguments, const char* usage, std::initializer_list<Subcommand> subcommands);

// `impliedCommand` is put before the arguments (kordane-makedb is `init`).
int run(int argc, char** argv, const char* impliedCommand = nullptr);

// The commands; `arguments` starts with the command's own name ("kordane-admin init").
int init(const QStringList& arguments);
int employees(const QStringList& arguments);
int clerk(const QStringList& arguments);
int rules(const QStringList& arguments);
int audit(const QStringList& arguments);
int env(const QStringList& arguments);
int sql(const QStringList& arguments);
int backup(const QStringList& arguments);
int restore(const QStringList& arguments);
int upgrade(const QStringList& arguments);
int shift(const QStringList& arguments);
int pattern(const QStringList& arguments);
int holiday(const QStringList& arguments);
int setting(const QStringList& arguments);
int period(const QStringList& arguments);
int punches(const QStringList& arguments);

} // namespace kordane::admin
