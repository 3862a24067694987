#pragma once
// Comma-separated values as spreadsheets write them: fields separated by commas, a field
// in double quotes may hold commas, line breaks and doubled quotes; lines end in LF or
// CRLF. Blank lines are skipped.
#include <QString>
#include <QStringList>

#include <vector>

namespace kordane::admin::csv {

struct Record {
    int line = 0; // where the record starts, from 1
    QStringList fields;
    QString malformed; // why the record cannot be read; empty when it can
};

// A file's text and the lines whose bytes were no text of its encoding.
struct FileText {
    QString text;
    std::vector<int> badLines;
};

// The file decoded as `encoding` ("utf-8", a byte order mark dropped, or "big5"). Throws
// when it cannot be read.
FileText readFile(const QString& path, const QString& encoding);

// `badLines`: lines whose bytes were no text of the file's encoding; a record on one is
// malformed.
std::vector<Record> parse(const QString& text, const std::vector<int>& badLines = {});

// What a written field does with a text a spreadsheet would run as a formula.
enum class Formulas {
    Guarded, // one more leading apostrophe (tools/sheet/CsvCell.h), which reading takes off
    AsStored, // as it is: for programs, not for spreadsheets
};

// One record, quoting the fields that need it, with a line feed at the end.
QString line(const QStringList& fields, Formulas formulas);

// Writes `bytes` to standard output when `path` is empty; else to the file, whole or not
// at all (a temporary name renamed once every write succeeded). Throws when it cannot.
void write(const QString& path, const QByteArray& bytes);

} // namespace kordane::admin::csv
