#pragma once
// A backup as kordane-admin keeps it: gbak's file, and beside it a manifest (the file's
// name and ".manifest") that says what it holds, so that a restore can tell a damaged or
// truncated file, another site's backup, and a copy that lost records.
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace kordane::admin {

using RecordCounts = std::map<QString, qint64>; // table name, records

struct Verification {
    QDateTime at;
    bool passed = false;
    QString detail;
};

struct Manifest {
    QString database; // as the site's connections file names it
    qint64 size = 0;
    QByteArray checksum; // BLAKE2b-256, hex
    QDateTime started;
    QDateTime finished;
    // The records the backup holds; none when they could not be told at backup time (on a
    // server, desks wrote while it ran): then the first verification counts them.
    std::optional<RecordCounts> counts;
    std::optional<Verification> verification;
};

QString manifestPath(const QString& backupFile);

// Throws, naming the file, when it is missing or is no manifest.
Manifest readManifest(const QString& backupFile);
// In place whole or not at all, on the disk before it returns.
void writeManifest(const QString& backupFile, const Manifest& manifest);

// The file's size and checksum.
struct Fingerprint {
    qint64 size = 0;
    QByteArray checksum;
};

// Reads the file whole. Throws when it cannot.
Fingerprint fingerprint(const QString& file);
// Throws when `file` is not as long as its manifest says: truncated, or another file.
void checkSize(const QString& file, const Manifest& manifest);
// Reads the file whole; throws when its bytes are not the ones the manifest describes.
void checkChecksum(const QString& file, const Manifest& manifest);

// A backup file written as its bytes come, its fingerprint taken on the way: into the
// empty file its caller made for its owner's eyes only (it holds every record), and on the
// disk before finish() returns. Throws when a write fails.
class FingerprintedFile {
public:
    explicit FingerprintedFile(const QString& path);
    void write(const QByteArray& bytes);
    Fingerprint finish();

private:
    [[noreturn]] void fail();

    QFile file_;
    QCryptographicHash hash_;
    qint64 size_ = 0;
    qint64 synced_ = 0; // handed to the disk
};

// Forces a file's bytes, or a directory's entries, to the disk; throws when it cannot.
void syncToDisk(const QString& path);

// The site's name in its backups' file names: the database file's base name, with the
// server's host before it ("POSDATA", "dbhost-kordane"), only letters, digits, - and _.
QString siteLabel(const QString& database);

// The manifests of `database`'s backups in `directory`, newest first.
struct StoredBackup {
    QString file;
    Manifest manifest;
};
std::vector<StoredBackup> backupsOf(const QString& database, const QString& directory);

// Two names of one embedded database file (symbolic links, "..", relative) are one.
bool sameDatabase(const QString& a, const QString& b);

} // namespace kordane::admin
