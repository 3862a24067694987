#include "tools/admin/PunchWatch.h"

#include "tools/admin/Site.h"
#include "tools/admin/SiteParts.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

#include <cstdio>
#include <map>
#include <stdexcept>

namespace kordane::admin {
namespace {

struct Seen {
    qint64 size;
    QDateTime modified;
    bool operator==(const Seen&) const = default;
};

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// A name in `folder` not yet taken: NAME, else NAME.1, NAME.2 ...
QString freeName(const QDir& folder, const QString& name)
{
    QString candidate = name;
    for (int n = 1; QFileInfo::exists(folder.filePath(candidate)) || QFileInfo::exists(folder.filePath(candidate + QStringLiteral(".reason"))); ++n)
        candidate = name + u'.' + QString::number(n);
    return candidate;
}

void moveTo(const QDir& folder, const QFileInfo& file, const QString& name)
{
    if (!QFile::rename(file.filePath(), folder.filePath(name)))
        throw std::runtime_error("cannot move " + file.filePath().toStdString() + " into " + folder.path().toStdString());
}

void refuse(const QDir& refused, const QFileInfo& file, const QString& why)
{
    const QString name = freeName(refused, file.fileName());
    // The reason first, whole, so that a refused file is never found without it.
    QSaveFile reason(refused.filePath(name + QStringLiteral(".reason")));
    const QByteArray text = why.toUtf8();
    if (!reason.open(QIODevice::WriteOnly) || reason.write(text) != text.size() || !reason.commit())
        throw std::runtime_error("cannot write " + reason.fileName().toStdString() + ": " + reason.errorString().toStdString());
    moveTo(refused, file, name);
    say(file.fileName() + QStringLiteral(": refused, ") + refused.filePath(name + QStringLiteral(".reason")));
}

bool waiting(const QString& name)
{
    return name.startsWith(u'.') || name.endsWith(QStringLiteral(".tmp")) || name.endsWith(QStringLiteral(".part"));
}

// Imports one complete file and moves it; false when the site could not be reached, and
// the file stays.
bool take(const Site& site, const QFileInfo& file, const PunchImportOptions& options, const QDir& done, const QDir& refused)
{
    PunchImport result;
    try {
        RawFirebird db = site.attach();
        result = importPunches(site, db, file.filePath(), options, QDateTime::currentDateTime());
    } catch (const PunchFileError& e) {
        refuse(refused, file, QString::fromUtf8(e.what()) + u'\n');
        return true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kordane-admin: %s: %s (tried again later)\n", qPrintable(file.fileName()), e.what());
        return false;
    }
    if (!result.refused.empty()) {
        QString why;
        for (const LineRefusal& refusal : result.refused)
            why += QStringLiteral("line %1: %2\n").arg(refusal.line).arg(refusal.reason);
        refuse(refused, file, why + result.summary() + QStringLiteral("\nnothing written\n"));
        return true;
    }
    moveTo(done, file, freeName(done, file.fileName()));
    for (const QString& note : result.notes)
        say(file.fileName() + QStringLiteral(": ") + note);
    say(file.fileName() + QStringLiteral(": ") + result.summary());
    return true;
}

} // namespace

void watchFolder(const Site& site, const QString& dir, const PunchImportOptions& options, double interval)
{
    const QDir folder(dir);
    if (!folder.exists())
        throw std::runtime_error("no folder " + dir.toStdString());
    for (const char* sub : {"done", "refused"}) {
        if (!folder.mkpath(QString::fromLatin1(sub)))
            throw std::runtime_error("cannot make " + folder.filePath(QString::fromLatin1(sub)).toStdString());
    }
    {
        // A site without the tables would refuse every file, for ever.
        RawFirebird db = attachWithPart(site, "punches");
    }
    const QDir done(folder.filePath(QStringLiteral("done")));
    const QDir refused(folder.filePath(QStringLiteral("refused")));
    say(QStringLiteral("watching %1").arg(folder.absolutePath()));
    std::map<QString, Seen> seen;
    for (;;) {
        std::map<QString, Seen> now;
        for (const QFileInfo& file : folder.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Time | QDir::Reversed)) {
            if (waiting(file.fileName()))
                continue;
            const Seen state {file.size(), file.lastModified()};
            const auto before = seen.find(file.fileName());
            if (before == seen.end() || !(before->second == state) || !take(site, file, options, done, refused))
                now[file.fileName()] = state;
        }
        seen = std::move(now);
        QThread::msleep(static_cast<unsigned long>(interval * 1000));
    }
}

} // namespace kordane::admin
