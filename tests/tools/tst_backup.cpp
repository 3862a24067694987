// Backups of an embedded site as an admin takes them: while another program adds
// employees, back the same bytes through a restore, the rules and the audit trail still at
// work; a damaged, truncated or other site's file and an existing database refused with
// nothing changed; old backups rotated without touching the newest or another site's.
#include "data/sql/EmbeddedEngine.h"
#include "tests/tools/BackupFixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/file.h>

using namespace kordane;
using test::runTool;

namespace {

QByteArray hashOf(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

// The counts of the line of `out` that follows `head`, less the empty tables of a site's
// other parts, which every new site has.
QString counted(const QString& out, const QString& head)
{
    QStringList kept;
    for (const QString& table : out.section(head, 1).section(u'\n', 0, 0).split(QStringLiteral(", "))) {
        if (!table.endsWith(QStringLiteral(" 0")) || table.startsWith(QStringLiteral("POS_DAY ")) || table.startsWith(QStringLiteral("EMPLOYEE ")))
            kept << table;
    }
    return kept.join(QStringLiteral(", "));
}

} // namespace

class TestBackup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void backupWhileEmployeesAreAdded();
    void restoreGivesBackEveryByte();
    void refusalsChangeNothing();
    void replaceSwapsOnlyACheckedCopy();
    void keepRotatesOldBackupsOfTheSite();
    void abandonedPartialsGo();
    void emptySiteRoundTrips();
    void commandLines();

private:
    // A new site with the rules, the tricky records and a filler table, in the test's directory.
    QString newSite(const QString& name);
    QString site_;
    QString other_;
    QString databaseOf(const QString& site) const { return site + QStringLiteral(".FDB"); }
    test::ToolRun admin(const QString& site, QStringList arguments);
    // A verified-free backup of the site into `directory`: its file.
    QString backUp(const QString& site, const QString& directory);

    QTemporaryDir dir_;
};

void TestBackup::initTestCase()
{
    QVERIFY(dir_.isValid());
    engine::configure(dir_.filePath(QStringLiteral("any.fdb")));
    site_ = newSite(QStringLiteral("site"));
    other_ = newSite(QStringLiteral("other"));
}

QString TestBackup::newSite(const QString& name)
{
    const QString site = dir_.filePath(name);
    const auto run = runTool(QStringLiteral("kordane-admin"), {QStringLiteral("init"), QStringLiteral("--dir"), site, QStringLiteral("--database"), databaseOf(site), QStringLiteral("--no-demo-rows"), QStringLiteral("--rules")});
    if (run.exitCode != 0)
        qWarning("%s", qPrintable(run.err));
    RawFirebird db(databaseOf(site).toStdString(), "SYSDBA", "x");
    db.executeEach("INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT, BILL_WEEK, EMPLOYEE_NAME, CARD_ID)"
                   " VALUES (?, ?, ?, ?, ?, ?, ?)",
                   test::trickyRecords());
    db.execute({"CREATE TABLE FILLER (N INTEGER, T VARCHAR(200))",
                "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 10000) DO BEGIN"
                " INSERT INTO FILLER VALUES (:I, LPAD('', 200, 'x')); I = I + 1; END END"});
    return site;
}

test::ToolRun TestBackup::admin(const QString& site, QStringList arguments)
{
    if (arguments.value(0) != u"restore")
        arguments << QStringLiteral("--connections") << site + QStringLiteral("/dbxconnections.ini");
    return runTool(QStringLiteral("kordane-admin"), arguments);
}

QString TestBackup::backUp(const QString& site, const QString& directory)
{
    const auto run = admin(site, {QStringLiteral("backup"), QStringLiteral("--to"), directory});
    if (run.exitCode != 0)
        qWarning("%s", qPrintable(run.err));
    return test::backupFileIn(run.out);
}

