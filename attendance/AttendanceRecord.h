#pragma once
// One day's attendance of one employee, as the window's fields hold it: texts exactly as
// typed or fetched, so that what is checked is what is written and what is looked for.
#include <QString>

namespace kordane {

struct AttendanceRecord {
    QString date; // INI_DATE, a date text such as 2026/12/07
    QString employeeCode; // EMPLOYEE_ID
    QString timeIn; // TIME_IN, HH:MM:SS
    QString timeOut; // TIME_OUT, HH:MM:SS or blank
    QString weekday; // BILL_WEEK, the weekday character of the date
    QString name; // EMPLOYEE_NAME
    QString card; // CARD_ID

    bool operator==(const AttendanceRecord&) const = default;
};

} // namespace kordane
