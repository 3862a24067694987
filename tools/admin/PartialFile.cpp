#include "tools/admin/PartialFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace kordane::admin {
namespace {

// A run older than this without a write is no run: a backup writes as it goes.
constexpr qint64 quietSeconds = 10 * 60;

int openFile(const QString& path, int flags)
{
    return ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0600);
}

bool lockOf(int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; }

} // namespace

PartialFile::PartialFile(const QString& finalName)
{
    const QFileInfo info(finalName);
    path_ = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".partial");
    // Made here, never over a file: for its owner's eyes only, as what it will hold is.
    fd_ = openFile(path_, O_RDWR | O_CREAT | O_EXCL);
    if (fd_ < 0)
        throw std::runtime_error("cannot make " + path_.toStdString() + ": " + std::strerror(errno));
    if (!lockOf(fd_)) {
        const std::string why = std::strerror(errno);
        ::close(fd_);
        QFile::remove(path_);
        throw std::runtime_error("cannot lock " + path_.toStdString() + ": " + why);
    }
}

PartialFile::~PartialFile()
{
    if (!renamed_)
        QFile::remove(path_);
    if (fd_ >= 0)
        ::close(fd_);
}

void PartialFile::renameTo(const QString& name)
{
    if (!QFile::rename(path_, name))
        throw std::runtime_error("cannot rename " + path_.toStdString() + " to " + name.toStdString());
    renamed_ = true;
}

QStringList removeAbandonedPartials(const QString& directory)
{
    QStringList removed;
    const QDateTime quietSince = QDateTime::currentDateTimeUtc().addSecs(-quietSeconds);
    const QDir dir(directory);
    for (const QFileInfo& file : dir.entryInfoList({QStringLiteral(".*.partial")}, QDir::Files | QDir::Hidden)) {
        if (file.lastModified().toUTC() > quietSince)
            continue;
        const int fd = openFile(file.absoluteFilePath(), O_RDONLY);
        if (fd < 0)
            continue;
        // Removed while held, so that no run can take it up in between.
        if (lockOf(fd) && QFile::remove(file.absoluteFilePath()))
            removed << file.absoluteFilePath();
        ::close(fd);
    }
    return removed;
}

} // namespace kordane::admin
