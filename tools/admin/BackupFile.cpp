#include "tools/admin/BackupFile.h"

#include "data/sql/EmbeddedEngine.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace kordane::admin {
namespace {

constexpr int manifestVersion = 1;
constexpr char manifestSuffix[] = ".manifest";
// BLAKE2b: strong, and about three times as fast here as Qt's SHA-256 on a large file.
constexpr auto checksumAlgorithm = QCryptographicHash::Blake2b_256;
constexpr qint64 syncStretch = 8 << 20;

QJsonValue timeValue(const QDateTime& time)
{
    return time.isValid() ? QJsonValue(time.toUTC().toString(Qt::ISODateWithMs)) : QJsonValue();
}

QDateTime timeOf(const QJsonValue& value)
{
    return QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
}

QJsonObject countsObject(const RecordCounts& counts)
{
    QJsonObject object;
    for (const auto& [table, records] : counts)
        object.insert(table, records);
    return object;
}

[[noreturn]] void notAManifest(const QString& path, const char* why)
{
    throw std::runtime_error(path.toStdString() + " is no Kordane backup manifest (" + why + ")");
}

} // namespace

QString manifestPath(const QString& backupFile)
{
    return backupFile + QLatin1String(manifestSuffix);
}

Manifest readManifest(const QString& backupFile)
{
    const QString path = manifestPath(backupFile);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error(backupFile.toStdString() + " has no manifest " + path.toStdString()
                                 + " beside it, which says what it holds: kordane-admin backup writes both");
    }
    QJsonParseError error {};
    const QJsonObject object = QJsonDocument::fromJson(file.read(1 << 20), &error).object();
    if (error.error != QJsonParseError::NoError)
        notAManifest(path, "not JSON");
    if (object.value(u"kordane-backup").toInt() != manifestVersion)
        notAManifest(path, "no version this tool reads");
    Manifest manifest;
    manifest.database = object.value(u"database").toString();
    manifest.size = object.value(u"size").toInteger(-1);
    manifest.checksum = object.value(u"blake2b-256").toString().toLatin1();
    manifest.started = timeOf(object.value(u"started"));
    manifest.finished = timeOf(object.value(u"finished"));
    if (manifest.database.isEmpty() || manifest.size < 0 || manifest.checksum.size() != 64 || !manifest.finished.isValid())
        notAManifest(path, "a field is missing");
    if (object.value(u"counts").isObject()) {
        RecordCounts counts;
        const QJsonObject stored = object.value(u"counts").toObject();
        for (auto it = stored.begin(); it != stored.end(); ++it) {
            if (!it.value().isDouble() || it.value().toInteger(-1) < 0)
                notAManifest(path, "a record count is no number");
            counts[it.key()] = it.value().toInteger();
        }
        manifest.counts = counts;
    }
    if (object.value(u"verification").isObject()) {
        const QJsonObject v = object.value(u"verification").toObject();
        manifest.verification = Verification {timeOf(v.value(u"at")), v.value(u"passed").toBool(), v.value(u"detail").toString()};
    }
    return manifest;
}

void writeManifest(const QString& backupFile, const Manifest& manifest)
{
    QJsonObject object {{QStringLiteral("kordane-backup"), manifestVersion},
                        {QStringLiteral("database"), manifest.database},
                        {QStringLiteral("file"), QFileInfo(backupFile).fileName()},
                        {QStringLiteral("size"), manifest.size},
                        {QStringLiteral("blake2b-256"), QString::fromLatin1(manifest.checksum)},
                        {QStringLiteral("started"), timeValue(manifest.started)},
                        {QStringLiteral("finished"), timeValue(manifest.finished)},
                        {QStringLiteral("counts"), manifest.counts ? QJsonValue(countsObject(*manifest.counts)) : QJsonValue()}};
    if (manifest.verification) {
        object.insert(QStringLiteral("verification"),
                      QJsonObject {{QStringLiteral("at"), timeValue(manifest.verification->at)},
                                   {QStringLiteral("passed"), manifest.verification->passed},
                                   {QStringLiteral("detail"), manifest.verification->detail}});
    }
    const QByteArray text = QJsonDocument(object).toJson();
    const QString path = manifestPath(backupFile);
    QSaveFile file(path);
    // QSaveFile puts the bytes on the disk before it renames; the directory's entry follows.
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw std::runtime_error("cannot write " + path.toStdString() + ": " + file.errorString().toStdString());
    syncToDisk(QFileInfo(path).absolutePath());
}

