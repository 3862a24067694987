#include "tools/report/Payroll.h"

#include "tools/report/PayFigures.h"

#include <map>
#include <tuple>

namespace kordane::report {

QString decimalHours(int seconds)
{
    const qint64 cents = (static_cast<qint64>(seconds) * 100 + 1800) / 3600;
    return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

Table payrollTable(const ReportPeriod& period, Stretch stretch, const std::vector<Record>& leadIn, const Employees& employees,
                   const PaySite& site)
{
    // In the order read: what a line needs of them is summed or the latest.
    const std::vector<Record>& records = stretch.records;
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
    // Each code's anomalies, and its latest record: the last in order of date and time in.
    struct OfCode {
        int anomalies = 0;
        const Record* latest = nullptr;
    };
    auto ofRank = slotsByCode<OfCode>(records);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        OfCode& of = ofRank[static_cast<std::size_t>(r.employeeCode.rank())];
        of.anomalies += static_cast<int>(reasons[i].size());
        if (!of.latest || std::tie(r.date, r.timeIn) >= std::tie(of.latest->date, of.latest->timeIn))
            of.latest = &r;
    }
    std::map<QString, const OfCode*> ofCode;
    for (const OfCode& of : ofRank) {
        if (of.latest)
            ofCode.emplace(of.latest->employeeCode, &of);
    }
    const OfCode none;
    for (const auto& [code, pay] : figures) {
        const auto found = ofCode.find(code);
        const OfCode& of = found == ofCode.end() ? none : *found->second;
        const auto [name, card] = heldNameAndCard(employees, code, of.latest);
        const attendance::DayPay& total = pay.total;
        t.rows.push_back({periodText, site.departmentOf(code), code, name, card, QString::number(pay.daysWorked),
                          decimalHours(total.paid), decimalHours(total.overDaily), decimalHours(total.overWeekly),
                          decimalHours(total.restDay), decimalHours(total.holiday), decimalHours(total.night),
                          QString::number(total.lateMinutes), QString::number(total.earlyMinutes), QString::number(pay.absences),
                          QString::number(of.anomalies)});
    }
    return t;
}

} // namespace kordane::report
