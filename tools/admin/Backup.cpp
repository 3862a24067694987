// backup and restore: a site's database put into a file by Firebird's own gbak, and back
// into a database checked before it takes the database's place. The embedded engine's
// tools run in the set-up of the site's programs (the lock directory beside the file), so
// that they work beside open desks; a server's backup and restore run on the server
// through its service manager, the file streamed to and from this machine.
#include "data/sql/EmbeddedEngine.h"
#include "data/sql/FileLocks.h"
#include "tools/admin/Admin.h"
#include "tools/admin/BackupFile.h"
#include "tools/admin/PartialFile.h"
#include "tools/admin/Site.h"
#include "tools/process/Program.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace kordane::admin {
namespace {

constexpr char utilsPackage[] = "firebird3.0-utils";
constexpr int defaultMaxAgeHours = 36;

// Where a database is, for gbak and gfix.
struct Place {
    QString database; // as a connection names it: a file, or host[/port]:path
    QString service; // host[/port]:service_mgr on a server; empty for a file
    QString path; // the file, on this machine or on the server
    bool onServer() const { return !service.isEmpty(); }
};

Place placeOf(const QString& given)
{
    const QString database = given.trimmed();
    if (!engine::isServerDatabase(database)) {
        const QString file = QFileInfo(database).absoluteFilePath();
        return {file, {}, file};
    }
    const qsizetype colon = database.indexOf(u':');
    const QString host = database.left(colon);
    const QString path = database.mid(colon + 1);
    if (database.contains(QStringLiteral("://")) || !path.startsWith(u'/'))
        throw std::runtime_error(database.toStdString() + ": backup and restore take a server's database as host[/port]:/path");
    return {database, host + QStringLiteral(":service_mgr"), path};
}

// A database named `name` in the directory of `beside`, on the same machine or server.
Place besidePlace(const Place& beside, const QString& name)
{
    const QString path = QFileInfo(beside.path).absolutePath() + u'/' + name;
    return {beside.onServer() ? beside.service.chopped(int(qstrlen(":service_mgr"))) + u':' + path : path,
            beside.service, path};
}

// Firebird's tools take their account from ISC_USER and ISC_PASSWORD, so that no password
// shows in the process list; FIREBIRD and FIREBIRD_LOCK are the engine's set-up.
QProcessEnvironment toolEnvironment(const Account& admin)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ISC_USER"), admin.user);
    environment.insert(QStringLiteral("ISC_PASSWORD"), admin.password);
    return environment;
}

// What a tool said, for its failure: its errors, else the end of what it printed.
std::string toolText(const tools::ProgramRun& run)
{
    const QByteArray err = run.err.trimmed();
    if (!err.isEmpty())
        return err.toStdString();
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    return lines.mid(qMax(0, int(lines.size()) - 5)).join('\n').toStdString();
}

tools::ProgramRun firebirdTool(const char* program, const QStringList& arguments, const Account& admin,
                               const tools::ProgramStreams& streams = {})
{
    tools::ProgramRun run = tools::runProgram(QString::fromLatin1(program), arguments, toolEnvironment(admin), streams, utilsPackage);
    if (run.exitCode != 0)
        throw std::runtime_error(std::string(program) + " failed: " + toolText(run));
    return run;
}

// gbak, its verbose output (which names each table and its records) going to a file of its
// own, so that standard input and output stay free for the backup's bytes. Gives that
// output; its end tells a failure.
QByteArray gbakVerbose(QStringList arguments, const Account& admin, const tools::ProgramStreams& streams)
{
    const QTemporaryDir dir;
    if (!dir.isValid())
        throw std::runtime_error("cannot make a temporary directory for gbak's output: " + dir.errorString().toStdString());
    const QString log = dir.filePath(QStringLiteral("gbak.log"));
    arguments = QStringList {QStringLiteral("-v"), QStringLiteral("-y"), log} + arguments;
    tools::ProgramRun run = tools::runProgram(QStringLiteral("gbak"), arguments, toolEnvironment(admin), streams, utilsPackage);
    QFile file(log);
    if (file.open(QIODevice::ReadOnly))
        run.out = file.readAll();
    if (run.exitCode != 0)
        throw std::runtime_error("gbak failed: " + toolText(run));
    return run.out;
}

