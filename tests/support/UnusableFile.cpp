#include "tests/support/UnusableFile.h"

#include "data/config/ConfigFile.h"
#include "data/sql/SqlConnection.h"

#include <QFile>

#include <sys/stat.h>

namespace kordane::test {

QByteArray paddedText(const QByteArray& text, qsizetype size)
{
    QByteArray padded = text;
    const QByteArray comment = ";" + QByteArray(78, 'x') + "\n";
    while (padded.size() + comment.size() <= size)
        padded += comment;
    return padded + QByteArray(size - padded.size(), '\n');
}

bool makeUnusable(const QString& path, Unusable kind)
{
    QFile::remove(path);
    switch (kind) {
    case Unusable::Fifo:
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    case Unusable::Zero:
        return QFile::link(QStringLiteral("/dev/zero"), path);
    case Unusable::OverLimit: {
        QFile file(path);
        const QByteArray text = paddedText(QStringLiteral("[General]\n[%1]\n[Interbase]\n").arg(connectionSection).toUtf8(), config::maxConfigFileBytes + 1);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.flush();
    }
    }
    return false;
}

QString refusalOf(Unusable kind)
{
    switch (kind) {
    case Unusable::Fifo:
        return QStringLiteral("is a FIFO, not a regular file");
    case Unusable::Zero:
        return QStringLiteral("is a character device, not a regular file");
    case Unusable::OverLimit:
        return QStringLiteral("is larger than 1 MB, which no configuration file is");
    }
    return {};
}

} // namespace kordane::test
