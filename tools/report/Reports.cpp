#include "tools/report/Reports.h"

#include "attendance/DateConversion.h"
#include "attendance/RegionalSettings.h"
#include "tools/report/PayFigures.h"
#include "tools/report/Spells.h"

#include <QDate>

#include <algorithm>
#include <set>
#include <tuple>

namespace kordane::report {
namespace {

QString reasonsText(const Reasons& reasons)
{
    QStringList texts;
    reasons.forEach([&](Reason r) { texts << reasonText(r); });
    return texts.join(QStringLiteral("、"));
}

QString spellText(const Record& record)
{
    const auto spell = spellOf(record);
    return spell ? lengthText(spell->seconds) : QString();
}

// One employee's month: what the summary line and the page's notes say.
struct Totals {
    std::set<QString> days;
    int spells = 0;
    int closedSeconds = 0;
    int open = 0;
    int anomalies = 0;

    void add(const Record& r, const QDate& day, const Reasons& reasons)
    {
        days.insert(day.isValid() ? day.toString(Qt::ISODate) : r.date);
        ++spells;
        if (const auto spell = spellOf(r))
            closedSeconds += spell->seconds;
        if (noTime(r.timeOut))
            ++open;
        anomalies += static_cast<int>(reasons.size());
    }
};

// One employee's records of the month, in order of date and time in.
struct EmployeeMonth {
    std::vector<const Record*> records;
    std::vector<QDate> days;
    std::vector<const Reasons*> reasons;
    Totals totals;
    const EmployeePay* pay = nullptr; // with schedules
};

// Short, so that a page of days with them still fits across A4. Late and early are minutes.
const QStringList payHeaders = {QStringLiteral("排班"), QStringLiteral("實工"), QStringLiteral("遲到"), QStringLiteral("早退"),
                                QStringLiteral("缺勤"), QStringLiteral("日超"), QStringLiteral("週超"), QStringLiteral("休日"),
                                QStringLiteral("假日"), QStringLiteral("夜間")};

// A day's figures show only what is not nothing, so the day's events stand out.
QStringList payCells(const attendance::DayPay& d, int absences, bool blankZeros = false)
{
    const auto length = [&](int seconds) { return blankZeros && seconds == 0 ? QString() : lengthText(seconds); };
    const auto count = [&](int n) { return blankZeros && n == 0 ? QString() : QString::number(n); };
    return {length(d.scheduled), length(d.paid), count(d.lateMinutes), count(d.earlyMinutes), count(absences),
            length(d.overDaily), length(d.overWeekly), length(d.restDay), length(d.holiday), length(d.night)};
}

void addPayColumns(Table& t)
{
    t.headers << payHeaders;
    t.rightAligned.resize(t.rightAligned.size() + static_cast<std::size_t>(payHeaders.size()), true);
}

// A page of one employee's month: every day a row, a row more for each further spell.
Table monthPage(const ReportPeriod& period, const QString& code, const QString& name, const QString& card,
                const EmployeeMonth& m)
{
    Table page;
    page.title = QStringLiteral("出勤月報 %1　%2 %3　卡號 %4").arg(period.label, code, name, card);
    page.headers = {QStringLiteral("日期"), QStringLiteral("星期"), QStringLiteral("上班"), QStringLiteral("下班"),
                    QStringLiteral("時數"), QStringLiteral("備註")};
    page.rightAligned = {false, false, false, false, true, false};
    if (m.pay)
        addPayColumns(page);
    const QStringList noPay = m.pay ? QStringList(payHeaders.size(), QString()) : QStringList();
    const auto row = [&](const QString& dateText, const QString& weekday, std::size_t i, const QStringList& pay) {
        const Record& r = *m.records[i];
        page.rows.push_back(QStringList {dateText, weekday, r.timeIn, r.timeOut, spellText(r), reasonsText(*m.reasons[i])} << pay);
    };
    const RegionalSettings& regional = RegionalSettings::current();
    const QDate& first = period.dates.first;
    std::vector<std::vector<std::size_t>> byDay(static_cast<std::size_t>(first.daysTo(period.dates.last) + 1));
    std::vector<std::size_t> unplaced;
    for (std::size_t i = 0; i < m.records.size(); ++i) {
        const QDate& d = m.days[i];
        if (d.isValid() && d >= first && d <= period.dates.last)
            byDay[static_cast<std::size_t>(first.daysTo(d))].push_back(i);
        else
            unplaced.push_back(i);
    }
    for (std::size_t n = 0; n < byDay.size(); ++n) {
        const QDate d = first.addDays(static_cast<qint64>(n));
        const QString dateText = formatDate(d, regional);
        const QString weekday = weekdayCharacter(dayOfWeek(d));
        const QStringList pay = m.pay ? payCells(m.pay->days[n], m.pay->days[n].absent ? 1 : 0, true) : QStringList();
        if (byDay[n].empty())
            page.rows.push_back(QStringList {dateText, weekday, {}, {}, {}, {}} << pay);
        for (std::size_t k = 0; k < byDay[n].size(); ++k)
            row(k == 0 ? dateText : QString(), k == 0 ? weekday : QString(), byDay[n][k], k == 0 ? pay : noPay);
    }
    // Dates whose figures make no date: as they stand.
    for (const std::size_t i : unplaced)
        row(m.records[i]->date, m.records[i]->weekday, i, noPay);
    page.notes << QStringLiteral("出勤 %1 日　時段 %2　工時 %3　未下班 %4　異常 %5")
                      .arg(m.totals.days.size())
                      .arg(m.totals.spells)
                      .arg(lengthText(m.totals.closedSeconds))
                      .arg(m.totals.open)
                      .arg(m.totals.anomalies);
    page.notes << period.closedNotes;
    page.signature = true;
    return page;
}

// The lines of a group of employees' summed figures: a department's or the site's.
struct GroupTotals {
    Totals totals; // but its days: those are an employee's
    attendance::DayPay pay;
    int absences = 0;

