#include "data/sql/FileLocks.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <tuple>
#include <vector>

namespace kordane::filelocks {
namespace {

struct FileId {
    unsigned major;
    unsigned minor;
    unsigned long long inode;
    bool operator<(const FileId& o) const
    {
        return std::tie(major, minor, inode) < std::tie(o.major, o.minor, o.inode);
    }
    bool operator==(const FileId&) const = default;
};

struct Lock {
    pid_t pid;
    FileId file;
};

bool idOf(const QString& path, FileId& id)
{
    struct stat st { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    id = {::major(st.st_dev), ::minor(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
    return true;
}

// Every lock granted (not waited for) now: "1: FLOCK  ADVISORY  READ 19150 fe:00:10953009 0 EOF".
std::vector<Lock> grantedLocks()
{
    std::vector<Lock> locks;
    std::FILE* file = std::fopen("/proc/locks", "re");
    if (!file)
        return locks;
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        if (std::strstr(line, "->"))
            continue;
        char kind[16], mode[16], access[16];
        int pid = 0;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(line, "%*d: %15s %15s %15s %d %x:%x:%llu", kind, mode, access, &pid, &major, &minor, &inode) == 7)
            locks.push_back({static_cast<pid_t>(pid), {major, minor, inode}});
    }
    std::fclose(file);
    return locks;
}

// The files in `directory`.
std::set<FileId> filesIn(const QString& directory)
{
    std::set<FileId> files;
    const QDir dir(directory);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        FileId id {};
        if (idOf(dir.filePath(name), id))
            files.insert(id);
    }
    return files;
}

std::set<pid_t> holdersAmong(const std::vector<Lock>& locks, const FileId& id)
{
    std::set<pid_t> pids;
    const pid_t self = ::getpid();
    for (const Lock& lock : locks) {
        if (lock.pid != self && lock.file == id)
            pids.insert(lock.pid);
    }
    return pids;
}

} // namespace

std::set<pid_t> holders(const QString& file)
{
    FileId id {};
    return idOf(file, id) ? holdersAmong(grantedLocks(), id) : std::set<pid_t>();
}

std::set<pid_t> holdersOutside(const QString& file, const QString& directory)
{
    FileId id {};
    if (!idOf(file, id))
        return {};
    // One read of the list for both questions; the directory only when someone else
    // holds the file, which on a desk of its own is never.
    const std::vector<Lock> locks = grantedLocks();
    std::set<pid_t> outside = holdersAmong(locks, id);
    if (outside.empty())
        return outside;
    const std::set<FileId> area = filesIn(directory);
    for (const Lock& lock : locks) {
        if (area.count(lock.file))
            outside.erase(lock.pid);
    }
    return outside;
}

} // namespace kordane::filelocks
