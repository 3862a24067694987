#pragma once
// Whether any process may have opened a file since a look at its holders found nobody
// foreign: an inotify watch on the file, so that the look (a read of the kernel's whole
// lock list) runs again only once the file has been opened, and not before every write.
// An engine attaches by opening the file and locks it at once; a look within a moment of
// an open might come before that lock, so a look is trusted only once the file has been
// left unopened for that moment.
#include <QString>

#include <chrono>

namespace kordane {

class OpenWatch {
public:
    OpenWatch() = default; // watches nothing: never quiet
    explicit OpenWatch(const QString& file);
    ~OpenWatch();
    OpenWatch(OpenWatch&& other) noexcept;
    OpenWatch& operator=(OpenWatch&& other) noexcept;

    // True when the last look was clean and settled, and nothing has opened the file
    // since; false whenever that cannot be known (no watch could be set).
    bool quiet();
    // After a look that found no foreign holder.
    void lookedClean();

private:
    void release();

    int fd_ = -1;
    int watch_ = -1;
    bool clean_ = false;
    std::chrono::steady_clock::time_point lastOpen_ = std::chrono::steady_clock::now();
};

} // namespace kordane
