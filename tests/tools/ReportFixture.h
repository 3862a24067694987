#pragma once
// What the report tests share: the month of records they are about, worked out by hand
// below, kordane-report run as a user runs it, and its CSV and PDF read back.
//
// March 2024 (the 1st a Friday). A001 is the clean employee; A002 has every kind of
// trouble with times and dates; A003's name and card differ from EMPLOYEE; Z999 is not in
// EMPLOYEE and keys the wrong weekday; A004's only record has a name that is no code
// page 950 text. Around the month: a clean record of A001 in February, a date that does
// not exist, one whose figures make no date at all, and an open record in April.
#include "tests/support/TestDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <array>
#include <functional>
#include <span>

using namespace Qt::StringLiterals;

namespace kordane::test {

struct RowText {
    const char* date;
    const char* code;
    const char* in;
    const char* out;
    const char* weekday;
    const char* name;
    const char* card;
};

inline const RowText reportRows[] = {
    {"2024/03/04", "A001", "08:00:00", "17:00:00", "一", "陳志明", "C001"}, // 9:00
    {"2024/03/05", "A001", "08:00:00", "12:00:00", "二", "陳志明", "C001"}, // 4:00
    {"2024/03/05", "A001", "13:00:00", "17:30:00", "二", "陳志明", "C001"}, // 4:30
    {"2024/03/04", "A002", "09:00:00", "", "一", "林美玲", "C002"}, // open
    {"2024/03/05", "A002", "22:00:00", "06:00:00", "二", "林美玲", "C002"}, // 8:00, ends the next day
    {"2024/03/06", "A002", "08:00:00", "12:00:00", "三", "林美玲", "C002"}, // 4:00, overlaps
    {"2024/03/06", "A002", "11:00:00", "15:00:00", "三", "林美玲", "C002"}, // 4:00, overlaps
    {"2024/03/07", "A002", "08:00:00", "17:00:00", "四", "林美玲", "C002"}, // 9:00, twice
    {"2024/03/07", "A002", "08:00:00", "17:00:00", "四", "林美玲", "C002"}, // 9:00
    {"2024/03/08", "A002", "08:00:00", "17:00:00", "一", "林美玲", "C002"}, // 9:00, a Friday
    {"2024/03/ 9", "A002", "08:00:00", "17:00:00", "六", "林美玲", "C002"}, // 9:00, a blank inside
    {"2024/03/11", "A002", "8:00:00", "17:00:00", "一", "林美玲", "C002"}, // too short
    {"2024/03/12", "A002", "08:00:00", "25:00:00", "二", "林美玲", "C002"}, // no such time
    {"2024/03/13", "A002", "08:00:00", "  :  :  ", "三", "林美玲", "C002"}, // open, the mask's blanks
    {"2024/03/04", "A003", "08:00:00", "17:00:00", "一", "張家", "C003"}, // 9:00, name differs
    {"2024/03/05", "A003", "08:00:00", "17:00:00", "二", "張家豪", "C999"}, // 9:00, card differs
    {"2024/03/04", "Z999", "08:00:00", "17:00:00", "二", "無名", "C0"}, // 9:00, unknown, a Monday
    {"2024/02/29", "A001", "08:00:00", "17:00:00", "四", "陳志明", "C001"},
    {"2024/02/30", "A003", "08:00:00", "17:00:00", "五", "張家豪", "C003"},
    {"abc", "A003", "08:00:00", "17:00:00", "", "張家豪", "C003"},
    {"2024/04/01", "A002", "08:00:00", "", "一", "林美玲", "C002"},
};

inline std::string big5(const char* utf8)
{
    QStringEncoder encoder("windows-950");
    return QByteArray(encoder.encode(QString::fromUtf8(utf8))).toStdString();
}

inline void insertEmployees(RawFirebird& db, std::initializer_list<std::array<const char*, 3>> employees)
{
    for (const auto& e : employees)
        db.executePrepared("INSERT INTO EMPLOYEE VALUES (?, ?, ?)", {big5(e[0]), big5(e[1]), big5(e[2])});
}

inline const std::string insertRecord = "INSERT INTO POS_DAY (INI_DATE, EMPLOYEE_ID, TIME_IN, TIME_OUT, BILL_WEEK,"
                                        " EMPLOYEE_NAME, CARD_ID) VALUES (?, ?, ?, ?, ?, ?, ?)";

inline void insertRecords(RawFirebird& db, std::span<const RowText> rows)
{
    for (const RowText& r : rows)
        db.executePrepared(insertRecord, {big5(r.date), big5(r.code), big5(r.in), big5(r.out), big5(r.weekday), big5(r.name), big5(r.card)});
}

inline void fillReportRows(RawFirebird& db)
{
    insertEmployees(db, {{"A001", "陳志明", "C001"}, {"A002", "林美玲", "C002"}, {"A003", "張家豪", "C003"}, {"A004", "王淑芬", "C004"}});
    insertRecords(db, reportRows);
    // A lead byte with nothing after it.
    db.executePrepared(insertRecord, {std::string("2024/03/05"), std::string("A004"), std::string("08:00:00"), std::string("17:00:00"), big5("二"), std::string("\xA4"), std::string("C004")});
}

struct ReportRun {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// kordane-report with `arguments` (and db's connections file unless they name one), the
// drivers file named in a settings store of its own; `inChild` runs in the child before
// the program starts.
inline ReportRun runReport(const TestDatabase& db, QStringList arguments, const std::function<void()>& inChild = {})
{
    QTemporaryDir settings;
    QDir().mkpath(settings.filePath(QStringLiteral("Kordane")));
    writeTextFile(settings.filePath(QStringLiteral("Kordane/dbExpress.conf")),
                  QStringLiteral("[General]\nDriver Registry File=%1\n").arg(db.driversFile()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), settings.path());
    QProcess process;
    process.setProcessEnvironment(env);
    if (inChild)
        process.setChildProcessModifier(inChild);
    if (!arguments.contains(QStringLiteral("--connections")))
        arguments << QStringLiteral("--connections") << db.connectionsFile();
    process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kordane-report"), arguments);
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            QString::fromUtf8(process.readAllStandardError())};
}

// RFC 4180, as a spreadsheet reads it.
inline QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                field += text[++i];
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    if (!row.isEmpty() || !field.isEmpty())
        rows << (row << field);
    return rows;
}

inline QString tool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of pages of a PDF, each run of blanks as one.
inline QString pdfText(const QString& file, int first, int last)
{
    return tool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(first), QStringLiteral("-l"), QString::number(last), file, QStringLiteral("-")})
        .simplified();
}

inline QStringList nonEmptyLines(const QString& text) { return text.split(u'\n', Qt::SkipEmptyParts); }

// Every name in a directory, hidden ones too: what a failed write may have left.
inline QStringList entriesOf(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// The month's summary as the test works it out: code, name, days, spells, time, open, anomalies.
inline const QList<QStringList>& marchSummary()
{
    static const QList<QStringList> rows = {
        {u"A001"_s, u"陳志明"_s, u"2"_s, u"3"_s, u"17:30"_s, u"0"_s, u"0"_s},
        {u"A002"_s, u"林美玲"_s, u"9"_s, u"11"_s, u"52:00"_s, u"2"_s, u"11"_s},
        {u"A003"_s, u"張家豪"_s, u"2"_s, u"2"_s, u"18:00"_s, u"0"_s, u"2"_s},
        {u"Z999"_s, u"無名"_s, u"1"_s, u"1"_s, u"9:00"_s, u"0"_s, u"2"_s},
    };
    return rows;
}

} // namespace kordane::test
