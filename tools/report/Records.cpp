#include "tools/report/Records.h"

#include "attendance/Catalogue.h"
#include "attendance/DateConversion.h"
#include "data/sql/SqlConnection.h"
#include "data/sql/SqlStatement.h"
#include "tools/report/Progress.h"

namespace kordane::report {
namespace {

const QString columns = QStringLiteral("EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT, BILL_WEEK, EMPLOYEE_NAME, CARD_ID");
enum Column { EmployeeId,
              Date,
              TimeIn,
              TimeOut,
              Weekday,
              Name,
              Card };
const char* const columnNames[] = {"EMPLOYEE_ID", "INI_DATE", "TIME_IN", "TIME_OUT", "BILL_WEEK", "EMPLOYEE_NAME", "CARD_ID"};

QString quoted(const QString& text) { return u'\'' + catalogue::literalText(text) + u'\''; }

// Bytes for a message: printable ASCII as it is, anything else as \xNN.
QString escaped(std::string_view bytes)
{
    QString text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F)
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0'));
    }
    return text;
}

} // namespace

QDate placedDate(const QString& dateText)
{
    try {
        return strToDate(dateText, RegionalSettings::current());
    } catch (const EConvertError&) {
        return {};
    }
}

Reader::Reader(SqlConnection& connection, Progress& progress)
    : connection_(connection)
    , progress_(progress)
{
}

std::optional<QString> Reader::text(SqlQuery& query, int column, const char* name)
{
    const std::string_view bytes = query.rawText(column);
    if (auto decoded = connection_.decodeExactly(bytes.data(), bytes.size()))
        return decoded;
    if (problem_.isEmpty()) {
        if (charSet_.isEmpty()) {
            const QString set = connection_.paramValue(QStringLiteral("ServerCharSet")).value_or(QString()).trimmed();
            charSet_ = set.isEmpty() ? QStringLiteral("code page 950") : QStringLiteral("character set ") + set;
        }
        problem_ = QStringLiteral("%1 is not %2 text (%3)").arg(QLatin1String(name), charSet_, escaped(bytes));
    }
    return std::nullopt;
}

void Reader::skip(const QString& rowName)
{
    skipped_ << QStringLiteral("%1: %2; skipped").arg(rowName, problem_);
}

template<class Keep>
void Reader::readRecords(SqlQuery& query, std::vector<Record>& into, Keep keep)
{
    for (query.open(); !query.eof(); query.next()) {
        progress_.row();
        problem_.clear();
        Record r;
        QString* const fields[] = {&r.employeeId, &r.date, &r.timeIn, &r.timeOut, &r.weekday, &r.name, &r.card};
        for (int c = EmployeeId; c <= Card; ++c) {
            if (auto value = text(query, c, columnNames[c]))
                *fields[c] = std::move(*value);
        }
        if (!problem_.isEmpty())
            skip(QStringLiteral("POS_DAY row of %1, employee %2").arg(escaped(query.rawText(Date)), escaped(query.rawText(EmployeeId))));
        else if (keep(r))
            into.push_back(std::move(r));
    }
    query.close();
}

std::vector<Record> Reader::day(const QString& date)
{
    SqlQuery query(QStringLiteral("SQLQuery1"), connection_);
    QStringList lines = catalogue::daySelect(date);
    lines.front() = QStringLiteral("select ") + columns + QStringLiteral(" from POS_DAY ");
    query.setSql(lines);
    std::vector<Record> records;
    readRecords(query, records, [](const Record&) { return true; });
    return records;
}

std::vector<Record> Reader::range(const QString& fromText, const QString& toText, const QDate& first, const QDate& last,
                                  const QString& employee, bool unplaced)
{
    const QString ofEmployee = employee.isEmpty() ? QString() : QStringLiteral(" AND EMPLOYEE_ID = ") + quoted(employee);
    SqlQuery query(QStringLiteral("SQLQuery1"), connection_);
    // Date texts of the right shape sort as their dates do, so the index finds them.
    query.setSql({QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM POS_DAY"),
                  QStringLiteral(" WHERE INI_DATE BETWEEN ") + quoted(fromText) + QStringLiteral(" AND ") + quoted(toText) + ofEmployee});
    std::vector<Record> records;
    readRecords(query, records, [](const Record&) { return true; });

    // The others sort anywhere: found by their shape, placed by their figures.
    query.setSql({QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM POS_DAY"),
                  QStringLiteral(" WHERE (INI_DATE IS NULL OR INI_DATE NOT SIMILAR TO '[0-9]{4}/[0-9]{2}/[0-9]{2}')") + ofEmployee});
    readRecords(query, records, [&](const Record& r) {
        if (r.date >= fromText && r.date <= toText)
            return false; // read by the first query already
        const QDate placed = placedDate(r.date);
        return placed.isValid() ? placed >= first && placed <= last : unplaced;
    });
    return records;
}

Employees Reader::employees()
{
    SqlQuery query(QStringLiteral("SQLQuery1"), connection_);
    query.setSql({QStringLiteral("SELECT EMPLOYEE_ID, EMPLOYEE_NAME, CARD_ID FROM EMPLOYEE")});
    Employees employees;
    for (query.open(); !query.eof(); query.next()) {
        problem_.clear();
        const auto code = text(query, 0, "EMPLOYEE_ID");
        const auto name = text(query, 1, "EMPLOYEE_NAME");
        const auto card = text(query, 2, "CARD_ID");
        if (!problem_.isEmpty())
            skip(QStringLiteral("EMPLOYEE row %1").arg(escaped(query.rawText(0))));
        // A code that was read is still held: its records are not of an unknown employee.
        if (code)
            employees.emplace(*code, Employee {name.value_or(QString()), card.value_or(QString()), name && card});
    }
    return employees;
}

} // namespace kordane::report
