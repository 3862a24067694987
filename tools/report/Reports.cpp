#include "tools/report/Reports.h"

#include "attendance/DateConversion.h"
#include "attendance/RegionalSettings.h"
#include "tools/report/Spells.h"

#include <QDate>

#include <algorithm>
#include <set>
#include <tuple>

namespace kordane::report {
namespace {

QString reasonsText(const std::vector<Reason>& reasons)
{
    QStringList texts;
    for (const Reason r : reasons)
        texts << reasonText(r);
    return texts.join(QStringLiteral("、"));
}

QString spellText(const Record& record)
{
    const auto spell = spellOf(record);
    return spell ? lengthText(spell->seconds) : QString();
}

void sortBy(std::vector<Record>& records, bool dateFirst)
{
    std::stable_sort(records.begin(), records.end(), [dateFirst](const Record& a, const Record& b) {
        return dateFirst ? std::tie(a.date, a.employeeCode, a.timeIn) < std::tie(b.date, b.employeeCode, b.timeIn)
                         : std::tie(a.employeeCode, a.date, a.timeIn) < std::tie(b.employeeCode, b.date, b.timeIn);
    });
}

// One employee's month: what the summary line and the page's notes say.
struct Totals {
    std::set<QString> days;
    int spells = 0;
    int closedSeconds = 0;
    int open = 0;
    int anomalies = 0;

    void add(const Record& r, const QDate& day, const std::vector<Reason>& reasons)
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
    std::vector<const std::vector<Reason>*> reasons;
    Totals totals;
};

// A page of one employee's month: every day a row, a row more for each further spell.
Table monthPage(const QString& month, const QString& code, const QString& name, const QString& card,
                const EmployeeMonth& m)
{
    Table page;
    page.title = QStringLiteral("出勤月報 %1　%2 %3　卡號 %4").arg(month, code, name, card);
    page.headers = {QStringLiteral("日期"), QStringLiteral("星期"), QStringLiteral("上班"), QStringLiteral("下班"),
                    QStringLiteral("時數"), QStringLiteral("備註")};
    page.rightAligned = {false, false, false, false, true, false};
    const auto row = [&](const QString& dateText, const QString& weekday, std::size_t i) {
        const Record& r = *m.records[i];
        page.rows.push_back({dateText, weekday, r.timeIn, r.timeOut, spellText(r), reasonsText(*m.reasons[i])});
    };
    const RegionalSettings& regional = RegionalSettings::current();
    const QDate first = QDate::fromString(month + QStringLiteral("/01"), QStringLiteral("yyyy/MM/dd"));
    std::vector<std::vector<std::size_t>> byDay(static_cast<std::size_t>(first.daysInMonth()));
    std::vector<std::size_t> unplaced;
    for (std::size_t i = 0; i < m.records.size(); ++i) {
        const QDate& d = m.days[i];
        if (d.isValid() && d.year() == first.year() && d.month() == first.month())
            byDay[static_cast<std::size_t>(d.day() - 1)].push_back(i);
        else
            unplaced.push_back(i);
    }
    for (std::size_t n = 0; n < byDay.size(); ++n) {
        const QDate d = first.addDays(static_cast<qint64>(n));
        const QString dateText = formatDate(d, regional);
        const QString weekday = weekdayCharacter(dayOfWeek(d));
        if (byDay[n].empty())
            page.rows.push_back({dateText, weekday, {}, {}, {}, {}});
        for (std::size_t k = 0; k < byDay[n].size(); ++k)
            row(k == 0 ? dateText : QString(), k == 0 ? weekday : QString(), byDay[n][k]);
    }
    // Dates whose figures make no date: as they stand.
    for (const std::size_t i : unplaced)
        row(m.records[i]->date, m.records[i]->weekday, i);
    page.notes << QStringLiteral("出勤 %1 日　時段 %2　工時 %3　未下班 %4　異常 %5")
                      .arg(m.totals.days.size())
                      .arg(m.totals.spells)
                      .arg(lengthText(m.totals.closedSeconds))
                      .arg(m.totals.open)
                      .arg(m.totals.anomalies);
    page.signature = true;
    return page;
}

} // namespace

Sheet dayReport(const QString& date, const std::vector<Record>& records, const std::vector<Record>& around,
                const Employees& employees)
{
    const auto reasons = findAnomalies(records, around, employees);
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

Sheet monthReport(const QString& month, Stretch stretch, const Employees& employees, bool paper)
{
    std::vector<Record>& records = stretch.records;
    sortBy(records, false);
    const auto reasons = findAnomalies(records, stretch.neighbours, employees);
    Sheet sheet;
    Table& t = sheet.summary;
    t.title = QStringLiteral("出勤月報 %1").arg(month);
    t.headers = {QStringLiteral("員工代號"), QStringLiteral("姓名"), QStringLiteral("日數"), QStringLiteral("時段"),
                 QStringLiteral("工時"), QStringLiteral("未下班"), QStringLiteral("異常")};
    t.rightAligned = {false, false, true, true, true, true, true};
    for (std::size_t begin = 0; begin < records.size();) {
        const QString& code = records[begin].employeeCode;
        EmployeeMonth m;
        std::size_t end = begin;
        for (; end < records.size() && records[end].employeeCode == code; ++end) {
            m.records.push_back(&records[end]);
            m.days.push_back(placedDate(records[end].date));
            m.reasons.push_back(&reasons[end]);
            m.totals.add(records[end], m.days.back(), reasons[end]);
        }
        // The name EMPLOYEE holds; for a code it does not hold, the latest record's.
        const auto held = employees.find(code);
        const bool known = held != employees.end() && held->second.readable;
        const QString name = known ? held->second.name : records[end - 1].name;
        const QString card = known ? held->second.card : records[end - 1].card;
        t.rows.push_back({code, name, QString::number(m.totals.days.size()), QString::number(m.totals.spells),
                          lengthText(m.totals.closedSeconds), QString::number(m.totals.open),
                          QString::number(m.totals.anomalies)});
        if (paper)
            sheet.pages.push_back(monthPage(month, code, name, card, m));
        begin = end;
    }
    t.notes << QStringLiteral("員工 %1 人　紀錄 %2 筆").arg(t.rows.size()).arg(records.size());
    return sheet;
}

Sheet anomaliesReport(const QString& from, const QString& to, Stretch stretch, const Employees& employees)
{
    std::vector<Record>& records = stretch.records;
    sortBy(records, true);
    const auto reasons = findAnomalies(records, stretch.neighbours, employees);
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
        for (const Reason reason : reasons[i])
            t.rows.push_back({r.date, r.weekday, r.employeeCode, r.name, r.timeIn, r.timeOut, reasonText(reason)});
    }
    t.notes << QStringLiteral("需要查看 %1 筆紀錄　原因 %2 項　查過 %3 筆").arg(flagged).arg(t.rows.size()).arg(records.size());
    return sheet;
}

} // namespace kordane::report
