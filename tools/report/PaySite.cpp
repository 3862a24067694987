#include "tools/report/PaySite.h"

#include "data/Exceptions.h"
#include "data/sql/SqlConnection.h"
#include "data/sql/SqlStatement.h"

namespace kordane::report {
namespace {

using attendance::Shift;
using attendance::WorkSchedules;

class TableReader {
public:
    explicit TableReader(SqlConnection& connection)
        : connection_(connection)
        , query_(QStringLiteral("PaySite"), connection)
    {
    }

    bool exists(const QString& table)
    {
        query_.setSql({QStringLiteral("SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = '%1'").arg(table)});
        query_.open();
        const bool found = !query_.eof();
        query_.close();
        return found;
    }

    // Every row of the statement, each column as a text (a null as an empty one).
    template<class Row>
    void forEachRow(const QString& table, const QString& sql, Row row)
    {
        if (!exists(table))
            return;
        query_.setSql({sql});
        for (query_.open(); !query_.eof(); query_.next()) {
            QStringList values;
            for (int c = 0; c < query_.fieldCount(); ++c)
                values << text(table, c);
            row(values);
        }
        query_.close();
    }

private:
    QString text(const QString& table, int column)
    {
        const std::string_view bytes = query_.rawText(column);
        auto decoded = connection_.decodeExactly(bytes.data(), bytes.size());
        if (!decoded)
            throw Exception(QStringLiteral("%1 holds a text that is not of the connection's character set").arg(table));
        return *decoded;
    }

    SqlConnection& connection_;
    SqlQuery query_;
};

QDate isoDate(const QString& text) { return QDate::fromString(text.left(10), Qt::ISODate); }

} // namespace

QString PaySite::departmentOf(const QString& code) const
{
    const auto found = departments.find(code);
    return found == departments.end() ? QString() : found->second;
}

PaySite readPaySite(SqlConnection& connection)
{
    PaySite site;
    TableReader tables(connection);
    std::map<QString, QString> settings;
    tables.forEachRow(QStringLiteral("SITE_SETTING"), QStringLiteral("SELECT SETTING_NAME, SETTING_VALUE FROM SITE_SETTING"),
                      [&](const QStringList& v) { settings[v[0]] = v[1]; });
    site.rules = attendance::payRulesFrom(settings);
    tables.forEachRow(QStringLiteral("EMPLOYEE_DEPARTMENT"), QStringLiteral("SELECT EMPLOYEE_ID, DEPARTMENT FROM EMPLOYEE_DEPARTMENT"),
                      [&](const QStringList& v) { site.departments[v[0]] = v[1]; });
    tables.forEachRow(QStringLiteral("WORK_SHIFT"),
                      QStringLiteral("SELECT SHIFT_CODE, START_MINUTE, END_MINUTE, BREAK_MINUTES, LATE_GRACE, EARLY_GRACE FROM WORK_SHIFT"),
                      [&](const QStringList& v) { site.schedules.addShift(v[0], Shift {v[1].toInt(), v[2].toInt(), v[3].toInt(), v[4].toInt(), v[5].toInt()}); });
    tables.forEachRow(QStringLiteral("WORK_PATTERN"),
                      QStringLiteral("SELECT SUBJECT_KIND, SUBJECT, CAST(VALID_FROM AS VARCHAR(10)), WEEKDAY, SHIFT_CODE FROM WORK_PATTERN"),
                      [&](const QStringList& v) {
                          const auto kind = v[0] == u"E" ? WorkSchedules::Subject::Employee : WorkSchedules::Subject::Department;
                          site.schedules.addPatternDay(kind, v[1], isoDate(v[2]), v[3].toInt(), v[4]);
                      });
    tables.forEachRow(QStringLiteral("HOLIDAY"), QStringLiteral("SELECT CAST(HOLIDAY_DATE AS VARCHAR(10)) FROM HOLIDAY"),
                      [&](const QStringList& v) { site.schedules.addHoliday(isoDate(v[0])); });
    tables.forEachRow(QStringLiteral("PAY_PERIOD_CLOSED"),
                      QStringLiteral("SELECT CAST(PERIOD_FIRST AS VARCHAR(10)), CAST(PERIOD_LAST AS VARCHAR(10)), CLOSED_BY,"
                                     " CAST(CLOSED_AT AS VARCHAR(24)) FROM PAY_PERIOD_CLOSED ORDER BY PERIOD_FIRST"),
                      [&](const QStringList& v) { site.closed.push_back({isoDate(v[0]), isoDate(v[1]), v[2], v[3].left(19)}); });
    return site;
}

} // namespace kordane::report
