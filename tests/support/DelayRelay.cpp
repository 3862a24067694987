#include "tests/support/DelayRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <deque>
#include <list>
#include <stdexcept>
#include <utility>
#include <vector>

namespace kordane::test {
namespace {

using Clock = std::chrono::steady_clock;

// What may wait in one direction before the relay stops reading from its source.
constexpr std::size_t queueLimit = 4 << 20;
constexpr std::size_t readSize = 64 << 10;
// Connections past this many are closed at once.
constexpr std::size_t maxLinks = 64;

class Socket {
public:
    explicit Socket(int fd = -1)
        : fd_(fd)
    {
    }
    Socket(Socket&& other) noexcept
        : fd_(std::exchange(other.fd_, -1))
    {
    }
    Socket& operator=(Socket&&) = delete;
    ~Socket()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int fd() const { return fd_; }

private:
    int fd_;
};

struct Chunk {
    Clock::time_point due;
    std::vector<char> bytes;
    std::size_t sent = 0;
};

// One direction of a connection.
struct Way {
    std::deque<Chunk> queue;
    std::size_t queued = 0;
    bool ended = false; // its source closed: the connection ends once the queue is out
    bool blocked = false; // the destination took no more: wait until it can
};

struct Link {
    Socket client, server;
    Way up, down; // client to server, server to client
    bool dead = false;
};

// Each chunk as soon as it is read: the relay's delay must be the only one added.
void setNoDelay(int fd)
{
    const int on = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

sockaddr_in loopback(int port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

// Connects the non-blocking `fd` to the port, waiting at most five seconds.
bool connected(int fd, int port)
{
    const sockaddr_in target = loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
        return true;
    if (errno != EINPROGRESS)
        return false;
    pollfd out {fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    return ::poll(&out, 1, 5000) == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

// Reads what `from` has into the way's queue; false when the connection is broken.
bool readInto(int from, Way& way, std::chrono::microseconds delay, std::atomic<long>& chunks)
{
    std::vector<char> bytes(readSize);
    const ssize_t n = ::recv(from, bytes.data(), bytes.size(), 0);
    if (n > 0) {
        bytes.resize(std::size_t(n));
        way.queued += bytes.size();
        way.queue.push_back({Clock::now() + delay, std::move(bytes)});
        ++chunks;
        return true;
    }
    if (n == 0) {
        way.ended = true;
        return true;
    }
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

// Writes every chunk that is due; false when the connection is broken.
bool flush(int to, Way& way, Clock::time_point now)
{
    way.blocked = false;
    while (!way.queue.empty() && way.queue.front().due <= now) {
        Chunk& c = way.queue.front();
        const ssize_t n = ::send(to, c.bytes.data() + c.sent, c.bytes.size() - c.sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                way.blocked = true;
                return true;
            }
            return false;
        }
        c.sent += std::size_t(n);
        if (c.sent == c.bytes.size()) {
            way.queued -= c.bytes.size();
            way.queue.pop_front();
        }
    }
    return true;
}

short wanted(const Way& out, const Way& in)
{
    short events = 0;
    if (!out.ended && out.queued < queueLimit)
        events |= POLLIN;
    if (in.blocked)
        events |= POLLOUT;
    return events;
}

} // namespace

DelayRelay::DelayRelay(int targetPort, std::chrono::microseconds delay)
    : targetPort_(targetPort)
    , delay_(delay)
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    wake_ = ::eventfd(0, EFD_CLOEXEC);
    if (listener_ < 0 || wake_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener_ >= 0)
            ::close(listener_);
        if (wake_ >= 0)
            ::close(wake_);
        throw std::runtime_error("the relay cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

DelayRelay::~DelayRelay()
{
    const std::uint64_t one = 1;
    // Nothing else can end the thread: if the wake-up could not be written, it would block
    // the join for ever, so the write is retried until it goes.
    while (::write(wake_, &one, sizeof one) < 0 && errno == EINTR) {
    }
    thread_.join();
    ::close(listener_);
    ::close(wake_);
}

QString DelayRelay::address() const
{
    return QStringLiteral("127.0.0.1/%1").arg(port_);
}

void DelayRelay::run()
{
    std::list<Link> links;
    std::vector<pollfd> fds;
    for (;;) {
        fds.assign({{wake_, POLLIN, 0}, {listener_, POLLIN, 0}});
        Clock::time_point next = Clock::time_point::max();
        for (const Link& l : links) {
            // A socket waited on for nothing is left out: its hang-up would wake the loop
            // again and again until the queue is out.
            const short clientEvents = wanted(l.up, l.down);
            const short serverEvents = wanted(l.down, l.up);
            fds.push_back({clientEvents ? l.client.fd() : -1, clientEvents, 0});
            fds.push_back({serverEvents ? l.server.fd() : -1, serverEvents, 0});
            for (const Way* w : {&l.up, &l.down})
                if (!w->blocked && !w->queue.empty())
                    next = std::min(next, w->queue.front().due);
        }
        timespec wait {};
        timespec* deadline = nullptr;
        if (next != Clock::time_point::max()) {
            const auto left = std::max(Clock::duration::zero(), next - Clock::now());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            wait.tv_sec = time_t(ns / 1000000000);
            wait.tv_nsec = long(ns % 1000000000);
            deadline = &wait;
        }
        if (::ppoll(fds.data(), fds.size(), deadline, nullptr) < 0 && errno != EINTR)
            return;
        if (fds[0].revents)
            return;
        std::size_t i = 2;
        for (Link& l : links) {
            const short clientEvents = fds[i++].revents;
            const short serverEvents = fds[i++].revents;
            // A hang-up still delivers what was sent before it: read until the end.
            if (clientEvents & (POLLIN | POLLHUP | POLLERR))
                l.dead |= !readInto(l.client.fd(), l.up, delay_, up_);
            if (serverEvents & (POLLIN | POLLHUP | POLLERR))
                l.dead |= !readInto(l.server.fd(), l.down, delay_, down_);
            const Clock::time_point now = Clock::now();
            l.dead |= !flush(l.server.fd(), l.up, now) || !flush(l.client.fd(), l.down, now);
            // A side that closed ends both, once what it sent has gone on.
            l.dead |= (l.up.ended && l.up.queue.empty()) || (l.down.ended && l.down.queue.empty());
        }
        links.remove_if([](const Link& l) { return l.dead; });
        // Only now: a link taken in this round has no place among the sockets polled.
        if (fds[1].revents & POLLIN) {
            Socket client(::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            Socket server(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
            // A connection the server does not take is closed at once, as the server would.
            if (client.fd() >= 0 && server.fd() >= 0 && links.size() < maxLinks && connected(server.fd(), targetPort_)) {
                setNoDelay(client.fd());
                setNoDelay(server.fd());
                links.push_back({std::move(client), std::move(server), {}, {}});
            }
        }
    }
}

} // namespace kordane::test
