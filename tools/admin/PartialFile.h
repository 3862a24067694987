#pragma once
// A file a command writes under a temporary name, ".NAME.partial" beside the name it gets
// once whole. It is held locked while it is written, so that one a killed run left behind
// (no one holds it) can be told from one another run is still writing.
#include <QString>
#include <QStringList>

namespace kordane::admin {

class PartialFile {
public:
    // Throws when it cannot be made: a file of its name is there, from another run.
    explicit PartialFile(const QString& finalName);
    ~PartialFile();
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    const QString& path() const { return path_; }
    // Never over a file of that name.
    void renameTo(const QString& name);

private:
    QString path_;
    int fd_ = -1;
    bool renamed_ = false;
};

// Removes the partial files in `directory` that no run holds and that nothing has written
// to for ten minutes: what killed runs left. Gives their paths.
QStringList removeAbandonedPartials(const QString& directory);

} // namespace kordane::admin
