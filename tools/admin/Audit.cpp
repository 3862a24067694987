// audit: the entries of POS_DAY_AUDIT, oldest first, as a table for a terminal or as CSV.
#include "tools/admin/Admin.h"
#include "tools/admin/Site.h"
#include "tools/sheet/SheetCsv.h"
#include "tools/sheet/TextTable.h"

#include <QCommandLineParser>
#include <QDateTime>

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

// "YYYY-MM-DD", with " HH:MM" or " HH:MM:SS" (or a T) after it.
QDateTime sinceTime(const QString& text)
{
    QString iso = text.trimmed();
    iso.replace(u' ', u'T');
    QDateTime time = QDateTime::fromString(iso, Qt::ISODate);
    if (!time.isValid()) {
        const QDate day = QDate::fromString(iso, Qt::ISODate);
        time = day.isValid() ? day.startOfDay() : QDateTime();
    }
    if (!time.isValid())
        throw std::runtime_error("--since takes YYYY-MM-DD or YYYY-MM-DD HH:MM[:SS], not " + text.toStdString());
    return time;
}

std::string query(const QCommandLineParser& parser, const Site& site)
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
    if (parser.isSet(QStringLiteral("date")))
        either(QStringLiteral("INI_DATE"), parser.value(QStringLiteral("date")));
    if (parser.isSet(QStringLiteral("employee")))
        either(QStringLiteral("EMPLOYEE_ID"), parser.value(QStringLiteral("employee")));
    if (parser.isSet(QStringLiteral("since"))) {
        sql += " AND CHANGED_AT >= TIMESTAMP '"
            + sinceTime(parser.value(QStringLiteral("since"))).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString() + "'";
    }
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
        throw std::runtime_error("audit takes no arguments (kordane-admin audit --help)");
    const Site site(parser);
    RawFirebird db = site.attach();
    if (db.query("SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'POS_DAY_AUDIT'").empty())
        throw std::runtime_error("the database keeps no audit trail (kordane-admin rules install starts one)");
    const auto rows = db.query(query(parser, site));

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
