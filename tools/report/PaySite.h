#pragma once
// What the site keeps for pay beside the records: its settings, departments, schedules and
// closed periods. A database made before these tables has none of them, and then the
// reports are as they were without them.
#include "attendance/PayRules.h"
#include "attendance/WorkSchedules.h"

#include <QDate>
#include <QString>

#include <map>
#include <vector>

namespace kordane {
class SqlConnection;
} // namespace kordane

namespace kordane::report {

struct ClosedPeriod {
    QDate first;
    QDate last;
    QString closedBy;
    QString closedAt;
};

struct PaySite {
    attendance::PayRules rules;
    attendance::WorkSchedules schedules;
    std::map<QString, QString> departments; // employee code to department
    std::vector<ClosedPeriod> closed;

    QString departmentOf(const QString& code) const;
    attendance::WorkSchedules::Person personOf(const QString& code) const { return schedules.person(code, departmentOf(code)); }
};

// Reads, in the connection's open transaction, whichever of the tables exist. Throws
// Exception for a text that is no text of the connection's character set or a setting
// that holds a wrong value.
PaySite readPaySite(SqlConnection& connection);

} // namespace kordane::report
