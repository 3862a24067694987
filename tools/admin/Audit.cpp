// audit: the entries of POS_DAY_AUDIT, oldest first, as a table for a terminal or as CSV.
#include "tools/admin/Admin.h"
#include "tools/admin/Site.h"
#include "tools/sheet/SheetCsv.h"
#include "tools/sheet/TextTable.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QRegularExpression>

#include <cstdio>
#include <stdexcept>

namespace kordane::admin {
namespace {

const QStringList values = {QStringLiteral("EMPLOYEE_ID"), QStringLiteral("INI_DATE"), QStringLiteral("TIME_IN"),
                            QStringLiteral("TIME_OUT"), QStringLiteral("BILL_WEEK"), QStringLiteral("EMPLOYEE_NAME"),
                            QStringLiteral("CARD_ID")};
const QStringList about = {QStringLiteral("CHANGED_AT"), QStringLiteral("USER_NAME"), QStringLiteral("CLIENT_ADDRESS"),
                           QStringLiteral("CLIENT_PROCESS"), QStringLiteral("TRANSACTION_ID"), QStringLiteral("ACTION")};

// A text as a literal of the column's bytes.
std::string literal(const QByteArray& bytes)
{
    return "'" + QByteArray(bytes).replace('\'', "''").toStdString() + "'";
}

// "YYYY-MM-DD", with " HH:MM" or " HH:MM:SS" (or a T) after it, a real date and time.
QDateTime sinceTime(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})(?:[ T](\\d{2}):(\\d{2})(?::(\\d{2}))?)?$"));
    const QRegularExpressionMatch parts = shape.match(text.trimmed());
    if (!parts.hasMatch())
        throw UsageError("--since takes YYYY-MM-DD or YYYY-MM-DD HH:MM[:SS], not " + text.toStdString());
    const auto number = [&](int i) { return parts.captured(i).toInt(); };
    const QDate day(number(1), number(2), number(3));
    const QTime time(number(4), number(5), number(6));
    if (!day.isValid() || !time.isValid())
        throw UsageError("--since " + text.toStdString() + " is no real date and time");
    return {day, time};
}

// A date as the records hold one, YYYY/MM/DD (or without the leading zeros), a real date.
QString dateArgument(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("^(\\d{4})/(\\d{1,2})/(\\d{1,2})$"));
    const QRegularExpressionMatch parts = shape.match(text);
    if (!parts.hasMatch())
        throw UsageError("--date takes YYYY/MM/DD, not " + text.toStdString());
    if (!QDate(parts.captured(1).toInt(), parts.captured(2).toInt(), parts.captured(3).toInt()).isValid())
        throw UsageError("--date " + text.toStdString() + " is no real date");
    return text;
}

// What the entries are kept by; empty for no condition.
struct Filter {
    QString date;
    QString employee;
    QString since; // as the server reads a timestamp
};

// The options' values, checked before the site is looked at.
Filter filter(const QCommandLineParser& parser)
{
    Filter only;
    if (parser.isSet(QStringLiteral("date")))
        only.date = dateArgument(parser.value(QStringLiteral("date")));
    only.employee = parser.value(QStringLiteral("employee"));
    if (parser.isSet(QStringLiteral("since")))
        only.since = sinceTime(parser.value(QStringLiteral("since"))).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return only;
}

