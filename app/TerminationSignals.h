#pragma once
// SIGTERM (the session ending, `kill`), SIGINT (Ctrl+C in a terminal) and SIGHUP (the
// terminal gone) end the program as closing its window does: the event loops return and
// every attachment is detached, and the program exits with status 0. Where that cannot
// happen in time (no event loop runs yet, or a database call blocks: a connect to a
// server that does not answer, a wait on another program's lock), the signal ends the
// process itself, as it would a program that does not handle it, once orderlyEndMs have
// passed without the orderly end being over.
// The Firebird client catches SIGTERM and SIGINT to shut its engine down and leaves the
// process running; it passes them on to the handlers that were there before it, so these
// are installed before the first connection.
#include <QObject>

#include <thread>

class QSocketNotifier;

namespace kordane {

class TerminationSignals : public QObject {
public:
    // From a signal to the end of the orderly end: far more than the loops take to return
    // and the attachments to detach.
    static constexpr int orderlyEndMs = 3000;

    explicit TerminationSignals(QObject* parent);
    // The orderly end is over: a signal no longer ends the process.
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // A signal has come. An event loop that was not running when it came (the start-up's
    // error box ends before the application's loop starts) cannot be told; whoever is
    // about to start one asks this first.
    static bool received();

private:
    QSocketNotifier* notifier_ = nullptr;
    std::thread deadline_;
};

} // namespace kordane
