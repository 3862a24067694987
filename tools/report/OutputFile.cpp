#include "tools/report/OutputFile.h"

#include "data/Exceptions.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kordane::report {
namespace {

constexpr qsizetype chunk = 64 * 1024;

// A name of its own beside `target`, hidden from a listing while it is written.
QByteArray temporaryName(const QByteArray& target)
{
    const qsizetype slash = target.lastIndexOf('/');
    return target.left(slash + 1) + '.' + target.mid(slash + 1) + '.'
        + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
}

} // namespace

OutputFile::OutputFile(const QString& path)
    : path_(path)
{
    const QByteArray named = QFile::encodeName(path);
    struct stat existing { };
    const bool exists = ::stat(named.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        fail(EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) {
        file_.fd = ::open(named.constData(), O_WRONLY | O_CLOEXEC);
    } else {
        // Into the file a link names, so that the link stays; made with the mode the
        // umask gives a new file, or the replaced file's own.
        target_ = exists ? QFile::encodeName(QFileInfo(path).canonicalFilePath()) : named;
        for (int attempt = 0; attempt < 100 && file_.fd < 0; ++attempt) {
            file_.temporary = temporaryName(target_);
            file_.fd = ::open(file_.temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (file_.fd < 0 && errno != EEXIST)
                break;
        }
    }
    if (file_.fd < 0) {
        const int error = errno;
        file_.temporary.clear(); // never made
        fail(error);
    }
    if (exists && !file_.temporary.isEmpty() && ::fchmod(file_.fd, existing.st_mode & 07777) != 0)
        fail(errno);
    QIODevice::open(QIODevice::WriteOnly);
}

OutputFile::Handle::~Handle()
{
    if (fd >= 0)
        ::close(fd);
    if (!temporary.isEmpty())
        ::unlink(temporary.constData());
}

qint64 OutputFile::writeData(const char* data, qint64 size)
{
    if (error_ != 0)
        return -1;
    buffer_.append(data, size);
    if (buffer_.size() >= chunk)
        flushBuffer();
    return error_ != 0 ? -1 : size;
}

void OutputFile::flushBuffer()
{
    const char* next = buffer_.constData();
    qsizetype left = buffer_.size();
    while (left > 0 && error_ == 0) {
        const ssize_t written = ::write(file_.fd, next, static_cast<std::size_t>(left));
        if (written < 0 && errno != EINTR) {
            error_ = errno;
        } else if (written > 0) {
            next += written;
            left -= written;
        }
    }
    buffer_.clear();
}

void OutputFile::commit()
{
    QIODevice::close();
    flushBuffer();
    // A delayed write fails at the latest here; a device or pipe has nothing to sync.
    if (error_ == 0 && !file_.temporary.isEmpty() && ::fsync(file_.fd) != 0)
        error_ = errno;
    const int closed = ::close(file_.fd);
    file_.fd = -1;
    // Interrupted, the descriptor is closed all the same.
    if (error_ == 0 && closed != 0 && errno != EINTR)
        error_ = errno;
    if (error_ != 0)
        fail(error_);
    if (!file_.temporary.isEmpty()) {
        if (::rename(file_.temporary.constData(), target_.constData()) != 0)
            fail(errno);
        file_.temporary.clear();
    }
}

void OutputFile::fail(int error) const
{
    throw Exception(QStringLiteral("cannot write %1: %2").arg(path_, QString::fromLocal8Bit(std::strerror(error))));
}

} // namespace kordane::report