// The records of every table the database keeps data of (not views, not temporary tables).
RecordCounts countRecords(RawFirebird& db)
{
    RecordCounts counts;
    const auto tables = db.query("SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0"
                                 " AND RDB$VIEW_BLR IS NULL AND COALESCE(RDB$RELATION_TYPE, 0) = 0");
    for (const auto& row : tables) {
        const QString table = QString::fromStdString(row[0].value_or(std::string()));
        QString quoted = table;
        quoted.replace(u'"', QStringLiteral("\"\""));
        const auto count = db.query("SELECT COUNT(*) FROM \"" + quoted.toStdString() + "\"");
        counts[table] = QByteArray::fromStdString(count.at(0).at(0).value_or("0")).trimmed().toLongLong();
    }
    return counts;
}

// The records gbak -v says it wrote ("written") or restored and committed ("restored"),
// table by table: a backup's in its own snapshot. A backup names every table, a restore
// only those it restored records of.
RecordCounts gbakCounts(const QByteArray& verbose, const QString& done)
{
    const QRegularExpression table(QStringLiteral("^gbak:\\s*(?:writing|restoring) data for table (.+)$"));
    const QRegularExpression records(QStringLiteral("^gbak:\\s*(\\d+) records? %1$").arg(done));
    RecordCounts counts;
    QString current;
    for (const QByteArray& line : verbose.split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (const auto match = table.match(text); match.hasMatch()) {
            current = match.captured(1).trimmed();
            counts[current] = 0;
        } else if (const auto match = records.match(text); match.hasMatch() && !current.isEmpty()) {
            counts[current] = match.captured(1).toLongLong();
        }
    }
    return counts;
}

// POS_DAY and EMPLOYEE first, then the others by name.
QString countsText(const RecordCounts& counts)
{
    QStringList parts;
    for (const char* first : {"POS_DAY", "EMPLOYEE"}) {
        if (const auto it = counts.find(QLatin1String(first)); it != counts.end())
            parts << QStringLiteral("%1 %2").arg(it->first).arg(it->second);
    }
    for (const auto& [table, records] : counts) {
        if (table != u"POS_DAY" && table != u"EMPLOYEE")
            parts << QStringLiteral("%1 %2").arg(table).arg(records);
    }
    return parts.join(QStringLiteral(", "));
}

// Throws, naming each difference, unless the restored copy holds the tables and records
// the backup recorded.
void compareCounts(const RecordCounts& restored, const RecordCounts& recorded)
{
    QStringList differences;
    for (const auto& [table, records] : recorded) {
        const auto it = restored.find(table);
        if (it == restored.end())
            differences << QStringLiteral("no table %1 (the backup holds %2 records of it)").arg(table).arg(records);
        else if (it->second != records)
            differences << QStringLiteral("%1 records of %2, the backup holds %3").arg(it->second).arg(table).arg(records);
    }
    for (const auto& [table, records] : restored) {
        if (!recorded.count(table))
            differences << QStringLiteral("a table %1 the backup did not record").arg(table);
    }
    if (!differences.isEmpty())
        throw std::runtime_error("the restored copy does not hold what its backup recorded: " + differences.join(QStringLiteral("; ")).toStdString());
}

RawFirebird attachAs(const Place& db, const Account& admin)
{
    return RawFirebird(QFile::encodeName(db.database).toStdString(), admin.user.toStdString(), admin.password.toStdString());
}

