#pragma once
// A TCP server on 127.0.0.1 that takes connections and never answers: a Firebird server
// hung after its accept, or another program on its port. The client's connect succeeds
// and its first request waits for a reply.
#include <QString>

#include <vector>

namespace kordane::test {

class SilentServer {
public:
    // On a free port; throws std::runtime_error when it cannot listen.
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    // "127.0.0.1/port", as a Database parameter names a server.
    QString address() const;
    QString database() const { return address() + QStringLiteral(":/srv/kordane/POSDATA.FDB"); }
    // Waits (up to 30 s) for a client to connect, and keeps its connection open without a
    // word; false when none came.
    bool waitForClient();

private:
    int listener_ = -1;
    int port_ = 0;
    std::vector<int> clients_;
};

} // namespace kordane::test