void checkSize(const QString& file, const Manifest& manifest)
{
    const QFileInfo info(file);
    if (!info.isFile())
        throw std::runtime_error(file.toStdString() + " is no file");
    if (info.size() != manifest.size) {
        throw std::runtime_error(QStringLiteral("%1 is truncated or damaged: it holds %2 bytes, its backup wrote %3")
                                     .arg(file)
                                     .arg(info.size())
                                     .arg(manifest.size)
                                     .toStdString());
    }
}

Fingerprint fingerprint(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(checksumAlgorithm);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file) || file.error() != QFileDevice::NoError)
        throw std::runtime_error("cannot read " + path.toStdString() + ": " + file.errorString().toStdString());
    return {file.size(), hash.result().toHex()};
}

void checkChecksum(const QString& path, const Manifest& manifest)
{
    const Fingerprint found = fingerprint(path);
    if (found.size != manifest.size || found.checksum != manifest.checksum) {
        throw std::runtime_error(path.toStdString()
                                 + " is damaged: its bytes are not the ones its backup wrote (their checksum differs"
                                   " from the manifest's)");
    }
}

FingerprintedFile::FingerprintedFile(const QString& path)
    : file_(path)
    , hash_(checksumAlgorithm)
{
    if (!file_.open(QIODevice::WriteOnly | QIODevice::ExistingOnly | QIODevice::Truncate) || !file_.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        fail();
}

void FingerprintedFile::write(const QByteArray& bytes)
{
    if (file_.write(bytes) != bytes.size())
        fail();
    hash_.addData(bytes);
    size_ += bytes.size();
    // The disk writes what came so far while the rest comes: the fsync at the end then
    // waits for the last stretch only.
    if (size_ - synced_ >= syncStretch) {
        if (!file_.flush())
            fail();
        ::sync_file_range(file_.handle(), synced_, size_ - synced_, SYNC_FILE_RANGE_WRITE);
        synced_ = size_;
    }
}

Fingerprint FingerprintedFile::finish()
{
    if (!file_.flush())
        fail();
    if (::fsync(file_.handle()) != 0)
        throw std::runtime_error("cannot put " + file_.fileName().toStdString() + " on the disk: " + std::strerror(errno));
    file_.close();
    return {size_, hash_.result().toHex()};
}

void FingerprintedFile::fail()
{
    throw std::runtime_error("cannot write " + file_.fileName().toStdString() + ": " + file_.errorString().toStdString());
}

void syncToDisk(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("cannot put " + path.toStdString() + " on the disk: " + std::strerror(error));
    }
    ::close(fd);
}

QString siteLabel(const QString& database)
{
    QString label = QFileInfo(database.section(u':', engine::isServerDatabase(database) ? 1 : 0)).completeBaseName();
    if (engine::isServerDatabase(database))
        label.prepend(database.section(u':', 0, 0).section(u'/', 0, 0) + u'-');
    label.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]+")), QStringLiteral("_"));
    return label.isEmpty() ? QStringLiteral("site") : label;
}

bool sameDatabase(const QString& a, const QString& b)
{
    if (engine::isServerDatabase(a) || engine::isServerDatabase(b))
        return a.trimmed() == b.trimmed();
    const auto name = [](const QString& path) {
        const QFileInfo info(path.trimmed());
        const QString canonical = info.canonicalFilePath();
        return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
    };
    return name(a) == name(b);
}

std::vector<StoredBackup> backupsOf(const QString& database, const QString& directory)
{
    std::vector<StoredBackup> found;
    const QDir dir(directory);
    const QString suffix = QLatin1String(manifestSuffix);
    for (const QString& name : dir.entryList({QStringLiteral("*") + suffix}, QDir::Files)) {
        const QString file = dir.filePath(name.chopped(suffix.size()));
        try {
            Manifest manifest = readManifest(file);
            if (sameDatabase(manifest.database, database) && QFileInfo::exists(file))
                found.push_back({file, std::move(manifest)});
        } catch (const std::runtime_error&) {
            // Not ours to count or remove: another program's file of that name.
        }
    }
    std::sort(found.begin(), found.end(), [](const StoredBackup& a, const StoredBackup& b) {
        return a.manifest.finished != b.manifest.finished ? a.manifest.finished > b.manifest.finished : a.file > b.file;
    });
    return found;
}

} // namespace kordane::admin
