#include "tools/admin/PunchesPart.h"

#include "tools/admin/Catalog.h"

namespace kordane::admin {

std::vector<std::string> punchesMissing(RawFirebird& db, const TextCodec&)
{
    std::vector<std::string> sql;
    if (!tableExists(db, "PUNCH")) {
        sql.emplace_back("CREATE TABLE PUNCH ("
                         " CARD_ID VARCHAR(40) CHARACTER SET NONE NOT NULL,"
                         " PUNCHED_AT TIMESTAMP NOT NULL,"
                         " TERMINAL VARCHAR(20) CHARACTER SET NONE,"
                         " DIRECTION CHAR(1) CHARACTER SET NONE CHECK (DIRECTION IN ('I', 'O')),"
                         " EMPLOYEE_ID VARCHAR(40) CHARACTER SET NONE NOT NULL,"
                         " ROLE CHAR(1) CHARACTER SET NONE NOT NULL CHECK (ROLE IN ('I', 'O', 'R', 'U', 'C')),"
                         " PAIRED_AT TIMESTAMP,"
                         " SOURCE_FILE VARCHAR(255) CHARACTER SET NONE NOT NULL,"
                         " SOURCE_LINE INTEGER NOT NULL,"
                         " IMPORTED_AT TIMESTAMP DEFAULT CURRENT_TIMESTAMP NOT NULL,"
                         " IMPORTED_BY VARCHAR(63) CHARACTER SET NONE DEFAULT CURRENT_USER NOT NULL,"
                         " PRIMARY KEY (CARD_ID, PUNCHED_AT))");
        // The listing by employee, and the punches an import pairs its new ones after.
        sql.emplace_back("CREATE INDEX PUNCH_EMPLOYEE ON PUNCH (EMPLOYEE_ID, PUNCHED_AT)");
    }
    if (!tableExists(db, "CARD_HOLDER")) {
        sql.emplace_back("CREATE TABLE CARD_HOLDER ("
                         " CARD_ID VARCHAR(40) CHARACTER SET NONE NOT NULL,"
                         " HELD_UNTIL DATE NOT NULL,"
                         " EMPLOYEE_ID VARCHAR(40) CHARACTER SET NONE NOT NULL,"
                         " PRIMARY KEY (CARD_ID, HELD_UNTIL))");
    }
    return sql;
}

} // namespace kordane::admin
