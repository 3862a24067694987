#pragma once
// A file the report writes for people, there whole or not at all: written under a
// temporary name beside it and renamed over it once every write, the flush to disk and
// the close have succeeded. A device or pipe that already exists (/dev/stdout) is written
// as it is, every write checked, since it cannot be renamed over.
#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace kordane::report {

class OutputFile : public QIODevice {
public:
    // Open for writing. Throws Exception "cannot write PATH: why".
    explicit OutputFile(const QString& path);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool isSequential() const override { return true; }
    // Puts the file in place. Throws Exception, as the constructor does, when any write
    // failed, and then nothing of it is left.
    void commit();

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    void flushBuffer();
    [[noreturn]] void fail(int error) const;

    // The descriptor, and the temporary file until it is renamed into place: closed and
    // removed however the writing ends, a constructor that throws included.
    struct Handle {
        int fd = -1;
        QByteArray temporary; // empty when written as it is
        Handle() = default;
        Handle(const Handle&) = delete;
        Handle& operator=(const Handle&) = delete;
        ~Handle();
    };

    QString path_;
    QByteArray target_; // the file that is replaced, symbolic links followed
    Handle file_;
    int error_ = 0; // the first failure's errno
    QByteArray buffer_;
};

} // namespace kordane::report
