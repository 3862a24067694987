#include "tools/report/Payroll.h"

#include "tools/report/PayFigures.h"

namespace kordane::report {

QString decimalHours(int seconds)
{
    const qint64 cents = (static_cast<qint64>(seconds) * 100 + 1800) / 3600;
    return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

Table payrollTable(const ReportPeriod& period, Stretch stretch, const std::vector<Record>& leadIn, const Employees& employees,
                   const PaySite& site)
{
    std::vector<Record>& records = stretch.records;
    sortRecords(records, false);
    const auto reasons = anomaliesOf(records, stretch.neighbours, employees, site);
    const auto figures = payFigures(records, leadIn, site, employees, period.dates, QString());

    Table t;
    t.headers = {QStringLiteral("PERIOD"), QStringLiteral("DEPARTMENT"), QStringLiteral("EMPLOYEE_ID"), QStringLiteral("EMPLOYEE_NAME"),
                 QStringLiteral("CARD_ID"), QStringLiteral("DAYS_WORKED"), QStringLiteral("PAID_HOURS"), QStringLiteral("OVERTIME_DAILY_HOURS"),
                 QStringLiteral("OVERTIME_WEEKLY_HOURS"), QStringLiteral("REST_DAY_HOURS"), QStringLiteral("HOLIDAY_HOURS"),
                 QStringLiteral("NIGHT_HOURS"), QStringLiteral("LATE_MINUTES"), QStringLiteral("EARLY_MINUTES"), QStringLiteral("ABSENCES"),
                 QStringLiteral("OPEN_ANOMALIES")};
    t.rightAligned = {false, false, false, false, false, true, true, true, true, true, true, true, true, true, true, true};
    const QString periodText = period.dates.first.toString(QStringLiteral("yyyy/MM/dd")) + u'-' + period.dates.last.toString(QStringLiteral("yyyy/MM/dd"));
    std::size_t begin = 0;
    for (const auto& [code, pay] : figures) {
        while (begin < records.size() && records[begin].employeeCode < code)
            ++begin;
        int anomalies = 0;
        std::size_t end = begin;
        for (; end < records.size() && records[end].employeeCode == code; ++end)
            anomalies += static_cast<int>(reasons[end].size());
        const auto [name, card] = heldNameAndCard(employees, code, end > begin ? &records[end - 1] : nullptr);
        const attendance::DayPay& total = pay.total;
        t.rows.push_back({periodText, site.departmentOf(code), code, name, card, QString::number(pay.daysWorked),
                          decimalHours(total.paid), decimalHours(total.overDaily), decimalHours(total.overWeekly),
                          decimalHours(total.restDay), decimalHours(total.holiday), decimalHours(total.night),
                          QString::number(total.lateMinutes), QString::number(total.earlyMinutes), QString::number(pay.absences),
                          QString::number(anomalies)});
        begin = end;
    }
    return t;
}

} // namespace kordane::report
