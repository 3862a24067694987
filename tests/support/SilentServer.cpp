#include "tests/support/SilentServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace kordane::test {

SilentServer::SilentServer()
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener_ >= 0)
            ::close(listener_);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
}

SilentServer::~SilentServer()
{
    for (const int client : clients_)
        ::close(client);
    ::close(listener_);
}

QString SilentServer::address() const
{
    return QStringLiteral("127.0.0.1/%1").arg(port_);
}

bool SilentServer::waitForClient()
{
    pollfd incoming {listener_, POLLIN, 0};
    for (int i = 0; i < 300; ++i) {
        if (::poll(&incoming, 1, 100) > 0) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                clients_.push_back(client);
                return true;
            }
        }
    }
    return false;
}

} // namespace kordane::test
