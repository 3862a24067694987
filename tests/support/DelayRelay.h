#pragma once
// A TCP relay on 127.0.0.1 that holds every chunk it reads for a fixed time before passing
// it on: the latency of a network between a client and a server on this machine. Each
// chunk leaves at its arrival time plus the delay, so the order is kept and a burst is not
// spread out. One thread waits on every socket with a deadline; nothing spins. What waits
// in a direction is bounded: past it, the relay stops reading from that side until it has
// caught up, as a network's window would.
#include <QString>

#include <atomic>
#include <chrono>
#include <thread>

namespace kordane::test {

class DelayRelay {
public:
    // Listens on a free port of 127.0.0.1 and relays each connection to
    // 127.0.0.1:`targetPort`, each way `delay` late. Throws std::runtime_error when it
    // cannot listen.
    explicit DelayRelay(int targetPort, std::chrono::microseconds delay = std::chrono::milliseconds(10));
    // Ends every connection it relays.
    ~DelayRelay();
    DelayRelay(const DelayRelay&) = delete;
    DelayRelay& operator=(const DelayRelay&) = delete;

    int port() const { return port_; }
    // "127.0.0.1/port", as a Database parameter names a server.
    QString address() const;
    // The chunks passed on so far, read from a client for the server and back: about the
    // packets each way.
    long chunksUp() const { return up_.load(); }
    long chunksDown() const { return down_.load(); }

private:
    void run();

    int listener_ = -1;
    int wake_ = -1;
    int port_ = 0;
    int targetPort_;
    std::chrono::microseconds delay_;
    std::atomic<long> up_ {0};
    std::atomic<long> down_ {0};
    std::thread thread_;
};

} // namespace kordane::test
