#include "app/TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace kordane {
namespace {

// Written by the handler, read by the event loop: the only thing a handler may safely do.
int signalPipe[2] = {-1, -1};
bool signalReceived = false;

extern "C" void onTerminationSignal(int number)
{
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        throw std::runtime_error("cannot create the signal socket pair");
    notifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [] {
        char byte;
        while (::read(signalPipe[1], &byte, 1) > 0) {
        }
        signalReceived = true;
        // Not quit(), which a window may refuse: the signal's sender expects the end.
        QCoreApplication::exit(0);
    });
    struct sigaction action { };
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

bool TerminationSignals::received()
{
    return signalReceived;
}

TerminationSignals::~TerminationSignals()
{
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    delete notifier_;
    notifier_ = nullptr;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

} // namespace kordane
