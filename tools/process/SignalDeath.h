#pragma once
// For the command-line tools: SIGTERM, SIGINT and SIGHUP end the process at once, as they
// end a program that does not handle them, even while a database call blocks. The
// Firebird client catches SIGTERM and SIGINT to shut its engine down and leaves the
// process running; it passes them on to the handlers that were there before it, so these
// are installed before the client is first used.
namespace kordane::tools {

void dieOnTerminationSignals();

} // namespace kordane::tools
