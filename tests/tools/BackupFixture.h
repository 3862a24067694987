#pragma once
// What the backup tests share: a site made by the admin tool with the rules and a few
// records whose bytes the program would store, the tool run on it, every row of a table as
// the bytes the database holds, and employees added by the tool from another process
// while a backup runs.
#include "tests/support/ToolRun.h"
#include "tools/rawfb/RawFirebird.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace kordane::test {

using Rows = std::vector<RawFirebird::Row>;

// Every row of `table`, sorted: text columns cast to OCTETS, so that what is compared is
// the stored bytes whatever the connection's character set.
inline Rows storedRows(RawFirebird& db, const std::string& table)
{
    std::string columns;
    for (const auto& row : db.query("SELECT TRIM(rf.RDB$FIELD_NAME), f.RDB$FIELD_TYPE, f.RDB$FIELD_LENGTH FROM RDB$RELATION_FIELDS rf"
                                    " JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = rf.RDB$FIELD_SOURCE WHERE rf.RDB$RELATION_NAME = '"
                                    + table + "' ORDER BY rf.RDB$FIELD_POSITION")) {
        const std::string name = row[0].value_or("");
        const int type = std::stoi(row[1].value_or("0"));
        columns += columns.empty() ? "" : ", ";
        columns += type == 14 || type == 37 ? "CAST(" + name + " AS VARCHAR(" + row[2].value_or("1") + ") CHARACTER SET OCTETS)" : name;
    }
    Rows rows = db.query("SELECT " + columns + " FROM " + table);
    std::sort(rows.begin(), rows.end());
    return rows;
}

inline QByteArray cp950(const QString& text)
{
    QStringEncoder encoder("windows-950");
    return encoder.encode(text);
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The backup file that `kordane-admin backup` names on its first line.
inline QString backupFileIn(const QString& output)
{
    return output.section(u'\n', 0, 0).section(QStringLiteral("backup "), 1).section(QStringLiteral(": "), 0, 0);
}

// Records of POS_DAY with bytes that trip a careless copy: code page 950 texts whose second
// byte is a backslash or a quote's, a trailing blank, nulls.
inline std::vector<std::vector<RawFirebird::Value>> trickyRecords()
{
    const auto text = [](const QString& s) { return RawFirebird::Value(cp950(s).toStdString()); };
    return {
        {"A001", "2024/03/04", "08:00:00", "17:00:00", text(QStringLiteral("一")), text(QStringLiteral("許功蓋")), "C001"},
        {"A002", "2024/03/04", "09:00:00", "", text(QStringLiteral("一")), text(QStringLiteral("林'美玲 ")), std::nullopt},
        {"A003", "2024/03/05", "22:00:00", "06:00:00", text(QStringLiteral("二")), std::nullopt, "C003"},
    };
}

// Employees E<n>-<i> added by `kordane-admin employees import`, one file of `perFile` after
// another, from a process of its own; a line on its output for each import committed.
class ImportLoop {
public:
    ImportLoop(const QString& directory, const QStringList& connection, const QProcessEnvironment& env, int files, int perFile)
    {
        QString script = QStringLiteral("set -e\n");
        for (int n = 1; n <= files; ++n) {
            QByteArray csv = "EMPLOYEE_ID,EMPLOYEE_NAME,CARD_ID\n";
            for (int i = 0; i < perFile; ++i)
                csv += QStringLiteral("E%1-%2,staff %1 %2,\n").arg(n).arg(i).toUtf8();
            const QString file = QStringLiteral("%1/import-%2.csv").arg(directory).arg(n);
            if (!writeFile(file, csv))
                QTest::qFail("cannot write an import file", __FILE__, __LINE__);
            script += QStringLiteral("\"$0\" employees import '%1' '%2' '%3' >/dev/null\necho %4\n")
                          .arg(file, connection.value(0), connection.value(1))
                          .arg(n);
        }
        process_.setProcessEnvironment(env);
        process_.start(QStringLiteral("bash"), {QStringLiteral("-c"), script, QCoreApplication::applicationDirPath() + QStringLiteral("/kordane-admin")});
    }
    ~ImportLoop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }

    // The imports committed so far.
    int committed()
    {
        process_.waitForReadyRead(50);
        lines_ += process_.readAllStandardOutput();
        return int(lines_.count('\n'));
    }
    // Waits (up to 30 s) until `imports` have been committed.
    bool waitFor(int imports)
    {
        for (int i = 0; i < 600 && committed() < imports; ++i) {
            if (process_.state() == QProcess::NotRunning && committed() < imports)
                return false;
        }
        return committed() >= imports;
    }
    // Its end; true when every import was committed.
    bool finish()
    {
        process_.waitForFinished(60000);
        committed();
        return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }

private:
    QProcess process_;
    QByteArray lines_;
};

// The employees of the first `imports` files the loop wrote that `db` lacks.
inline int missingImported(RawFirebird& db, int imports, int perFile)
{
    int missing = 0;
    const auto rows = db.query("SELECT EMPLOYEE_ID FROM EMPLOYEE");
    std::vector<std::string> ids;
    for (const auto& row : rows)
        ids.push_back(row[0].value_or(""));
    std::sort(ids.begin(), ids.end());
    for (int n = 1; n <= imports; ++n) {
        for (int i = 0; i < perFile; ++i) {
            if (!std::binary_search(ids.begin(), ids.end(), QStringLiteral("E%1-%2").arg(n).arg(i).toStdString()))
                ++missing;
        }
    }
    return missing;
}

} // namespace kordane::test
