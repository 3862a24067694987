// The benchmark's network: the relay passes every byte on intact and in order, late by at
// least its delay each way, and a close on either side ends the connection on both.
#include "tests/support/DelayRelay.h"

#include <QElapsedTimer>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>
#include <vector>

using namespace kordane::test;
using namespace std::chrono_literals;

namespace {

// A socket that no read or write holds for more than ten seconds.
class Fd {
public:
    explicit Fd(int fd = -1)
        : fd_(fd)
    {
        const timeval limit {10, 0};
        if (fd_ >= 0) {
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        }
    }
    Fd(Fd&& other) noexcept
        : fd_(std::exchange(other.fd_, -1))
    {
    }
    Fd& operator=(Fd&& other) noexcept
    {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Fd() { close(); }
    int get() const { return fd_; }
    void close()
    {
        if (fd_ >= 0)
            ::close(std::exchange(fd_, -1));
    }

private:
    int fd_;
};

sockaddr_in loopback(int port)
{
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    return a;
}

// The server behind the relay: a listener on a free port.
struct Target {
    Target()
    {
        sockaddr_in a = loopback(0);
        socklen_t length = sizeof a;
        if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(listener.get(), 4) == 0
            && ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&a), &length) == 0)
            port = ntohs(a.sin_port);
    }
    // The relay's connection, or none within ten seconds.
    Fd accept()
    {
        pollfd in {listener.get(), POLLIN, 0};
        return Fd(::poll(&in, 1, 10000) == 1 ? ::accept(listener.get(), nullptr, nullptr) : -1);
    }
    Fd listener {::socket(AF_INET, SOCK_STREAM, 0)};
    int port = 0;
};

Fd connectTo(int port)
{
    Fd fd(::socket(AF_INET, SOCK_STREAM, 0));
    const sockaddr_in a = loopback(port);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
        return Fd();
    return fd;
}

struct Ends {
    Fd client, server;
};

// A connection through the relay, with both of its ends.
Ends connectThrough(Target& target, const DelayRelay& relay)
{
    Fd client = connectTo(relay.port());
    return {std::move(client), target.accept()};
}

bool sendAll(int fd, const std::vector<char>& bytes, std::size_t piece)
{
    for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.data() + at, std::min(piece, bytes.size() - at), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        at += std::size_t(n);
    }
    return true;
}

// Up to `size` bytes, fewer when the other side closed or ten seconds passed.
std::vector<char> receive(int fd, std::size_t size)
{
    std::vector<char> got(size);
    std::size_t at = 0;
    while (at < size) {
        const ssize_t n = ::recv(fd, got.data() + at, size - at, 0);
        if (n <= 0)
            break;
        at += std::size_t(n);
    }
    got.resize(at);
    return got;
}

// True when the other side closed: a read gives the end, or a reset, within ten seconds.
bool closedByPeer(int fd)
{
    char c;
    const ssize_t n = ::recv(fd, &c, 1, 0);
    return n == 0 || (n < 0 && errno == ECONNRESET);
}

std::vector<char> pattern(std::size_t size, unsigned seed)
{
    std::vector<char> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + seed + i / 251) & 0xFF);
    return bytes;
}

} // namespace

class TestDelayRelay : public QObject {
    Q_OBJECT

private slots:
    void bytesIntactAndInOrderBothWays();
    void eachWayIsLate();
    void closeOnEitherSideEndsBoth();
};

void TestDelayRelay::bytesIntactAndInOrderBothWays()
{
    Target target;
    QVERIFY(target.port);
    DelayRelay relay(target.port, 1ms);
    auto [client, server] = connectThrough(target, relay);
    QVERIFY(client.get() >= 0 && server.get() >= 0);

    // More than the relay holds in one direction, so that it must stop reading and resume;
    // sent in odd pieces, so that the chunks it reads fall anywhere.
    const std::vector<char> up = pattern(9 << 20, 1);
    const std::vector<char> down = pattern(3 << 20, 7);
    std::vector<char> atServer;
    bool serverSent = false;
    // By its descriptor: Debian's clang 14 cannot capture a structured binding.
    const int serverSocket = server.get();
    std::thread serverSide([&] {
        serverSent = sendAll(serverSocket, down, 70001);
        atServer = receive(serverSocket, up.size());
    });
    const bool clientSent = sendAll(client.get(), up, 4093);
    const std::vector<char> atClient = receive(client.get(), down.size());
    serverSide.join();
    QVERIFY(clientSent && serverSent);
    QCOMPARE(atServer.size(), up.size());
    QVERIFY(atServer == up);
    QCOMPARE(atClient.size(), down.size());
    QVERIFY(atClient == down);
    QVERIFY(relay.chunksUp() > 0 && relay.chunksDown() > 0);
}

void TestDelayRelay::eachWayIsLate()
{
    Target target;
    DelayRelay relay(target.port, 40ms);
    auto [client, server] = connectThrough(target, relay);
    QVERIFY(server.get() >= 0);
    const long upBefore = relay.chunksUp(), downBefore = relay.chunksDown();
    // A ping answered at once: the round trip is at least both delays.
    for (int i = 0; i < 3; ++i) {
        const std::vector<char> ping {char('a' + i)};
        QElapsedTimer timer;
        timer.start();
        QVERIFY(sendAll(client.get(), ping, 1));
        QVERIFY(receive(server.get(), 1) == ping);
        QVERIFY(sendAll(server.get(), ping, 1));
        QVERIFY(receive(client.get(), 1) == ping);
        QVERIFY2(timer.nsecsElapsed() >= 80'000'000, qPrintable(QString::number(timer.nsecsElapsed())));
    }
    QCOMPARE(relay.chunksUp() - upBefore, 3L);
    QCOMPARE(relay.chunksDown() - downBefore, 3L);
}

void TestDelayRelay::closeOnEitherSideEndsBoth()
{
    Target target;
    DelayRelay relay(target.port, 5ms);
    {
        // The client goes, having sent its last bytes: the server gets them, then the end.
        auto [client, server] = connectThrough(target, relay);
        QVERIFY(server.get() >= 0);
        QVERIFY(sendAll(client.get(), {'b', 'y', 'e'}, 3));
        client.close();
        QVERIFY(receive(server.get(), 3) == (std::vector<char> {'b', 'y', 'e'}));
        QVERIFY(closedByPeer(server.get()));
    }
    {
        // The server goes: the client gets its last bytes, then the end.
        auto [client, server] = connectThrough(target, relay);
        QVERIFY(server.get() >= 0);
        QVERIFY(sendAll(server.get(), {'x'}, 1));
        server.close();
        QVERIFY(receive(client.get(), 1) == std::vector<char> {'x'});
        QVERIFY(closedByPeer(client.get()));
    }
    {
        // No server to take the connection: the client is not left waiting on a silent relay.
        target.listener.close();
        Fd client = connectTo(relay.port());
        QVERIFY(client.get() >= 0);
        QVERIFY(closedByPeer(client.get()));
    }
}

QTEST_GUILESS_MAIN(TestDelayRelay)
#include "tst_delayrelay.moc"
