#include "tools/admin/SchedulesPart.h"

#include "tools/admin/Catalog.h"

namespace kordane::admin {

std::vector<std::string> schedulesMissing(RawFirebird& db, const TextCodec&)
{
    static const char* const tables[][2] = {
        {"EMPLOYEE_DEPARTMENT", "CREATE TABLE EMPLOYEE_DEPARTMENT ("
                                " EMPLOYEE_ID VARCHAR(20) NOT NULL PRIMARY KEY,"
                                " DEPARTMENT VARCHAR(40) NOT NULL)"},
        // A shift of no length, or a break as long as the shift, is refused here too.
        {"WORK_SHIFT", "CREATE TABLE WORK_SHIFT ("
                       " SHIFT_CODE VARCHAR(20) NOT NULL PRIMARY KEY,"
                       " START_MINUTE SMALLINT NOT NULL,"
                       " END_MINUTE SMALLINT NOT NULL,"
                       " BREAK_MINUTES SMALLINT DEFAULT 0 NOT NULL,"
                       " LATE_GRACE SMALLINT DEFAULT 0 NOT NULL,"
                       " EARLY_GRACE SMALLINT DEFAULT 0 NOT NULL,"
                       " CHECK (START_MINUTE BETWEEN 0 AND 1439 AND END_MINUTE BETWEEN 0 AND 1439"
                       " AND START_MINUTE <> END_MINUTE AND BREAK_MINUTES >= 0 AND LATE_GRACE >= 0 AND EARLY_GRACE >= 0"
                       " AND BREAK_MINUTES < MOD(END_MINUTE - START_MINUTE + 1440, 1440)))"},
        {"WORK_PATTERN", "CREATE TABLE WORK_PATTERN ("
                         " SUBJECT_KIND CHAR(1) NOT NULL CHECK (SUBJECT_KIND IN ('E', 'D')),"
                         " SUBJECT VARCHAR(40) NOT NULL,"
                         " VALID_FROM DATE NOT NULL,"
                         " WEEKDAY SMALLINT NOT NULL CHECK (WEEKDAY BETWEEN 1 AND 7),"
                         " SHIFT_CODE VARCHAR(20) REFERENCES WORK_SHIFT (SHIFT_CODE),"
                         " PRIMARY KEY (SUBJECT_KIND, SUBJECT, VALID_FROM, WEEKDAY))"},
        {"HOLIDAY", "CREATE TABLE HOLIDAY ("
                    " HOLIDAY_DATE DATE NOT NULL PRIMARY KEY,"
                    " HOLIDAY_NAME VARCHAR(60))"},
        {"SITE_SETTING", "CREATE TABLE SITE_SETTING ("
                         " SETTING_NAME VARCHAR(40) NOT NULL PRIMARY KEY,"
                         " SETTING_VALUE VARCHAR(80) NOT NULL)"},
    };
    std::vector<std::string> sql;
    for (const auto& table : tables) {
        if (!tableExists(db, table[0]))
            sql.emplace_back(table[1]);
    }
    return sql;
}

} // namespace kordane::admin
