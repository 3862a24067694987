#include "tools/report/PayFigures.h"

#include <algorithm>
#include <optional>

namespace kordane::report {
namespace {

using attendance::DayPay;
using attendance::WorkedSpell;

struct DayInput {
    std::vector<WorkedSpell> spells;
    bool present = false;
};
using Days = std::map<QDate, DayInput>;

void addRecords(const std::vector<Record>& records, const QDate& begin, const QDate& last, const QString& onlyEmployee,
                std::map<QString, Days>& into)
{
    auto daysOf = slotsByCode<Days*>(records);
    for (const Record& r : records) {
        if (!onlyEmployee.isEmpty() && r.employeeCode != onlyEmployee)
            continue;
        // Every code has its figures, those whose records' dates are no dates too.
        Days*& days = daysOf[static_cast<std::size_t>(r.employeeCode.rank())];
        if (!days)
            days = &into[r.employeeCode];
        const QDate day = placedDate(r.date);
        if (!day.isValid() || day < begin || day > last)
            continue;
        DayInput& input = (*days)[day];
        input.present = true;
        if (const auto spell = spellOf(r))
            input.spells.push_back({spell->start, spell->seconds});
    }
}

// Each employee's schedules found once, by the code's rank, for the plans of many records.
class Planner {
public:
    explicit Planner(const PaySite& site)
        : site_(site)
    {
    }

    attendance::DayPlan planOn(const Record& record, const QDate& day)
    {
        const auto rank = static_cast<std::size_t>(record.employeeCode.rank());
        if (rank >= people_.size())
            people_.resize(rank + 1);
        auto& person = people_[rank];
        if (!person)
            person = site_.personOf(record.employeeCode);
        return person->planOn(day);
    }

private:
    const PaySite& site_;
    std::vector<std::optional<attendance::WorkSchedules::Person>> people_;
};

bool worksIn(const PaySite& site, const QString& code, const attendance::PayPeriod& period)
{
    const auto person = site.personOf(code);
    for (QDate d = period.first; d <= period.last; d = d.addDays(1)) {
        const attendance::DayPlan plan = person.planOn(d);
        if (plan.shift && !plan.holiday)
            return true;
    }
    return false;
}

EmployeePay payOf(const QString& code, Days& days, const PaySite& site, const attendance::PayPeriod& period)
{
    const QDate begin = attendance::weekStart(period.first);
    const auto person = site.personOf(code);
    std::vector<DayPay> all;
    for (QDate d = begin; d <= period.last; d = d.addDays(1)) {
        const auto plan = person.planOn(d);
        const auto found = days.find(d);
        if (found == days.end()) {
            all.push_back(attendance::payDay({}, false, plan, site.rules));
            continue;
        }
        DayInput& input = found->second;
        for (WorkedSpell& s : input.spells)
            s.start = attendance::placedStart(s.start, plan);
        all.push_back(attendance::payDay(input.spells, input.present, plan, site.rules));
    }
    for (std::size_t week = 0; week < all.size(); week += 7)
        attendance::applyWeeklyNorm(std::span(all).subspan(week, std::min<std::size_t>(7, all.size() - week)), site.rules);

    EmployeePay pay;
    const auto lead = static_cast<std::size_t>(begin.daysTo(period.first));
    pay.days.assign(all.begin() + static_cast<std::ptrdiff_t>(lead), all.end());
    // A day not over yet is no absence: a period in progress counts the days gone by.
    const QDate today = QDate::currentDate();
    for (std::size_t i = 0; i < pay.days.size(); ++i) {
        DayPay& d = pay.days[i];
        if (period.first.addDays(static_cast<qint64>(i)) >= today)
            d.absent = false;
        attendance::addPay(pay.total, d);
        pay.absences += d.absent ? 1 : 0;
        pay.daysWorked += days.contains(period.first.addDays(static_cast<qint64>(i))) ? 1 : 0;
    }
    return pay;
}

} // namespace

std::map<QString, EmployeePay> payFigures(const std::vector<Record>& records, const std::vector<Record>& leadIn, const PaySite& site,
                                          const Employees& employees, const attendance::PayPeriod& period, const QString& onlyEmployee)
{
    std::map<QString, Days> byEmployee;
    addRecords(records, period.first, period.last, onlyEmployee, byEmployee);
    for (const auto& [code, e] : employees) {
        if ((onlyEmployee.isEmpty() || code == onlyEmployee) && !byEmployee.contains(code) && worksIn(site, code, period))
            byEmployee[code];
    }
    // The lead-in apart: its days pay no one who is not in the period.
    std::map<QString, Days> lead;
    addRecords(leadIn, attendance::weekStart(period.first), period.first.addDays(-1), onlyEmployee, lead);
    std::map<QString, EmployeePay> figures;
    for (auto& [code, days] : byEmployee) {
        if (const auto found = lead.find(code); found != lead.end())
            days.merge(found->second);
        figures.emplace(code, payOf(code, days, site, period));
    }
    return figures;
}

std::vector<Reasons> anomaliesOf(const std::vector<Record>& records, const std::vector<Record>& neighbours,
                                 const Employees& employees, const PaySite& site)
{
    if (site.schedules.empty())
        return findAnomalies(records, neighbours, employees, {});
    Planner planner(site);
    auto reasons = findAnomalies(records, neighbours, employees, [&](const Record& r, const QDate& day, int start) {
        return attendance::placedStart(start, planner.planOn(r, day));
    });
    for (std::size_t i = 0; i < records.size(); ++i) {
        Reasons& found = reasons[i];
        if (!found.contains(Reason::OutBeforeIn))
            continue;
        const auto spell = spellOf(records[i]);
        const QDate day = placedDate(records[i].date);
        if (!spell || !day.isValid())
            continue;
        const auto plan = planner.planOn(records[i], day);
        if (attendance::matchesNightShift({attendance::placedStart(spell->start, plan), spell->seconds}, plan))
            found.remove(Reason::OutBeforeIn);
    }
    return reasons;
}

} // namespace kordane::report
