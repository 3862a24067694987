#include "tools/process/SignalDeath.h"

#include <csignal>

namespace kordane::tools {
namespace {

constexpr int terminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void dieBySignal(int number)
{
    // Delivered again once this handler (and the client's, which called it) returns, with
    // the default action: the end of the process, by that signal.
    ::signal(number, SIG_DFL);
    ::raise(number);
}

} // namespace

void dieOnTerminationSignals()
{
    struct sigaction action { };
    action.sa_handler = dieBySignal;
    sigemptyset(&action.sa_mask);
    for (const int number : terminationSignals)
        ::sigaction(number, &action, nullptr);
}

} // namespace kordane::tools
