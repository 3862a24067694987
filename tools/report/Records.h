#pragma once
// The rows the reports are made of, read through the program's connection. Every text is
// decoded exactly: a row with bytes that are no text of the connection's character set
// is skipped and named, never shown with made-up characters.
#include <QDate>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace kordane {
class SqlConnection;
class SqlQuery;
} // namespace kordane

namespace kordane::report {

class Progress;

// One POS_DAY row. A null reads as an empty text, as the window shows it.
struct Record {
    QString employeeId;
    QString date;
    QString timeIn;
    QString timeOut;
    QString weekday;
    QString name;
    QString card;
};

struct Employee {
    QString name;
    QString card;
    bool readable = true; // false: the code is held, but its name or card could not be read
};
using Employees = std::map<QString, Employee>;

class Reader {
public:
    Reader(SqlConnection& connection, Progress& progress);

    // The records of a date in the order the window's view lists them.
    std::vector<Record> day(const QString& date);
    // The records whose date texts lie from `fromText` to `toText` as texts (which is the
    // order of dates for texts of the right shape), of one employee when `employee` is
    // not empty. A date text out of shape counts when its figures make a date from
    // `first` to `last`; with `unplaced`, also when they make no date at all. In no set order.
    std::vector<Record> range(const QString& fromText, const QString& toText, const QDate& first, const QDate& last,
                              const QString& employee, bool unplaced);
    Employees employees();

    // One line for each row skipped, naming its date and employee code.
    const QStringList& skipped() const { return skipped_; }

private:
    // Reads every row of the open query; `keep` may refuse a row.
    template<class Keep>
    void readRecords(SqlQuery& query, std::vector<Record>& into, Keep keep);
    // The column's text, or nullopt with the row's first problem kept for its message.
    std::optional<QString> text(SqlQuery& query, int column, const char* name);
    void skip(const QString& rowName);

    SqlConnection& connection_;
    Progress& progress_;
    QStringList skipped_;
    QString charSet_;
    QString problem_; // the first column of the current row that could not be read
};

// The date a date text's figures stand for, read as the window reads a typed date;
// null when they make no date.
QDate placedDate(const QString& dateText);

} // namespace kordane::report
