#pragma once
// The site's shifts, weekly patterns and departments from their tables, as the shared
// rules hold them, for the admin's commands that place work on the days it is scheduled.
// A database made before the tables has no schedule.
#include "attendance/WorkSchedules.h"
#include "data/sql/TextCodec.h"
#include "tools/rawfb/RawFirebird.h"

#include <QDate>
#include <QString>

#include <map>

namespace kordane::admin {

class SiteSchedules {
public:
    SiteSchedules(RawFirebird& db, const TextCodec& codec);

    bool empty() const { return schedules_.empty(); }
    attendance::DayPlan planOn(const QString& employee, const QDate& date) const;

private:
    attendance::WorkSchedules schedules_;
    std::map<QString, QString> departments_; // by employee code
};

} // namespace kordane::admin
