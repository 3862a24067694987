#pragma once
// The embedded Firebird engine, set up inside this process's own environment so that
// several programs (the window twice, the window and the admin tool) share one database
// file, and a user outside the `firebird` group can use it.
//
// The engine runs in shared mode (ServerMode SuperClassic) from a configuration root of
// our own: firebird.conf plus links to the installed engine's plugins and messages, in
// the user's cache directory; the system's firebird.conf is not touched. Processes that
// share a file must share its lock directory too (each keeps a lock table there; two
// tables for one file corrupt it), so the lock directory is a function of the database
// file alone: ".kordane-lock" beside it, whoever opens it and by whatever path. A process
// holds one lock directory, so it keeps to the databases of one directory.
//
// A site that sets FIREBIRD_LOCK (or FIREBIRD, a configuration root of its own) keeps
// that set-up: then the site's tools and this program share the lock directory it names.
// Another program that has the file open with its locks elsewhere is refused, at each
// connect and before each write: its changes and ours would not see each other. (Before a
// write the look is made again only once the file has been opened since: OpenWatch.)
//
// The Firebird client reads FIREBIRD and FIREBIRD_LOCK once, when it is first used:
// everything here must happen before that.
#include <QString>

#include "drivers/api/dbx.h"

namespace kordane::engine {

// "host:path", "host/port:path", "inet://...": a server's database, not a file.
bool isServerDatabase(const QString& database);

// A local file path, as the Database parameter may give one (not a server, not an alias).
bool isDatabaseFile(const QString& database);

// ".kordane-lock" in the directory of the file, symbolic links resolved.
QString lockDirectoryFor(const QString& databaseFile);

// How the engine is set up for `database`: FIREBIRD (empty: as the system has it) and
// FIREBIRD_LOCK. Empty for a server's database or an alias.
struct Setup {
    QString root;
    QString lockDirectory;
    bool perDatabase = false; // ours, beside the database
};
Setup setupFor(const QString& database);

// For a program that has not used the Firebird client yet: sets the process up for the
// embedded database `database` (nothing for a server's database or an alias). Throws
// EDatabaseError saying what to do when the lock directory cannot be made or written,
// or when another program holds the file under another lock directory. Once set up, only
// checks the latter.
void configure(const QString& database);

// Before a connect through a driver that loads `clientLibrary`: the first call
// configures, unless the client is already in use in this process (then the engine keeps
// the set-up it started with); a later one refuses a file whose lock directory differs.
void prepareForConnect(const QString& database, const QString& clientLibrary);

// Throws EDatabaseError, saying what to do, when a process other than this one has the
// embedded database file open with its locks in another directory than this process's.
void refuseForeignEngines(const QString& database);

// A line telling the user what to do when `engineError` is the engine refused access to
// its lock directory; empty otherwise.
QString lockRefusalAdvice(const dbx::ServerError& engineError);

} // namespace kordane::engine