    void add(const EmployeeMonth& m)
    {
        totals.spells += m.totals.spells;
        totals.closedSeconds += m.totals.closedSeconds;
        totals.open += m.totals.open;
        totals.anomalies += m.totals.anomalies;
        attendance::addPay(pay, m.pay->total);
        absences += m.pay->absences;
    }
    QStringList row(const QString& what, const QString& department) const
    {
        return QStringList {what, QString(), department, QString(), QString::number(totals.spells), lengthText(totals.closedSeconds),
                            QString::number(totals.open), QString::number(totals.anomalies)}
        << payCells(pay, absences);
    }
};

} // namespace

Sheet dayReport(const QString& date, const std::vector<Record>& records, const std::vector<Record>& around,
                const Employees& employees, const PaySite& site)
{
    const auto reasons = anomaliesOf(records, around, employees, site);
    Sheet sheet;
    Table& t = sheet.summary;
    t.title = QStringLiteral("出勤日報 %1（%2）").arg(date, weekdayCharacter(dayOfWeek(exactDate(date))));
    t.headers = {QStringLiteral("員工代號"), QStringLiteral("姓名"), QStringLiteral("卡號"), QStringLiteral("星期"),
                 QStringLiteral("上班"), QStringLiteral("下班"), QStringLiteral("時數"), QStringLiteral("備註")};
    t.rightAligned = {false, false, false, false, false, false, true, false};
    int seconds = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        if (const auto spell = spellOf(r))
            seconds += spell->seconds;
        t.rows.push_back({r.employeeCode, r.name, r.card, r.weekday, r.timeIn, r.timeOut, spellText(r), reasonsText(reasons[i])});
    }
    t.notes << QStringLiteral("紀錄 %1 筆　時數合計 %2").arg(records.size()).arg(lengthText(seconds));
    return sheet;
}