// Whether a database of that name is on the server: one we may attach. (gbak refuses the
// others as well, but in words that suggest a switch this tool never gives it.)
bool serverHas(const Place& db, const Account& admin)
{
    try {
        attachAs(db, admin);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

// A database this command made: gone again unless kept.
class MadeDatabase {
public:
    MadeDatabase(Place place, Account admin)
        : place_(std::move(place))
        , admin_(std::move(admin))
    {
    }
    MadeDatabase(const MadeDatabase&) = delete;
    MadeDatabase& operator=(const MadeDatabase&) = delete;
    ~MadeDatabase()
    {
        if (!made_)
            return;
        try {
            remove();
        } catch (const std::exception& e) {
            // Already failing: this goes beside the failure, which the caller reports.
            std::fprintf(stderr, "kordane-admin: could not remove %s: %s\n", qPrintable(place_.database), e.what());
        }
    }
    const Place& place() const { return place_; }
    void made() { made_ = true; }
    void keep() { made_ = false; }
    void remove()
    {
        made_ = false;
        if (!place_.onServer()) {
            if (QFile::exists(place_.path) && !QFile::remove(place_.path))
                throw std::runtime_error("cannot remove " + place_.path.toStdString());
            return;
        }
        attachAs(place_, admin_).drop();
    }

private:
    Place place_;
    Account admin_;
    bool made_ = false;
};

// gfix tells what it found as text and exits 0 either way: a sound database gives none.
void validate(const Place& db, const Account& admin)
{
    const auto run = firebirdTool("gfix", {QStringLiteral("-v"), QStringLiteral("-full"), QStringLiteral("-user"), admin.user, db.database}, admin);
    const QByteArray said = (run.out + run.err).trimmed();
    if (!said.isEmpty())
        throw std::runtime_error("the restored copy fails validation (gfix -v -full): " + said.toStdString());
}

// Restores `file` into `into` (which must not exist), validates it and compares the records
// gbak restored with the manifest's; gives those records. The file is checked against its
// manifest while gbak reads it: a damaged file stops gbak, and that is the failure told.
RecordCounts restoreChecked(const QString& file, const Manifest& manifest, MadeDatabase& into, const Account& admin)
{
    const Place& db = into.place();
    tools::ProgramStreams streams {file, {}, [&] { checkChecksum(file, manifest); }};
    QByteArray verbose;
    if (db.onServer()) {
        verbose = gbakVerbose({QStringLiteral("-c"), QStringLiteral("-se"), db.service, QStringLiteral("-user"), admin.user, QStringLiteral("stdin"), db.path}, admin, streams);
        // Only now: gbak refuses a database that exists, which is then not ours to drop.
        into.made();
    } else {
        into.made();
        verbose = gbakVerbose({QStringLiteral("-c"), QStringLiteral("-user"), admin.user, QStringLiteral("stdin"), db.path}, admin, streams);
    }
    validate(db, admin);
    RecordCounts restored = gbakCounts(verbose, QStringLiteral("restored"));
    if (manifest.counts) {
        for (const auto& [table, records] : *manifest.counts) {
            if (records == 0)
                restored.emplace(table, 0);
        }
        compareCounts(restored, *manifest.counts);
    }
    return restored;
}

QString defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/kordane/backups");
}

QString sizeText(qint64 bytes)
{
    if (bytes < 1000 * 1000)
        return QStringLiteral("%1 kB").arg(double(bytes) / 1000, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(double(bytes) / 1000 / 1000, 0, 'f', 1);
}

QString ageText(qint64 seconds)
{
    if (seconds < 3600)
        return QStringLiteral("%1 min").arg(seconds / 60);
    if (seconds < 48 * 3600)
        return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds % 3600 / 60);
    return QStringLiteral("%1 d %2 h").arg(seconds / 86400).arg(seconds % 86400 / 3600);
}

QString timeText(const QDateTime& time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
}

// --to FILE (a name ending in .fbk, or an existing file), or a new file named for the site
// and the time in --to DIR (default: the user's), which is made when missing.
QString newBackupFile(const QString& to, const QString& database, const QDateTime& now)
{
    const QFileInfo given(to.isEmpty() ? defaultDirectory() : to);
    if (!to.isEmpty() && !given.isDir() && (given.exists() || to.endsWith(QLatin1String(".fbk")))) {
        if (given.exists() || QFileInfo::exists(manifestPath(given.absoluteFilePath())))
            throw std::runtime_error(to.toStdString() + " exists: a backup never writes over a file");
        if (!given.absoluteDir().exists())
            throw std::runtime_error("the directory " + given.absolutePath().toStdString() + " does not exist");
        return given.absoluteFilePath();
    }
    const QString directory = given.absoluteFilePath();
    if (!QDir().mkpath(directory))
        throw std::runtime_error("cannot make the directory " + directory.toStdString());
    const QString stem = directory + u'/' + siteLabel(database) + u'-' + now.toString(QStringLiteral("yyyyMMdd-HHmmss'Z'"));
    for (int n = 1;; ++n) {
        const QString file = stem + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) + QStringLiteral(".fbk");
        if (!QFileInfo::exists(file) && !QFileInfo::exists(manifestPath(file)))
            return file;
    }
}

