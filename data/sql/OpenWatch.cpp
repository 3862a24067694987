#include "data/sql/OpenWatch.h"

#include <QFile>

#include <sys/inotify.h>
#include <unistd.h>

#include <mutex>
#include <utility>
#include <vector>

namespace kordane {
namespace {

constexpr auto settle = std::chrono::milliseconds(500);

// Reads what the instance has queued, all of it; whether there was anything.
bool drain(int fd)
{
    alignas(inotify_event) char events[4096];
    bool any = false;
    while (::read(fd, events, sizeof events) > 0)
        any = true;
    return any;
}

// Closing an inotify instance waits for the kernel's grace period, tens of milliseconds on
// some machines, which a connection's close or reconnect would wait each time. Instances
// whose watch has been removed are kept for the next watch instead, and closed only by
// the process's end.
class Instances {
public:
    static Instances& shared()
    {
        static Instances* instances = new Instances; // kept to the end: no close at exit
        return *instances;
    }

    int take()
    {
        {
            const std::lock_guard lock(mutex_);
            if (!idle_.empty()) {
                const int fd = idle_.back();
                idle_.pop_back();
                // What the removed watch left queued (its IN_IGNORED at least) is not the
                // next one's.
                drain(fd);
                return fd;
            }
        }
        return ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    }

    void giveBack(int fd, int watch)
    {
        if (watch >= 0)
            ::inotify_rm_watch(fd, watch);
        const std::lock_guard lock(mutex_);
        if (idle_.size() < kept)
            idle_.push_back(fd);
        else
            ::close(fd);
    }

private:
    static constexpr std::size_t kept = 8;
    std::mutex mutex_;
    std::vector<int> idle_;
};

} // namespace

OpenWatch::OpenWatch(const QString& file)
    : fd_(Instances::shared().take())
{
    // Replaced or removed, the file is no longer the one looked at.
    if (fd_ >= 0) {
        watch_ = ::inotify_add_watch(fd_, QFile::encodeName(file).constData(),
                                     IN_OPEN | IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF);
        if (watch_ < 0)
            release();
    }
}

OpenWatch::~OpenWatch() { release(); }

void OpenWatch::release()
{
    if (fd_ >= 0)
        Instances::shared().giveBack(std::exchange(fd_, -1), std::exchange(watch_, -1));
}

OpenWatch::OpenWatch(OpenWatch&& other) noexcept
    : fd_(std::exchange(other.fd_, -1))
    , watch_(std::exchange(other.watch_, -1))
    , clean_(std::exchange(other.clean_, false))
    , lastOpen_(other.lastOpen_)
{
}

OpenWatch& OpenWatch::operator=(OpenWatch&& other) noexcept
{
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        watch_ = std::exchange(other.watch_, -1);
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
    if (drain(fd_)) {
        lastOpen_ = std::chrono::steady_clock::now();
        clean_ = false;
    }
    return clean_;
}

void OpenWatch::lookedClean() { clean_ = fd_ >= 0 && std::chrono::steady_clock::now() - lastOpen_ >= settle; }

} // namespace kordane