void TestBackup::backupWhileEmployeesAreAdded()
{
    const QString& site = site_;
    constexpr int perFile = 20;
    test::ImportLoop imports(dir_.path(), {QStringLiteral("--connections"), site + QStringLiteral("/dbxconnections.ini")},
                             QProcessEnvironment::systemEnvironment(), 8, perFile);
    QVERIFY(imports.waitFor(2));
    const int before = imports.committed();
    const auto run = admin(site, {QStringLiteral("backup"), QStringLiteral("--to"), dir_.filePath(QStringLiteral("busy-backups")), QStringLiteral("--verify")});
    const int after = imports.committed();
    QVERIFY2(imports.finish(), "an import failed beside the backup");
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(QStringLiteral("\nverified ")), qPrintable(run.out));
    const QString file = test::backupFileIn(run.out);

    // The restored copy holds every employee committed before the backup began, and the
    // records the backup's summary names.
    const QString restored = dir_.filePath(QStringLiteral("busy-restored.FDB"));
    const auto back = admin(site, {QStringLiteral("restore"), file, QStringLiteral("--to"), restored});
    QVERIFY2(back.exitCode == 0, qPrintable(back.err));
    RawFirebird copy(restored.toStdString(), "SYSDBA", "x");
    QCOMPARE(test::missingImported(copy, before, perFile), 0);
    const auto employees = copy.query("SELECT COUNT(*) FROM EMPLOYEE").at(0).at(0).value();
    QVERIFY2(run.out.contains(QStringLiteral("EMPLOYEE %1").arg(QString::fromStdString(employees))), qPrintable(run.out));
    // Each import is one transaction: the backup holds it whole or not at all.
    QCOMPARE(std::stoi(employees) % perFile, 0);
    QVERIFY(std::stoi(employees) <= (after + 1) * perFile);
    QVERIFY2(run.out.contains(QStringLiteral("records: POS_DAY 3, EMPLOYEE ")), qPrintable(run.out));
    QVERIFY2(run.out.contains(QStringLiteral("FILLER 10000")), qPrintable(run.out));
}

void TestBackup::restoreGivesBackEveryByte()
{
    const QString& site = site_;
    RawFirebird db(databaseOf(site).toStdString(), "SYSDBA", "x");
    db.execute("UPDATE POS_DAY SET CARD_ID = 'C002' WHERE EMPLOYEE_ID = 'A002'"); // an audited update too
    const QString file = backUp(site, dir_.filePath(QStringLiteral("bytes-backups")));
    QVERIFY(QFileInfo::exists(file));

    const QString restored = dir_.filePath(QStringLiteral("bytes-restored.FDB"));
    const auto run = admin(site, {QStringLiteral("restore"), file, QStringLiteral("--to"), restored});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const std::string employees = db.query("SELECT COUNT(*) FROM EMPLOYEE").at(0).at(0).value();
    QVERIFY2(run.out.contains(QStringLiteral("validated; records as the backup holds them: ")), qPrintable(run.out));
    QCOMPARE(counted(run.out, QStringLiteral("records as the backup holds them: ")),
             QStringLiteral("POS_DAY 3, EMPLOYEE %1, FILLER 10000, POS_DAY_AUDIT 4").arg(QString::fromStdString(employees)));
    RawFirebird copy(restored.toStdString(), "SYSDBA", "x");
    for (const char* table : {"POS_DAY", "EMPLOYEE", "POS_DAY_AUDIT", "FILLER"})
        QVERIFY2(test::storedRows(copy, table) == test::storedRows(db, table), table);
    const std::string sequence = "SELECT GEN_ID(POS_DAY_AUDIT_ID, 0) FROM RDB$DATABASE";
    QCOMPARE(copy.query(sequence), db.query(sequence));

    // The rules and the audit trail work in the copy as in the original.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, copy.execute("INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, TIME_IN) VALUES ('A9', '2024/02/30', '08:00:00')"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, copy.execute("INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT, BILL_WEEK) VALUES ('A001', '2024/03/04', '08:00:00', '17:00:00', NULL)"));
    copy.execute("INSERT INTO POS_DAY (EMPLOYEE_ID, INI_DATE, TIME_IN) VALUES ('A9', '2024/03/06', '08:00:00')");
    QCOMPARE(copy.query("SELECT ACTION, NEW_EMPLOYEE_ID FROM POS_DAY_AUDIT ORDER BY AUDIT_ID DESC ROWS 1"),
             (test::Rows {{std::string("INSERT"), std::string("A9")}}));

    // A verification restores, checks and removes its copy, and says so in the status.
    const auto verify = admin(site, {QStringLiteral("backup"), QStringLiteral("--verify"), file});
    QVERIFY2(verify.exitCode == 0, qPrintable(verify.err));
    QCOMPARE(QDir(dir_.path()).entryList({QStringLiteral(".kordane-verify*")}, QDir::Files | QDir::Hidden), QStringList());
    const auto status = admin(site, {QStringLiteral("backup"), QStringLiteral("--status"), QStringLiteral("--to"), QFileInfo(file).absolutePath()});
    QCOMPARE(status.exitCode, 0);
    QVERIFY2(status.out.startsWith(QStringLiteral("last backup ") + file) && status.out.contains(QStringLiteral(": passed")), qPrintable(status.out));
}

