#include "app/TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace kordane {
namespace {

constexpr int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Written by the handler, read by the event loop and by the deadline's thread: the only
// thing a handler may safely do.
int signalPipe[2] = {-1, -1};
int deadlinePipe[2] = {-1, -1};
bool signalReceived = false;

extern "C" void onTerminationSignal(int number)
{
    const char byte = char(number);
    [[maybe_unused]] ssize_t written = ::write(signalPipe[0], &byte, 1);
    written = ::write(deadlinePipe[1], &byte, 1);
}

[[noreturn]] void endBySignal(int number)
{
    ::signal(number, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, number);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(number);
    ::_exit(128 + number); // not reached: the signal's default action ends the process
}

// Waits for a signal, then for the pipe to be closed: the orderly end is over. If that
// has not come by the deadline, the process ends by the signal.
void enforceDeadline(int fd)
{
    using Clock = std::chrono::steady_clock;
    pollfd wait {fd, POLLIN, 0};
    int signal = 0;
    Clock::time_point deadline;
    for (;;) {
        int timeout = -1;
        if (signal) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                endBySignal(signal);
            timeout = static_cast<int>(left);
        }
        const int ready = ::poll(&wait, 1, timeout);
        if (ready < 0 && errno != EINTR)
            return;
        if (ready <= 0)
            continue;
        char byte;
        const ssize_t got = ::read(fd, &byte, 1);
        if (got == 0)
            return;
        if (got > 0 && !signal) {
            signal = static_cast<unsigned char>(byte);
            deadline = Clock::now() + std::chrono::milliseconds(TerminationSignals::orderlyEndMs);
        }
    }
}

void closeBoth(int (&pipe)[2])
{
    // Marked closed first: a handler still running elsewhere must not write to a number
    // that a later open may reuse.
    for (int& end : pipe) {
        const int fd = end;
        end = -1;
        if (fd >= 0)
            ::close(fd);
    }
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        throw std::runtime_error("cannot create the signal socket pair");
    if (::pipe2(deadlinePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        closeBoth(signalPipe);
        throw std::runtime_error("cannot create the signal deadline pipe");
    }
    try {
        deadline_ = std::thread(enforceDeadline, deadlinePipe[0]);
    } catch (...) {
        closeBoth(deadlinePipe);
        closeBoth(signalPipe);
        throw;
    }
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
    for (const int number : handledSignals)
        ::sigaction(number, &action, nullptr);
}

bool TerminationSignals::received()
{
    return signalReceived;
}

TerminationSignals::~TerminationSignals()
{
    for (const int number : handledSignals)
        ::signal(number, SIG_DFL);
    delete notifier_;
    notifier_ = nullptr;
    // The deadline's thread sees its pipe closed and returns.
    const int writing = deadlinePipe[1];
    deadlinePipe[1] = -1;
    ::close(writing);
    deadline_.join();
    closeBoth(deadlinePipe);
    closeBoth(signalPipe);
}

} // namespace kordane
