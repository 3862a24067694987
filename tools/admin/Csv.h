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

// `badLines`: lines whose bytes were no text of the file's encoding; a record on one is
// malformed.
std::vector<Record> parse(const QString& text, const std::vector<int>& badLines = {});

// One record, quoting the fields that need it, with a line feed at the end.
QString line(const QStringList& fields);

} // namespace kordane::admin::csv
