#include "tools/admin/PeriodsPart.h"

#include "tools/admin/Catalog.h"

namespace kordane::admin {
namespace {

bool triggerExists(RawFirebird& db, const char* trigger)
{
    return exists(db, std::string("SELECT 1 FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = '") + trigger + "'");
}

// Refuses the write when `record`'s date is in a closed period: its text between the
// period's first and last day as texts YYYY/MM/DD, as the reports select a period's
// records, or the date its figures make as the window reads a typed date ("2026/11/ 5",
// which the date field allows, on 2026/11/05), as the reports count it.
std::string refuseClosed(const std::string& record)
{
    const std::string text = "REPLACE(CAST(%1 AS VARCHAR(10)), '-', '/')";
    const auto asText = [&](const std::string& date) { return std::string(text).replace(text.find("%1"), 2, date); };
    return "    placed_day = NULL;\n"
           "    figures = REPLACE("
        + record
        + "INI_DATE, ' ', '');\n"
          "    IF (figures SIMILAR TO '[0-9]{4}/[0-9]{1,2}/[0-9]{1,2}/?') THEN\n"
          "    BEGIN\n"
          "      figures = TRIM(TRAILING '/' FROM figures);\n"
          "      placed_day = CAST(REPLACE(figures, '/', '-') AS DATE);\n"
          "      WHEN ANY DO placed_day = NULL;\n"
          "    END\n"
          "    first_day = NULL;\n"
          "    SELECT FIRST 1 PERIOD_FIRST, PERIOD_LAST FROM PAY_PERIOD_CLOSED\n"
          "      WHERE "
        + record + "INI_DATE BETWEEN " + asText("PERIOD_FIRST") + " AND " + asText("PERIOD_LAST")
        + "\n        OR :placed_day BETWEEN PERIOD_FIRST AND PERIOD_LAST\n"
          "      INTO first_day, last_day;\n"
          "    IF (first_day IS NOT NULL) THEN EXCEPTION POS_DAY_CLOSED 'INI_DATE ' || "
        + record + "INI_DATE || ' is in the pay period ' || " + asText("first_day") + " || ' to ' || " + asText("last_day")
        + "\n"
          "      || ', which is closed: its records cannot be added, changed or removed';\n";
}

// An update that changes no column but the name, which was missing or empty.
std::string onlyFillsName(RawFirebird& db)
{
    std::string same = "COALESCE(OLD.EMPLOYEE_NAME, '') = ''";
    for (const auto& row : db.query("SELECT TRIM(RDB$FIELD_NAME) FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = 'POS_DAY'"
                                    " AND RDB$FIELD_NAME <> 'EMPLOYEE_NAME' ORDER BY RDB$FIELD_POSITION")) {
        const std::string column = row[0].value_or("");
        same += " AND NEW." + column + " IS NOT DISTINCT FROM OLD." + column;
    }
    return same;
}

std::string lockTrigger(RawFirebird& db)
{
    return "CREATE OR ALTER TRIGGER POS_DAY_PERIOD_LOCK FOR POS_DAY ACTIVE BEFORE INSERT OR UPDATE OR DELETE POSITION 0 AS\n"
           "DECLARE first_day DATE;\n"
           "DECLARE last_day DATE;\n"
           "DECLARE placed_day DATE;\n"
           "DECLARE figures VARCHAR(40);\n"
           "BEGIN\n"
           "  IF (UPDATING AND "
        + onlyFillsName(db)
        + ") THEN EXIT;\n"
          "  IF (NOT INSERTING) THEN\n  BEGIN\n"
        + refuseClosed("OLD.") + "  END\n  IF (NOT DELETING) THEN\n  BEGIN\n" + refuseClosed("NEW.") + "  END\nEND";
}

} // namespace

std::vector<std::string> periodsMissing(RawFirebird& db, const TextCodec&)
{
    std::vector<std::string> sql;
    if (!tableExists(db, "PAY_PERIOD_CLOSED")) {
        sql.emplace_back("CREATE TABLE PAY_PERIOD_CLOSED ("
                         " PERIOD_FIRST DATE NOT NULL PRIMARY KEY,"
                         " PERIOD_LAST DATE NOT NULL,"
                         " CLOSED_BY VARCHAR(63) NOT NULL,"
                         " CLOSED_AT TIMESTAMP NOT NULL,"
                         " CHECK (PERIOD_LAST >= PERIOD_FIRST))");
    }
    if (!tableExists(db, "PAY_PERIOD_AUDIT")) {
        sql.emplace_back("CREATE TABLE PAY_PERIOD_AUDIT ("
                         " AUDIT_ID BIGINT NOT NULL PRIMARY KEY,"
                         " CHANGED_AT TIMESTAMP NOT NULL,"
                         " USER_NAME VARCHAR(63) NOT NULL,"
                         " CLIENT_ADDRESS VARCHAR(255),"
                         " ACTION VARCHAR(6) NOT NULL,"
                         " PERIOD_FIRST DATE NOT NULL,"
                         " PERIOD_LAST DATE NOT NULL)");
    }
    if (!exists(db, "SELECT 1 FROM RDB$GENERATORS WHERE RDB$GENERATOR_NAME = 'PAY_PERIOD_AUDIT_ID'"))
        sql.emplace_back("CREATE SEQUENCE PAY_PERIOD_AUDIT_ID");
    if (!triggerExists(db, "PAY_PERIOD_AUDITED")) {
        sql.emplace_back("CREATE TRIGGER PAY_PERIOD_AUDITED FOR PAY_PERIOD_CLOSED ACTIVE AFTER INSERT OR UPDATE OR DELETE POSITION 0 AS\n"
                         "BEGIN\n"
                         "  INSERT INTO PAY_PERIOD_AUDIT (AUDIT_ID, CHANGED_AT, USER_NAME, CLIENT_ADDRESS, ACTION, PERIOD_FIRST, PERIOD_LAST)\n"
                         "  VALUES (GEN_ID(PAY_PERIOD_AUDIT_ID, 1), CURRENT_TIMESTAMP, CURRENT_USER,\n"
                         "    COALESCE(RDB$GET_CONTEXT('SYSTEM', 'CLIENT_ADDRESS'), 'embedded'),\n"
                         "    CASE WHEN INSERTING THEN 'CLOSE' WHEN UPDATING THEN 'CHANGE' ELSE 'REOPEN' END,\n"
                         "    COALESCE(NEW.PERIOD_FIRST, OLD.PERIOD_FIRST), COALESCE(NEW.PERIOD_LAST, OLD.PERIOD_LAST));\n"
                         "END");
        sql.emplace_back("GRANT INSERT ON PAY_PERIOD_AUDIT TO TRIGGER PAY_PERIOD_AUDITED");
        sql.emplace_back("GRANT USAGE ON SEQUENCE PAY_PERIOD_AUDIT_ID TO TRIGGER PAY_PERIOD_AUDITED");
    }
    if (!exists(db, "SELECT 1 FROM RDB$EXCEPTIONS WHERE RDB$EXCEPTION_NAME = 'POS_DAY_CLOSED'"))
        sql.emplace_back("CREATE EXCEPTION POS_DAY_CLOSED 'a POS_DAY record is in a closed pay period'");
    // An earlier lock compared the date texts alone; it is brought up to this one.
    const auto lock = db.query("SELECT IIF(RDB$TRIGGER_SOURCE CONTAINING 'placed_day', 1, 0) FROM RDB$TRIGGERS"
                               " WHERE RDB$TRIGGER_NAME = 'POS_DAY_PERIOD_LOCK'");
    if (lock.empty() || lock[0][0] != "1")
        sql.push_back(lockTrigger(db));
    if (lock.empty()) {
        // The trigger's own rights: a clerk's account has none on these.
        sql.emplace_back("GRANT SELECT ON PAY_PERIOD_CLOSED TO TRIGGER POS_DAY_PERIOD_LOCK");
        sql.emplace_back("GRANT USAGE ON EXCEPTION POS_DAY_CLOSED TO TRIGGER POS_DAY_PERIOD_LOCK");
    }
    return sql;
}

} // namespace kordane::admin
