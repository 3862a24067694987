#pragma once
// SIGTERM (the session ending, `kill`) and SIGINT (Ctrl+C in a terminal) end the program
// as closing its window does: the event loops return and every attachment is detached.
// The Firebird client catches both signals to shut its engine down and leaves the process
// running; it passes them on to the handlers that were there before it, so these are
// installed before the first connection.
#include <QObject>

class QSocketNotifier;

namespace kordane {

class TerminationSignals : public QObject {
public:
    explicit TerminationSignals(QObject* parent);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // A signal has come. An event loop that was not running when it came (the start-up's
    // error box ends before the application's loop starts) cannot be told; whoever is
    // about to start one asks this first.
    static bool received();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace kordane