// Takes the backup into `file`; its manifest goes beside it once the file is complete.
Manifest takeBackup(const Site& site, const Account& admin, const QString& file)
{
    const Place db = placeOf(site.database());
    Manifest manifest;
    manifest.database = db.database;
    manifest.started = QDateTime::currentDateTimeUtc();
    const QFileInfo info(file);
    for (const QString& left : removeAbandonedPartials(info.absolutePath()))
        std::fprintf(stderr, "kordane-admin: removed %s, left by a backup that did not finish\n", qPrintable(left));
    PartialFile partial(file);
    Fingerprint written;
    if (db.onServer()) {
        // The server streams the backup here: its checksum is taken and every write checked
        // on the way. gbak gives no counts then; those of the database before and after it
        // are the backup's when they agree, and the verification's otherwise.
        FingerprintedFile out(partial.path());
        const RecordCounts before = [&] {
            RawFirebird raw = site.attach();
            return countRecords(raw);
        }();
        firebirdTool("gbak", {QStringLiteral("-b"), QStringLiteral("-se"), db.service, QStringLiteral("-user"), admin.user, db.path, QStringLiteral("stdout")},
                     admin, {{}, [&](const QByteArray& bytes) { out.write(bytes); }, {}});
        written = out.finish();
        RawFirebird raw = site.attach();
        if (countRecords(raw) == before)
            manifest.counts = before;
    } else {
        if (!QFileInfo::exists(db.path))
            throw std::runtime_error("the site's database " + db.path.toStdString() + " does not exist");
        // gbak writes the file itself, at its own pace; made first, for its owner's eyes only.
        FingerprintedFile(partial.path()).finish();
        const QByteArray verbose = gbakVerbose({QStringLiteral("-b"), QStringLiteral("-user"), admin.user, db.path, partial.path()}, admin, {});
        manifest.counts = gbakCounts(verbose, QStringLiteral("written"));
        if (manifest.counts->empty())
            throw std::runtime_error("gbak named no table it wrote: the backup's records cannot be counted");
        syncToDisk(partial.path());
        written = fingerprint(partial.path());
    }
    manifest.size = written.size;
    manifest.checksum = written.checksum;
    manifest.finished = QDateTime::currentDateTimeUtc();
    partial.renameTo(file);
    syncToDisk(info.absolutePath());
    writeManifest(file, manifest);
    return manifest;
}

// Restores the backup beside the site's database (on its server), checks it, removes it,
// and writes the outcome into the manifest. Throws when it fails.
void verifyBackup(const QString& file, const Site& site, const Account& admin)
{
    Manifest manifest = readManifest(file);
    try {
        checkSize(file, manifest);
        const Place db = placeOf(site.database());
        MadeDatabase copy(besidePlace(db, QStringLiteral(".kordane-verify-%1.fdb").arg(::getpid())), admin);
        const RecordCounts restored = restoreChecked(file, manifest, copy, admin);
        copy.remove();
        if (!manifest.counts)
            manifest.counts = restored;
        manifest.verification = Verification {QDateTime::currentDateTimeUtc(), true, countsText(restored)};
        writeManifest(file, manifest);
        std::printf("verified %s: restored, validated, records as the backup holds them: %s\n", qPrintable(file),
                    qPrintable(countsText(restored)));
    } catch (const std::exception& e) {
        manifest.verification = Verification {QDateTime::currentDateTimeUtc(), false, QString::fromUtf8(e.what())};
        writeManifest(file, manifest);
        throw;
    }
}

// Removes the site's backups beyond the newest `keep` in `directory`; `newest`, the one
// just made, stays whatever the times say.
void rotate(const QString& database, const QString& directory, int keep, const QString& newest)
{
    int kept = 1;
    for (const StoredBackup& backup : backupsOf(database, directory)) {
        if (backup.file == newest)
            continue;
        if (kept < keep) {
            ++kept;
            continue;
        }
        if (!QFile::remove(backup.file) || !QFile::remove(manifestPath(backup.file)))
            throw std::runtime_error("cannot remove the old backup " + backup.file.toStdString());
        std::printf("removed %s\n", qPrintable(backup.file));
    }
}