Sheet monthReport(const ReportPeriod& period, Stretch stretch, const std::vector<Record>& leadIn, const Employees& employees,
                  const PaySite& site, bool paper)
{
    std::vector<Record>& records = stretch.records;
    sortRecords(records, false);
    const auto reasons = anomaliesOf(records, stretch.neighbours, employees, site);
    const bool scheduled = !site.schedules.empty();
    const auto figures = scheduled ? payFigures(records, leadIn, site, employees, period.dates, period.employee)
                                   : std::map<QString, EmployeePay> {};
    Sheet sheet;
    Table& t = sheet.summary;
    t.title = QStringLiteral("出勤月報 %1").arg(period.label);
    t.headers = {QStringLiteral("員工代號"), QStringLiteral("姓名"), QStringLiteral("日數"), QStringLiteral("時段"),
                 QStringLiteral("工時"), QStringLiteral("未下班"), QStringLiteral("異常")};
    t.rightAligned = {false, false, true, true, true, true, true};
    if (scheduled) {
        t.headers.insert(2, QStringLiteral("部門"));
        t.rightAligned.insert(t.rightAligned.begin() + 2, false);
        addPayColumns(t);
    }
    // Every code with records, and with schedules every one scheduled to work.
    std::set<QString> codes;
    for (const Record& r : records)
        codes.insert(r.employeeCode);
    for (const auto& f : figures)
        codes.insert(f.first);
    std::map<QString, GroupTotals> departments;
    GroupTotals everyone;
    std::size_t begin = 0;
    for (const QString& code : codes) {
        EmployeeMonth m;
        std::size_t end = begin;
        for (; end < records.size() && records[end].employeeCode == code; ++end) {
            m.records.push_back(&records[end]);
            m.days.push_back(placedDate(records[end].date));
            m.reasons.push_back(&reasons[end]);
            m.totals.add(records[end], m.days.back(), reasons[end]);
        }
        const auto [name, card] = heldNameAndCard(employees, code, end > begin ? &records[end - 1] : nullptr);
        QStringList line {code, name, QString::number(m.totals.days.size()), QString::number(m.totals.spells),
                          lengthText(m.totals.closedSeconds), QString::number(m.totals.open), QString::number(m.totals.anomalies)};
        if (scheduled) {
            m.pay = &figures.at(code);
            const QString department = site.departmentOf(code);
            line.insert(2, department);
            line << payCells(m.pay->total, m.pay->absences);
            departments[department].add(m);
            everyone.add(m);
        }
        t.rows.push_back(line);
        if (paper)
            sheet.pages.push_back(monthPage(period, code, name, card, m));
        begin = end;
    }
    const auto employeeLines = t.rows.size();
    if (scheduled) {
        for (const auto& [department, group] : departments)
            t.rows.push_back(group.row(QStringLiteral("部門合計"), department));
        t.rows.push_back(everyone.row(QStringLiteral("全部合計"), QString()));
    }
    t.notes << QStringLiteral("員工 %1 人　紀錄 %2 筆").arg(employeeLines).arg(records.size());
    t.notes << period.closedNotes;
    return sheet;
}

Sheet anomaliesReport(const QString& from, const QString& to, Stretch stretch, const Employees& employees, const PaySite& site)
{
    std::vector<Record>& records = stretch.records;
    sortRecords(records, true);
    const auto reasons = anomaliesOf(records, stretch.neighbours, employees, site);
    Sheet sheet;
    Table& t = sheet.summary;
    t.title = QStringLiteral("需要查看的紀錄 %1 至 %2").arg(from, to);
    t.headers = {QStringLiteral("日期"), QStringLiteral("星期"), QStringLiteral("員工代號"), QStringLiteral("姓名"),
                 QStringLiteral("上班"), QStringLiteral("下班"), QStringLiteral("原因")};
    t.rightAligned = std::vector<bool>(7, false);
    int flagged = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        flagged += reasons[i].empty() ? 0 : 1;
        reasons[i].forEach([&](Reason reason) { t.rows.push_back({r.date, r.weekday, r.employeeCode, r.name, r.timeIn, r.timeOut, reasonText(reason)}); });
    }
    t.notes << QStringLiteral("需要查看 %1 筆紀錄　原因 %2 項　查過 %3 筆").arg(flagged).arg(t.rows.size()).arg(records.size());
    return sheet;
}

} // namespace kordane::report
