#pragma once
// The rows the reports are made of, read through the program's connection. Every text is
// decoded exactly: a row with bytes that are no text of the connection's character set
// is skipped and named, never shown with made-up characters.
#include "tools/report/Texts.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace kordane {
class SqlConnection;
class SqlQuery;
} // namespace kordane

namespace kordane::report {

class Progress;

// One POS_DAY row, its texts as the window shows them. A null reads as an empty text.
struct Record {
    Text date; // INI_DATE
    Text employeeCode; // EMPLOYEE_ID
    Text timeIn; // TIME_IN
    Text timeOut; // TIME_OUT
    Text weekday; // BILL_WEEK
    Text name; // EMPLOYEE_NAME
    QString card; // CARD_ID, which may be another on every row: held by the reader
};

struct Employee {
    QString name;
    QString card;
    bool readable = true; // false: the code is held, but its name or card could not be read
};
using Employees = std::map<QString, Employee>;

// The name and card EMPLOYEE holds for a code; for a code it does not hold, the latest
// record's (none: empty).
std::pair<QString, QString> heldNameAndCard(const Employees& employees, const QString& code, const Record* latest);

// In order of date, employee and time in, or of employee, date and time in; stable.
void sortRecords(std::vector<Record>& records, bool dateFirst);

// A slot for each employee code of the records, by the code's rank: for what is looked up
// by a code once for each code rather than once a record.
template<class T>
std::vector<T> slotsByCode(const std::vector<Record>& records)
{
    int most = 0;
    for (const Record& r : records)
        most = std::max(most, r.employeeCode.rank());
    return std::vector<T>(static_cast<std::size_t>(most) + 1);
}

// Which records whose figures make no date a stretch holds besides those placed in it.
enum class Undated {
    None,
    InTheirMonth, // those whose text names a month the stretch touches: what a month counts
    Everywhere, // those, and those whose text names no month, which no month counts
};

// The records of a stretch of dates as the month places them: on the date their figures
// make, or, when they make none, in the month their text names (namedMonth).
struct Stretch {
    std::vector<Record> records;
    // Placed on the day before or the day after: their spells may run into the stretch's.
    // Compared with its records, never reported.
    std::vector<Record> neighbours;
};

// The records it reads hold texts of its own: it outlives them.
class Reader {
public:
    Reader(SqlConnection& connection, Progress& progress);

    // The records of a date in the order the window's view lists them.
    std::vector<Record> day(const QString& date);
    // The records a day's view leaves out that its spells may overlap: placed on the day
    // under another text, or on the day before or after.
    std::vector<Record> around(const QDate& day);
    // Of one employee when `employee` is not empty. In no set order.
    Stretch range(const QDate& first, const QDate& last, const QString& employee, Undated undated);
    Employees employees();

    // One line for each row skipped, naming its date and employee code.
    const QStringList& skipped() const { return skipped_; }

private:
    // What becomes of a row read.
    enum class Fate { Reported,
                      Compared,
                      Left };
    // Reads every row of the open query into `into` as `place` says.
    template<class Place>
    void readRecords(SqlQuery& query, Stretch& into, Place place);
    // The stretch's records but those whose date text is `leftOut`.
    Stretch read(const QDate& first, const QDate& last, const QString& employee, Undated undated, const QString& leftOut);
    // The column's text, or nullopt with the row's first problem kept for its message.
    // Held once, in the column's own texts.
    std::optional<Text> text(SqlQuery& query, int column, const char* name);
    // The same, held by the caller.
    std::optional<QString> ownText(SqlQuery& query, int column, const char* name);
    void unreadable(std::string_view bytes, const char* name);
    void skip(const QString& rowName);

    SqlConnection& connection_;
    Progress& progress_;
    std::array<Texts, 6> texts_; // by column, a POS_DAY row's first six
    PackedTexts cards_;
    QStringList skipped_;
    QString charSet_;
    QString problem_; // the first column of the current row that could not be read
};

// The date a date text's figures stand for, read as the window reads a typed date;
// null when they make no date.
QDate placedDate(const QString& dateText);
QDate placedDate(Text dateText); // the same, figured once for each text

// The month YYYY/MM whose texts, from YYYY/MM/00 to YYYY/MM/99 as texts sort, hold
// `dateText`; empty when it lies in no real month's.
QString namedMonth(const QString& dateText);

} // namespace kordane::report