int status(const Site& site, const QString& to, int maxAgeHours)
{
    const QString directory = QFileInfo(to.isEmpty() ? defaultDirectory() : to).absoluteFilePath();
    const auto backups = backupsOf(site.database(), directory);
    if (backups.empty()) {
        std::printf("no backup of %s in %s\n", qPrintable(site.database()), qPrintable(directory));
        return 1;
    }
    const StoredBackup& last = backups.front();
    const qint64 age = last.manifest.finished.secsTo(QDateTime::currentDateTimeUtc());
    QString verification = QStringLiteral("not verified");
    if (last.manifest.verification) {
        verification = QStringLiteral("verified %1: %2").arg(timeText(last.manifest.verification->at), last.manifest.verification->passed ? QStringLiteral("passed") : QStringLiteral("FAILED, ") + last.manifest.verification->detail);
    }
    const bool stale = age > qint64(maxAgeHours) * 3600;
    std::printf("last backup %s, %s (%s ago%s), %s; %s\n", qPrintable(last.file), qPrintable(timeText(last.manifest.finished)),
                qPrintable(ageText(age)), stale ? qPrintable(QStringLiteral(", older than %1 h").arg(maxAgeHours)) : "",
                qPrintable(sizeText(last.manifest.size)), qPrintable(verification));
    return stale || !last.manifest.verification || !last.manifest.verification->passed ? 1 : 0;
}

int positiveNumber(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    bool ok = false;
    const int number = parser.value(option).toInt(&ok);
    if (!ok || number < 1)
        throw UsageError("--" + option.names().first().toStdString() + " takes a whole number from 1 up, not " + parser.value(option).toStdString());
    return number;
}

} // namespace

int backup(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
                                         "Backs the site's database up with gbak while desks work: into --to FILE, or a file named for the site and\n"
                                         "the time in --to DIR (default: %1),\n"
                                         "with a manifest beside it holding its size, checksum and record counts. --verify restores a backup beside\n"
                                         "the database, validates it, compares its records and removes it; --status tells the last backup, its age\n"
                                         "and its verification (exit status 1 when it needs a look).")
                                         .arg(defaultDirectory()));
    parser.addOption(connectionsOption());
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("The backup file, or the directory of the site's backups."), QStringLiteral("FILE|DIR"));
    const QCommandLineOption keep(QStringLiteral("keep"), QStringLiteral("Keep the newest N backups of the site in the directory, remove older ones."), QStringLiteral("N"));
    const QCommandLineOption verify(QStringLiteral("verify"), QStringLiteral("Verify FILE, or the backup just made."));
    const QCommandLineOption showStatus(QStringLiteral("status"), QStringLiteral("Tell the last backup in the directory."));
    const QCommandLineOption maxAge(QStringLiteral("max-age"), QStringLiteral("With --status: a backup older than this is stale (default %1).").arg(defaultMaxAgeHours),
                                    QStringLiteral("HOURS"), QString::number(defaultMaxAgeHours));
    parser.addOptions({to, keep, verify, showStatus, maxAge});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("With --verify: the backup to verify."), QStringLiteral("[FILE]"));
    if (!parseCommand(parser, arguments))
        return 0;
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1 || (!files.isEmpty() && !parser.isSet(verify)))
        throw UsageError("backup takes a FILE only with --verify (kordane-admin backup --help)");
    if (parser.isSet(showStatus) && (parser.isSet(verify) || parser.isSet(keep)))
        throw UsageError("--status takes neither --verify nor --keep");
    if (!files.isEmpty() && parser.isSet(keep))
        throw UsageError("--keep goes with a new backup, not with --verify FILE");
    const int keepCount = parser.isSet(keep) ? positiveNumber(parser, keep) : 0;
    const int maxAgeHours = positiveNumber(parser, maxAge);

    const Site site(parser);
    if (parser.isSet(showStatus))
        return status(site, parser.value(to), maxAgeHours);
    const Account admin = adminAccount(site.onServer());
    // Refuses, by name, a program that holds the file under another lock directory.
    engine::configure(site.database());
    if (!files.isEmpty()) {
        verifyBackup(QFileInfo(files.first()).absoluteFilePath(), site, admin);
        return 0;
    }

    QElapsedTimer clock;
    clock.start();
    const QString file = newBackupFile(parser.value(to), site.database(), QDateTime::currentDateTimeUtc());
    const Manifest manifest = takeBackup(site, admin, file);
    std::printf("backup %s: %s in %.1f s\n", qPrintable(file), qPrintable(sizeText(manifest.size)), double(clock.elapsed()) / 1000);
    if (manifest.counts)
        std::printf("records: %s\n", qPrintable(countsText(*manifest.counts)));
    else
        std::printf("records: not counted, desks wrote while the backup ran (its verification counts them)\n");
    std::fflush(stdout);
    // A new backup that fails its check leaves the older ones in place.
    if (parser.isSet(verify))
        verifyBackup(file, site, admin);
    if (keepCount > 0)
        rotate(site.database(), QFileInfo(file).absolutePath(), keepCount, file);
    return 0;
}