void TestBackup::refusalsChangeNothing()
{
    const QString& site = site_;
    const QString& other = other_;
    const QString directory = dir_.filePath(QStringLiteral("refusal-backups"));
    const QString file = backUp(site, directory);
    QVERIFY(QFileInfo::exists(file));

    // Truncated, and one byte changed in the middle: refused before anything is made.
    const QString truncated = directory + QStringLiteral("/truncated.fbk");
    const QString damaged = directory + QStringLiteral("/damaged.fbk");
    QFile source(file);
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    QByteArray flipped = bytes;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x20);
    for (const auto& [name, content] : {std::pair {truncated, bytes.left(bytes.size() / 2)}, std::pair {damaged, flipped}}) {
        QVERIFY(test::writeFile(name, content));
        QVERIFY(QFile::copy(file + QStringLiteral(".manifest"), name + QStringLiteral(".manifest")));
    }
    const QString target = dir_.filePath(QStringLiteral("never.FDB"));
    auto run = admin(site, {QStringLiteral("restore"), truncated, QStringLiteral("--to"), target});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("is truncated or damaged: it holds %1 bytes, its backup wrote %2").arg(bytes.size() / 2).arg(bytes.size())), qPrintable(run.err));
    run = admin(site, {QStringLiteral("restore"), damaged, QStringLiteral("--to"), target});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("is damaged: its bytes are not the ones its backup wrote")), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(target));
    QCOMPARE(QDir(dir_.path()).entryList({QStringLiteral(".never*")}, QDir::Files | QDir::Hidden), QStringList());

    // A verification of the damaged file fails, and the status says so.
    run = admin(site, {QStringLiteral("backup"), QStringLiteral("--verify"), damaged});
    QCOMPARE(run.exitCode, 1);
    QFile::remove(file + QStringLiteral(".manifest"));
    QFile::remove(truncated + QStringLiteral(".manifest"));
    run = admin(site, {QStringLiteral("backup"), QStringLiteral("--status"), QStringLiteral("--to"), directory});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.contains(QStringLiteral("FAILED, ")), qPrintable(run.out));
    QVERIFY(QFile::copy(damaged + QStringLiteral(".manifest"), file + QStringLiteral(".manifest")));

    // An existing database without --replace, another site's with it: untouched.
    const QByteArray siteBytes = hashOf(databaseOf(site));
    const QByteArray otherBytes = hashOf(databaseOf(other));
    run = admin(site, {QStringLiteral("restore"), file, QStringLiteral("--to"), databaseOf(site)});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("exists: restore never writes over a database")), qPrintable(run.err));
    run = admin(site, {QStringLiteral("restore"), file, QStringLiteral("--to"), databaseOf(other), QStringLiteral("--replace")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("is a backup of %1, not of %2").arg(databaseOf(site), databaseOf(other))), qPrintable(run.err));
    QCOMPARE(hashOf(databaseOf(site)), siteBytes);
    QCOMPARE(hashOf(databaseOf(other)), otherBytes);

    // A copy that restores with other counts than the backup recorded is not put in place.
    const QString miscounted = directory + QStringLiteral("/miscounted.fbk");
    QVERIFY(QFile::copy(file, miscounted));
    QFile recorded(file + QStringLiteral(".manifest"));
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    QVERIFY(test::writeFile(miscounted + QStringLiteral(".manifest"), recorded.readAll().replace("\"POS_DAY\": 3", "\"POS_DAY\": 4")));
    run = admin(site, {QStringLiteral("restore"), miscounted, QStringLiteral("--to"), target});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("the restored copy does not hold what its backup recorded: 3 records of POS_DAY, the backup holds 4")), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(target));
    QCOMPARE(QDir(dir_.path()).entryList({QStringLiteral(".never*")}, QDir::Files | QDir::Hidden), QStringList());

    // No manifest: nothing to check the file against.
    QVERIFY(QFile::copy(file, directory + QStringLiteral("/bare.fbk")));
    run = admin(site, {QStringLiteral("restore"), directory + QStringLiteral("/bare.fbk"), QStringLiteral("--to"), target});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("has no manifest")), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(target));
}

