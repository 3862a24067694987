#include "data/config/ConfigFile.h"

#include "data/Exceptions.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kordane::config {
namespace {

class Descriptor {
public:
    explicit Descriptor(int fd)
        : fd_(fd)
    {
    }
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a directory");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a special file");
}

[[noreturn]] void refuse(const QString& role, const QString& path, const QString& why)
{
    throw EDatabaseError(QStringLiteral("%1 %2 %3").arg(role, path, why));
}

[[noreturn]] void refuseLarge(const QString& role, const QString& path)
{
    refuse(role, path, QStringLiteral("is larger than 1 MB, which no configuration file is"));
}

[[noreturn]] void refuseUnreadable(const QString& role, const QString& path, int error)
{
    refuse(role, path, QStringLiteral("cannot be read: %1").arg(QString::fromLocal8Bit(std::strerror(error))));
}

void checkStatus(const struct stat& status, const QString& role, const QString& path)
{
    if (!S_ISREG(status.st_mode))
        refuse(role, path, QStringLiteral("is %1, not a regular file").arg(kindOf(status.st_mode)));
    if (status.st_size > maxConfigFileBytes)
        refuseLarge(role, path);
}

bool absent(int error) { return error == ENOENT || error == ENOTDIR; }

} // namespace

std::optional<QByteArray> readConfigFile(const QString& path, const QString& role)
{
    if (path.isEmpty())
        return std::nullopt;
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come. The
    // descriptor, not the path, is looked at after: nothing can be swapped in between.
    const Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        const int error = errno;
        if (absent(error))
            return std::nullopt;
        checkConfigFile(path, role); // a socket cannot be opened at all: say so
        refuseUnreadable(role, path, error);
    }
    struct stat status { };
    if (::fstat(fd.get(), &status) != 0)
        refuseUnreadable(role, path, errno);
    checkStatus(status, role, path);
    // A file that grows while it is read stops one chunk past the limit.
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(status.st_size));
    char chunk[16384];
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            refuseUnreadable(role, path, errno);
        if (got == 0)
            return bytes;
        bytes.append(chunk, got);
        if (bytes.size() > maxConfigFileBytes)
            refuseLarge(role, path);
    }
}

void checkConfigFile(const QString& path, const QString& role)
{
    struct stat status { };
    // One that cannot be looked at is left to its reader, which says it cannot read it.
    if (::stat(QFile::encodeName(path).constData(), &status) == 0)
        checkStatus(status, role, path);
}

} // namespace kordane::config
