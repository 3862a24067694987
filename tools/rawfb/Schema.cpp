#include "tools/rawfb/Schema.h"

namespace kordane {

std::vector<std::string> kordaneSchema()
{
    return {
        "CREATE TABLE EMPLOYEE ("
        " EMPLOYEE_ID VARCHAR(20) NOT NULL PRIMARY KEY,"
        " EMPLOYEE_NAME VARCHAR(40),"
        " CARD_ID VARCHAR(20))",
        // The column order is the one the day grid titles by position.
        "CREATE TABLE POS_DAY ("
        " EMPLOYEE_ID VARCHAR(20),"
        " INI_DATE VARCHAR(10),"
        " TIME_IN VARCHAR(8),"
        " TIME_OUT VARCHAR(8),"
        " BILL_WEEK VARCHAR(2),"
        " EMPLOYEE_NAME VARCHAR(40),"
        " CARD_ID VARCHAR(20))",
        "CREATE INDEX POS_DAY_DATE ON POS_DAY (INI_DATE)",
        "CREATE INDEX POS_DAY_EMPLOYEE_DATE ON POS_DAY (EMPLOYEE_ID, INI_DATE)",
    };
}

} // namespace kordane
