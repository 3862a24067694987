#pragma once
// What the commands on shifts, patterns, holidays and settings share: the texts they take
// (times HH:MM, dates YYYY/MM/DD, codes), their import files, their refusals one line
// each, and their lists written as guarded CSV.
#include "data/sql/TextCodec.h"
#include "tools/admin/Csv.h"
#include "tools/admin/Site.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kordane::admin {

// Minutes of the day of a time HH:MM; nullopt when it is none.
std::optional<int> minuteOfDay(const QString& text);
QString timeText(int minute);

// A real date written YYYY/MM/DD, as the records write theirs.
std::optional<QDate> dateOf(const QString& text);
QString dateText(const QDate& date);
// As the server takes a date parameter.
std::string serverDate(const QDate& date);
// A DATE the server gave back (YYYY-MM-DD).
QDate storedDate(const RawFirebird::Value& value);

// A number of minutes from 0 to `high`; nullopt when it is none.
std::optional<int> minutes(const QString& text, int high);

// Why `text` cannot be stored as the name `what` in a column of `width`, or empty; the
// bytes to store go to `bytes`. Names are matched as they are: one with a blank at an end,
// or a control character, is refused.
QString nameProblem(const QString& what, const QString& text, const TextCodec& codec, const Width& width, QByteArray& bytes);

// An import file's records after its header: each one's fields in the order of `columns`
// (which the header names in any order, each once), the formula guard taken off; a record
// with another number of fields is malformed. Throws for a header that is not that.
std::vector<csv::Record> importRecords(const QString& path, const QStringList& columns);

// Refused lines, each told on standard error as it comes; all or nothing after them.
class Refusals {
public:
    void add(int line, const QString& reason);
    // Throws "nothing written" when any line was refused.
    void check() const;

private:
    int count_ = 0;
};

// A table a list writes to standard output and an export to its FILE (whole or not at
// all, standard output without one), as guarded CSV.
struct Listing {
    QString description;
    QStringList header;
    std::vector<QStringList> (*rows)(RawFirebird& db, const TextCodec& codec);
};

int runListing(const QStringList& arguments, const Listing& listing, bool exporting);

} // namespace kordane::admin