void TestBackup::replaceSwapsOnlyACheckedCopy()
{
    const QString& site = site_;
    const QString file = backUp(site, dir_.filePath(QStringLiteral("replace-backups")));
    const test::Rows original = [&] {
        RawFirebird db(databaseOf(site).toStdString(), "SYSDBA", "x");
        const test::Rows rows = test::storedRows(db, "POS_DAY");
        db.execute("DELETE FROM POS_DAY");
        return rows;
    }();

    // While another program has the database open, it is not replaced.
    QProcess isql;
    isql.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/kordane-admin"));
    isql.setArguments({QStringLiteral("sql"), QStringLiteral("--connections"), site + QStringLiteral("/dbxconnections.ini")});
    isql.start();
    QVERIFY(test::waitUntilAttached(isql, databaseOf(site)));
    auto run = admin(site, {QStringLiteral("restore"), file, QStringLiteral("--to"), databaseOf(site), QStringLiteral("--replace")});
    isql.closeWriteChannel();
    QVERIFY(isql.waitForFinished(15000));
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("is open in process ")), qPrintable(run.err));

    run = admin(site, {QStringLiteral("restore"), file, QStringLiteral("--to"), databaseOf(site), QStringLiteral("--replace")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    RawFirebird db(databaseOf(site).toStdString(), "SYSDBA", "x");
    QVERIFY(test::storedRows(db, "POS_DAY") == original);
    QCOMPARE(QDir(dir_.path()).entryList({QStringLiteral(".site*")}, QDir::Files | QDir::Hidden), QStringList());
}

void TestBackup::keepRotatesOldBackupsOfTheSite()
{
    const QString& site = site_;
    const QString& other = other_;
    const QString directory = dir_.filePath(QStringLiteral("rotation"));
    const QString others = backUp(other, directory);
    QStringList made;
    for (int i = 0; i < 3; ++i)
        made << backUp(site, directory);
    QVERIFY(test::writeFile(directory + QStringLiteral("/notes.fbk.manifest"), "not a manifest"));
    const auto run = admin(site, {QStringLiteral("backup"), QStringLiteral("--to"), directory, QStringLiteral("--keep"), QStringLiteral("2")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString newest = test::backupFileIn(run.out);
    QStringList left = QDir(directory).entryList(QDir::Files);
    QStringList wanted {QFileInfo(made.last()).fileName(), QFileInfo(newest).fileName(), QFileInfo(others).fileName()};
    for (const QString& name : QStringList(wanted))
        wanted << name + QStringLiteral(".manifest");
    wanted << QStringLiteral("notes.fbk.manifest");
    left.sort();
    wanted.sort();
    QCOMPARE(left, wanted);
    QCOMPARE(run.out.count(QStringLiteral("\nremoved ")), 2);

    // --keep 1 keeps the one just made, whatever the older ones' times say.
    const QString future = made.last() + QStringLiteral(".manifest");
    QFile manifest(future);
    QVERIFY(manifest.open(QIODevice::ReadOnly));
    QByteArray text = manifest.readAll();
    manifest.close();
    text.replace(QByteArray("\"finished\": \"20"), QByteArray("\"finished\": \"29"));
    QVERIFY(test::writeFile(future, text));
    const auto once = admin(site, {QStringLiteral("backup"), QStringLiteral("--to"), directory, QStringLiteral("--keep"), QStringLiteral("1")});
    QVERIFY2(once.exitCode == 0, qPrintable(once.err));
    QVERIFY(QFileInfo::exists(test::backupFileIn(once.out)));
    QVERIFY(!QFileInfo::exists(made.last()));
    QVERIFY(QFileInfo::exists(others));
}

// A partial file a killed backup left goes with the next backup into its directory; one
// another run holds, or has written to lately, stays.
void TestBackup::abandonedPartialsGo()
{
    const QString directory = dir_.filePath(QStringLiteral("abandoned"));
    QVERIFY(QDir().mkpath(directory));
    const auto partial = [&](const char* name, bool old) {
        const QString path = directory + u'/' + QString::fromUtf8(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("half a backup") < 0 || !file.flush())
            qFatal("cannot write %s", qPrintable(path));
        if (old)
            file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
        return path;
    };
    const QString killed = partial(".site-20261201-0100.fbk.partial", true);
    const QString lately = partial(".site-20261211-0100.fbk.partial", false);
    const QString held = partial(".other-20261201-0100.fbk.partial", true);
    QFile holder(held);
    QVERIFY(holder.open(QIODevice::ReadOnly));
    QCOMPARE(::flock(holder.handle(), LOCK_EX | LOCK_NB), 0);
    const auto run = admin(site_, {QStringLiteral("backup"), QStringLiteral("--to"), directory});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.err, QStringLiteral("kordane-admin: removed %1, left by a backup that did not finish\n").arg(killed));
    QVERIFY(!QFileInfo::exists(killed));
    QVERIFY(QFileInfo::exists(lately));
    QVERIFY(QFileInfo::exists(held));
    QVERIFY(QFileInfo::exists(test::backupFileIn(run.out)));
}

void TestBackup::emptySiteRoundTrips()
{
    // gbak names no table it restored no records of: every table empty is still a match.
    const QString site = dir_.filePath(QStringLiteral("empty"));
    auto run = runTool(QStringLiteral("kordane-admin"), {QStringLiteral("init"), QStringLiteral("--dir"), site, QStringLiteral("--database"), databaseOf(site), QStringLiteral("--no-demo-rows")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    run = admin(site, {QStringLiteral("backup"), QStringLiteral("--to"), dir_.filePath(QStringLiteral("empty-backups")), QStringLiteral("--verify")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(counted(run.out, QStringLiteral("\nrecords: ")), QStringLiteral("POS_DAY 0, EMPLOYEE 0"));
    const auto back = admin(site, {QStringLiteral("restore"), test::backupFileIn(run.out), QStringLiteral("--to"), dir_.filePath(QStringLiteral("empty-restored.FDB"))});
    QVERIFY2(back.exitCode == 0, qPrintable(back.err));
}

void TestBackup::commandLines()
{
    const QString& site = site_;
    for (const QStringList& arguments : {QStringList {QStringLiteral("backup"), QStringLiteral("--keep"), QStringLiteral("0")},
                                         QStringList {QStringLiteral("backup"), QStringLiteral("x.fbk")},
                                         QStringList {QStringLiteral("backup"), QStringLiteral("--status"), QStringLiteral("--verify")},
                                         QStringList {QStringLiteral("restore"), QStringLiteral("x.fbk")},
                                         QStringList {QStringLiteral("restore"), QStringLiteral("x.fbk"), QStringLiteral("--to"), QStringLiteral("127.0.0.1:/x.fdb"), QStringLiteral("--replace")}}) {
        const auto run = admin(site, arguments);
        QVERIFY2(run.exitCode == 2, qPrintable(arguments.join(u' ') + u' ' + run.err));
        QCOMPARE(run.err.count(u'\n'), 1);
    }
    // A backup never writes over a file it is told to write.
    const QString taken = dir_.filePath(QStringLiteral("taken.fbk"));
    QVERIFY(test::writeFile(taken, "mine"));
    const auto run = admin(site, {QStringLiteral("backup"), QStringLiteral("--to"), taken});
    QCOMPARE(run.exitCode, 1);
    QFile file(taken);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("mine"));
}

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