std::string query(const Filter& only, const Site& site)
{
    std::string sql = "SELECT SUBSTRING(CAST(CHANGED_AT AS VARCHAR(24)) FROM 1 FOR 19), USER_NAME, CLIENT_ADDRESS,"
                      " CLIENT_PROCESS, TRANSACTION_ID, ACTION";
    for (const char* age : {"OLD_", "NEW_"}) {
        for (const QString& column : values)
            sql += std::string(", ") + age + column.toStdString();
    }
    sql += " FROM POS_DAY_AUDIT WHERE 1 = 1";
    // A record's date or code before or after the change.
    const auto either = [&](const QString& column, const QString& text) {
        const std::string bytes = literal(site.codec().encode(text));
        sql += " AND (OLD_" + column.toStdString() + " = " + bytes + " OR NEW_" + column.toStdString() + " = " + bytes + ")";
    };
    if (!only.date.isEmpty())
        either(QStringLiteral("INI_DATE"), only.date);
    if (!only.employee.isEmpty())
        either(QStringLiteral("EMPLOYEE_ID"), only.employee);
    if (!only.since.isEmpty())
        sql += " AND CHANGED_AT >= TIMESTAMP '" + only.since.toStdString() + "'";
    return sql + " ORDER BY AUDIT_ID";
}

} // namespace

int audit(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lists the audit trail of POS_DAY, oldest first: when (the server's time), who, from where, what, "
                       "and the values before and after. A change of a value shows as 'old → new'."));
    parser.addOptions({connectionsOption(),
                       {QStringLiteral("date"), QStringLiteral("Only entries of records of date D (YYYY/MM/DD), before or after the change."), QStringLiteral("D")},
                       {QStringLiteral("employee"), QStringLiteral("Only entries of records of the employee CODE."), QStringLiteral("CODE")},
                       {QStringLiteral("since"), QStringLiteral("Only entries from TIMESTAMP on (YYYY-MM-DD [HH:MM[:SS]])."), QStringLiteral("TIMESTAMP")},
                       {QStringLiteral("csv"), QStringLiteral("UTF-8 CSV with each value before and after in a column of its own; a cell that would start a spreadsheet formula gets an apostrophe in front.")}});
    if (!parseCommand(parser, arguments))
        return 0;
    if (!parser.positionalArguments().isEmpty())
        throw UsageError("audit takes no arguments (kordane-admin audit --help)");
    const Filter only = filter(parser);
    const Site site(parser);
    RawFirebird db = site.attach();
    if (db.query("SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'POS_DAY_AUDIT'").empty())
        throw std::runtime_error("the database keeps no audit trail (kordane-admin rules install starts one)");
    const auto rows = db.query(query(only, site));

    const bool csv = parser.isSet(QStringLiteral("csv"));
    report::Table table;
    table.title = QStringLiteral("Audit trail of POS_DAY: %1 %2").arg(rows.size()).arg(rows.size() == 1 ? QStringLiteral("entry") : QStringLiteral("entries"));
    table.headers = about;
    for (const QString& column : values)
        table.headers << (csv ? QStringList {QStringLiteral("OLD_") + column, QStringLiteral("NEW_") + column} : QStringList {column});
    const auto n = static_cast<std::size_t>(about.size());
    for (const auto& row : rows) {
        QStringList cells;
        for (std::size_t i = 0; i < n; ++i) // names the system gives: UTF-8 or plain
            cells << QString::fromUtf8(row[i].value_or(std::string()));
        for (std::size_t i = 0; i < static_cast<std::size_t>(values.size()); ++i) {
            const auto text = [&](const RawFirebird::Value& value) {
                return value ? site.codec().decode(value->data(), value->size()) : QString();
            };
            const RawFirebird::Value& before = row[n + i];
            const RawFirebird::Value& after = row[n + static_cast<std::size_t>(values.size()) + i];
            if (csv)
                cells << text(before) << text(after);
            else if (cells[5] == u"INSERT" || before == after)
                cells << text(after);
            else if (cells[5] == u"DELETE")
                cells << text(before);
            else
                cells << (text(before) + QStringLiteral(" → ") + text(after)).trimmed();
        }
        table.rows.push_back(cells);
    }
    const QByteArray out = csv ? report::csv(table, false) : report::textTable(table).toUtf8();
    if (std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout) != static_cast<std::size_t>(out.size()) || std::fflush(stdout) != 0)
        throw std::runtime_error("cannot write to standard output");
    return 0;
}

} // namespace kordane::admin
