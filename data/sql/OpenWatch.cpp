#include "data/sql/OpenWatch.h"

#include <QFile>

#include <sys/inotify.h>
#include <unistd.h>

#include <utility>

namespace kordane {
namespace {

constexpr auto settle = std::chrono::milliseconds(500);

} // namespace

OpenWatch::OpenWatch(const QString& file)
    : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    // Replaced or removed, the file is no longer the one looked at.
    if (fd_ >= 0
        && ::inotify_add_watch(fd_, QFile::encodeName(file).constData(),
                               IN_OPEN | IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF)
            < 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

OpenWatch::~OpenWatch()
{
    if (fd_ >= 0)
        ::close(fd_);
}

OpenWatch::OpenWatch(OpenWatch&& other) noexcept
    : fd_(std::exchange(other.fd_, -1))
    , clean_(std::exchange(other.clean_, false))
    , lastOpen_(other.lastOpen_)
{
}

OpenWatch& OpenWatch::operator=(OpenWatch&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        clean_ = std::exchange(other.clean_, false);
        lastOpen_ = other.lastOpen_;
    }
    return *this;
}

bool OpenWatch::quiet()
{
    if (fd_ < 0)
        return false;
    // Any event, an overflow of the queue included, is an open to look after.
    alignas(inotify_event) char events[4096];
    bool opened = false;
    while (::read(fd_, events, sizeof events) > 0)
        opened = true;
    if (opened) {
        lastOpen_ = std::chrono::steady_clock::now();
        clean_ = false;
    }
    return clean_;
}

void OpenWatch::lookedClean() { clean_ = fd_ >= 0 && std::chrono::steady_clock::now() - lastOpen_ >= settle; }

} // namespace kordane