int restore(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Restores a backup that kordane-admin backup wrote into the database --to names (a file, or host[/port]:/path\n"
        "on a server), validates it and compares its records with the backup's. An existing database is replaced\n"
        "only with --replace, and only once the new copy is complete and checked; then no program may have it open."));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("The database to restore into."), QStringLiteral("DATABASE"));
    const QCommandLineOption replace(QStringLiteral("replace"), QStringLiteral("Replace the database if it exists (a file on this machine)."));
    parser.addOptions({to, replace});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The backup."));
    if (!parseCommand(parser, arguments))
        return 0;
    if (parser.positionalArguments().size() != 1 || !parser.isSet(to))
        throw UsageError("restore takes a FILE and --to DATABASE (kordane-admin restore --help)");
    const QString file = QFileInfo(parser.positionalArguments().first()).absoluteFilePath();
    const Place target = placeOf(parser.value(to));
    if (target.onServer() && parser.isSet(replace)) {
        throw UsageError("--replace takes a database file on this machine: on a server, restore to a new name and name "
                         "it in the site's Database=");
    }
    const Account admin = adminAccount(target.onServer());
    if (!target.onServer() && !QFileInfo(QFileInfo(target.path).absolutePath()).isDir())
        throw std::runtime_error("the directory " + QFileInfo(target.path).absolutePath().toStdString() + " does not exist");
    const Manifest manifest = readManifest(file);
    checkSize(file, manifest);
    const bool exists = target.onServer() ? serverHas(target, admin) : QFileInfo::exists(target.path);
    if (exists && !parser.isSet(replace)) {
        throw std::runtime_error(target.database.toStdString() + " exists: restore never writes over a database ("
                                 + (target.onServer() ? "on a server, restore to a new name)"
                                                      : "--replace replaces it once the restored copy is complete and checked)"));
    }
    if (exists) {
        if (!sameDatabase(manifest.database, target.path)) {
            throw std::runtime_error(file.toStdString() + " is a backup of " + manifest.database.toStdString() + ", not of "
                                     + target.path.toStdString() + ": restore it to a new name instead");
        }
        if (const auto open = filelocks::holders(target.path); !open.empty()) {
            throw std::runtime_error(target.path.toStdString() + " is open in process " + std::to_string(*open.begin())
                                     + ": end every program on it before replacing it");
        }
    }

    if (!target.onServer())
        engine::configure(target.path);
    MadeDatabase copy(target.onServer() ? target : besidePlace(target, QStringLiteral(".%1.restoring-%2").arg(QFileInfo(target.path).fileName()).arg(::getpid())), admin);
    const RecordCounts restored = restoreChecked(file, manifest, copy, admin);
    if (!target.onServer()) {
        // rename(2) swaps the whole file in one step; without --replace, never over one that
        // appeared meanwhile.
        if (parser.isSet(replace)) {
            if (::rename(QFile::encodeName(copy.place().path).constData(), QFile::encodeName(target.path).constData()) != 0)
                throw std::runtime_error("cannot replace " + target.path.toStdString() + ": " + std::strerror(errno));
        } else if (!QFile::rename(copy.place().path, target.path)) {
            throw std::runtime_error("cannot rename the restored copy to " + target.path.toStdString() + " (did it appear meanwhile?)");
        }
        syncToDisk(QFileInfo(target.path).absolutePath());
    }
    copy.keep();
    std::printf("restored %s from %s: validated; records %s: %s\n", qPrintable(target.database), qPrintable(file),
                manifest.counts ? "as the backup holds them" : "(the backup recorded none to compare)", qPrintable(countsText(restored)));
    return 0;
}

} // namespace kordane::admin
