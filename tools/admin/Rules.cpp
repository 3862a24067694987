// rules install / remove / status, and the rules themselves.
#include "tools/admin/Rules.h"

#include "attendance/DateConversion.h"
#include "tools/admin/Admin.h"
#include "tools/admin/Catalog.h"
#include "tools/admin/Site.h"
#include "tools/sheet/TextTable.h"

#include <QCommandLineParser>

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <utility>

namespace kordane::admin {
namespace {

const QStringList recordColumns = {QStringLiteral("EMPLOYEE_ID"), QStringLiteral("INI_DATE"), QStringLiteral("TIME_IN"),
                                   QStringLiteral("TIME_OUT"), QStringLiteral("BILL_WEEK")};
const QStringList auditedColumns = recordColumns + QStringList {QStringLiteral("EMPLOYEE_NAME"), QStringLiteral("CARD_ID")};
// The values the window's duplicate check compares, in its order.
const QStringList keyColumns = {QStringLiteral("INI_DATE"), QStringLiteral("EMPLOYEE_ID"), QStringLiteral("TIME_IN"),
                                QStringLiteral("TIME_OUT")};
const std::string keyIndex = "POS_DAY_UNIQUE_RECORD";
const char* const keyName = "one record per INI_DATE, EMPLOYEE_ID, TIME_IN, TIME_OUT";

// A rule is a condition on a record, true when it holds; "@" stands for the record
// ("NEW." in the trigger, "POS_DAY." when stored records are examined). It is looked at
// when a write gives one of `columns` a new value.
struct Rule {
    QString column; // the one it names, or DUPLICATE
    std::vector<std::string> columns;
    std::string holds;
    std::string message;
};

const std::string time = "([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]";

// YYYY/MM/DD of a day that exists, from 0001/01/01 (as Firebird's dates).
std::string realDate()
{
    const std::string year = "CAST(SUBSTRING(@INI_DATE FROM 1 FOR 4) AS INTEGER)";
    return "CASE WHEN @INI_DATE SIMILAR TO '[0-9]{4}/(0[1-9]|1[0-2])/(0[1-9]|[12][0-9]|3[01])'"
           " AND @INI_DATE NOT STARTING WITH '0000'"
           " THEN CAST(SUBSTRING(@INI_DATE FROM 9 FOR 2) AS INTEGER) <= CASE SUBSTRING(@INI_DATE FROM 6 FOR 2)"
           " WHEN '02' THEN IIF(MOD("
        + year + ", 4) = 0 AND (MOD(" + year + ", 100) <> 0 OR MOD(" + year + ", 400) = 0), 29, 28)"
                                                                              " WHEN '04' THEN 30 WHEN '06' THEN 30 WHEN '09' THEN 30 WHEN '11' THEN 30 ELSE 31 END"
                                                                              " ELSE FALSE END";
}

// The weekday characters as the column holds them, compared byte for byte: the columns
// have no character set, so a text comparison would not know them for characters.
std::string weekdayOfDate(const TextCodec& codec)
{
    std::string decode = "DECODE(EXTRACT(WEEKDAY FROM CAST(REPLACE(@INI_DATE, '/', '-') AS DATE))";
    for (int day = 0; day < 7; ++day) // 0 is Sunday
        decode += ", " + std::to_string(day) + ", x'" + codec.encode(weekdayCharacter(day + 1)).toHex().toUpper().toStdString() + "'";
    return decode + ")";
}

// The window's duplicate check asked again at the write itself, so that a record another
// desk stored after that check is seen: no other record whose four values equal these as
// the check compares them.
Rule storedOnce()
{
    Rule rule {QStringLiteral("DUPLICATE"), {}, "NOT EXISTS (SELECT 1 FROM POS_DAY s WHERE ", "POS_DAY already holds a record of this INI_DATE, EMPLOYEE_ID, TIME_IN and TIME_OUT"};
    for (const QString& column : keyColumns) {
        rule.columns.push_back(column.toStdString());
        rule.holds += "s." + rule.columns.back() + " = @" + rule.columns.back() + " AND ";
    }
    rule.holds += "s.RDB$DB_KEY IS DISTINCT FROM @RDB$DB_KEY)";
    return rule;
}

std::vector<Rule> ruleList(const TextCodec& codec)
{
    return {
        {QStringLiteral("INI_DATE"), {"INI_DATE"}, realDate(), "INI_DATE must be a real date written YYYY/MM/DD"},
        {QStringLiteral("TIME_IN"), {"TIME_IN"}, "COALESCE(@TIME_IN, '') SIMILAR TO '" + time + "'", "TIME_IN must be a time HH:MM:SS from 00:00:00 to 23:59:59"},
        {QStringLiteral("TIME_OUT"), {"TIME_OUT"}, "COALESCE(@TIME_OUT, '') = '' OR @TIME_OUT SIMILAR TO '" + time + "'", "TIME_OUT must be a time HH:MM:SS from 00:00:00 to 23:59:59, or empty"},
        {QStringLiteral("BILL_WEEK"), {"BILL_WEEK", "INI_DATE"}, "COALESCE(@BILL_WEEK, '') = '' OR CASE WHEN " + realDate() + " THEN CAST(@BILL_WEEK AS VARCHAR(8) CHARACTER SET OCTETS) = " + weekdayOfDate(codec) + " ELSE FALSE END", "BILL_WEEK must be the weekday character of INI_DATE, or empty"},
        storedOnce(),
    };
}

std::string on(std::string condition, const std::string& record)
{
    for (std::size_t at; (at = condition.find('@')) != std::string::npos;)
        condition.replace(at, 1, record);
    return "(" + condition + ")";
}

std::string checkTrigger(const TextCodec& codec)
{
    std::string body;
    for (const Rule& rule : ruleList(codec)) {
        std::string changed = "INSERTING";
        for (const std::string& column : rule.columns)
            changed += " OR NEW." + column + " IS DISTINCT FROM OLD." + column;
        body += "  IF (" + changed + ") THEN\n    IF (" + on(rule.holds, "NEW.") + " IS NOT TRUE) THEN EXCEPTION POS_DAY_RULE '"
            + rule.message + "';\n";
    }
    return "CREATE OR ALTER TRIGGER POS_DAY_CHECK FOR POS_DAY ACTIVE BEFORE INSERT OR UPDATE POSITION 0 AS\nBEGIN\n" + body + "END";
}

std::string auditTable(RawFirebird& db)
{
    const auto widths = columnWidths(db, "POS_DAY", auditedColumns);
    std::string columns;
    for (const char* age : {"OLD_", "NEW_"}) {
        for (const QString& column : auditedColumns)
            columns += std::string(", ") + age + column.toStdString() + " VARCHAR(" + std::to_string(widths.at(column).stored) + ") CHARACTER SET NONE";
    }
    // No key or index: the ids come from a sequence and only the trigger writes, so they
    // are unique, and an index would cost every audited write its upkeep (the start-up
    // backfill writes thousands of entries; readers scan and sort).
    return "CREATE TABLE POS_DAY_AUDIT (AUDIT_ID BIGINT NOT NULL, CHANGED_AT TIMESTAMP NOT NULL,"
           " USER_NAME VARCHAR(63) CHARACTER SET NONE, CLIENT_ADDRESS VARCHAR(255) CHARACTER SET NONE,"
           " CLIENT_PROCESS VARCHAR(255) CHARACTER SET NONE, TRANSACTION_ID BIGINT, ACTION VARCHAR(6) CHARACTER SET NONE"
        + columns + ")";
}

std::string auditTrigger()
{
    std::string names = "AUDIT_ID, CHANGED_AT, USER_NAME, CLIENT_ADDRESS, CLIENT_PROCESS, TRANSACTION_ID, ACTION";
    std::string values = "GEN_ID(POS_DAY_AUDIT_ID, 1), CURRENT_TIMESTAMP, CURRENT_USER,"
                         " COALESCE(RDB$GET_CONTEXT('SYSTEM', 'CLIENT_ADDRESS'), 'embedded'),"
                         " RDB$GET_CONTEXT('SYSTEM', 'CLIENT_PROCESS'), CURRENT_TRANSACTION,"
                         " CASE WHEN INSERTING THEN 'INSERT' WHEN UPDATING THEN 'UPDATE' ELSE 'DELETE' END";
    for (const char* age : {"OLD", "NEW"}) {
        for (const QString& column : auditedColumns) {
            names += std::string(", ") + age + "_" + column.toStdString();
            values += std::string(", ") + age + "." + column.toStdString();
        }
    }
    return "CREATE OR ALTER TRIGGER POS_DAY_AUDITED FOR POS_DAY ACTIVE AFTER INSERT OR UPDATE OR DELETE POSITION 0 AS\n"
           "BEGIN\n  INSERT INTO POS_DAY_AUDIT ("
        + names + ")\n  VALUES (" + values + ");\nEND";
}

// Active, inactive, or absent (nullopt).
std::optional<bool> triggerActive(RawFirebird& db, const char* trigger)
{
    const auto rows = db.query(std::string("SELECT COALESCE(RDB$TRIGGER_INACTIVE, 0) FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = '")
                               + trigger + "'");
    if (rows.empty())
        return std::nullopt;
    return rows[0][0].value_or("0") == "0";
}

// The four values as one text, each padded to its column's width: values the duplicate
// check takes for equal (trailing blanks aside) make one text and no others do; null when
// one is null, as the check finds no null equal to anything. A unique index on it refuses a
// second record even while the first is not yet committed, which no trigger can see.
std::string recordKey(RawFirebird& db)
{
    const auto widths = columnWidths(db, "POS_DAY", keyColumns);
    std::string key;
    for (const QString& column : keyColumns) {
        const Width& width = widths.at(column);
        const int length = width.bytes >= 0 ? width.bytes : width.characters;
        if (length < 0)
            throw std::runtime_error("POS_DAY." + column.toStdString() + " is not a text column");
        key += (key.empty() ? "RPAD(" : " || ' ' || RPAD(") + column.toStdString() + ", " + std::to_string(length) + ")";
    }
    return "(" + key + ")";
}

// The stored records that share their key with another, as "FROM ... GROUP BY".
std::string sharedKeys(const std::string& key)
{
    return " FROM POS_DAY WHERE " + key + " IS NOT NULL GROUP BY " + key + " HAVING COUNT(*) > 1";
}

// The key's index: its expression and whether it is active, or nullopt when absent.
std::optional<std::pair<std::string, bool>> keyIndexState(RawFirebird& db)
{
    const auto rows = db.query("SELECT RDB$EXPRESSION_SOURCE, COALESCE(RDB$INDEX_INACTIVE, 0) FROM RDB$INDICES"
                               " WHERE RDB$INDEX_NAME = '"
                               + keyIndex + "'");
    if (rows.empty())
        return std::nullopt;
    return std::make_pair(rows[0][0].value_or(""), rows[0][1].value_or("0") == "0");
}

// Adds to `sql` what builds the key when it is missing, inactive or made for other widths;
// false when stored records share a key, which leaves it out.
bool keyStatements(RawFirebird& db, std::vector<std::string>& sql)
{
    const std::string key = recordKey(db);
    const auto index = keyIndexState(db);
    if (index && index->first == key && index->second)
        return true;
    if (exists(db, "SELECT FIRST 1 1" + sharedKeys(key)))
        return false;
    if (index)
        sql.push_back("DROP INDEX " + keyIndex);
    sql.push_back("CREATE UNIQUE INDEX " + keyIndex + " ON POS_DAY COMPUTED BY " + key);
    return true;
}

std::string keyStatus(RawFirebird& db)
{
    const auto index = keyIndexState(db);
    if (index && index->second)
        return "installed";
    std::string state = index ? "installed, inactive" : "not installed";
    if (tableExists(db, "POS_DAY")) {
        const std::string shared = db.query("SELECT COALESCE(SUM(n), 0) FROM (SELECT COUNT(*) AS n" + sharedKeys(recordKey(db)) + ")")[0][0].value_or("0");
        if (shared != "0")
            state += ", " + shared + " stored records are duplicates (rules install --check lists them)";
    }
    return state;
}

std::string auditEntries(RawFirebird& db)
{
    return db.query("SELECT COUNT(*) FROM POS_DAY_AUDIT")[0][0].value_or("0");
}

void printBreaches(const std::vector<RuleBreach>& found)
{
    report::Table table;
    table.title = QStringLiteral("Stored records that break the rules:");
    table.headers = recordColumns + QStringList {QStringLiteral("BREAKS")};
    for (const RuleBreach& breach : found)
        table.rows.push_back(breach.record + QStringList {breach.columns.join(QStringLiteral(", "))});
    std::fputs(report::textTable(table).toUtf8().constData(), stdout);
}

int installCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Makes the database refuse records with an impossible date, time or weekday, and a second "
                       "record with the date, code and times of one already stored; and keep an audit trail of every "
                       "change to POS_DAY in POS_DAY_AUDIT. In one transaction; running it again brings the rules up to "
                       "date and keeps the audit trail. Stored records that break a rule (duplicates among them) stop it "
                       "unless --force is given; they are never changed."));
    const QCommandLineOption checkOption(QStringLiteral("check"), QStringLiteral("List the stored records that break a rule; install nothing."));
    const QCommandLineOption forceOption(QStringLiteral("force"), QStringLiteral("Install although stored records break a rule: they stay, and the rules hold for new writes; "
                                                                                 "the unique key waits until no stored record is a duplicate."));
    parser.addOptions({connectionsOption(), checkOption, forceOption});
    if (!parseCommand(parser, arguments))
        return 0;
    if (!parser.positionalArguments().isEmpty())
        throw std::runtime_error("rules install takes no arguments (kordane-admin rules install --help)");
    const Site site(parser);
    RawFirebird db = site.attach();
    const std::vector<RuleBreach> found = ruleBreaches(db, site.codec());
    if (!found.empty())
        printBreaches(found);
    const std::string count = std::to_string(found.size()) + (found.size() == 1 ? " stored record breaks" : " stored records break");
    if (parser.isSet(checkOption)) {
        if (found.empty()) {
            std::printf("no stored record breaks the rules\n");
            return 0;
        }
        std::fflush(stdout);
        throw std::runtime_error(count + " the rules");
    }
    if (!found.empty() && !parser.isSet(forceOption)) {
        std::fflush(stdout);
        throw std::runtime_error(count + " the rules; nothing installed (--force installs them for new writes, "
                                         "and leaves those records as they are)");
    }
    const bool keyed = installRules(db, site.codec());
    std::printf("rules installed on %s: checks on POS_DAY, audit trail in POS_DAY_AUDIT\n", qPrintable(site.database()));
    if (!found.empty())
        std::printf("%s the rules and stays as it is; the rules hold for new writes\n", count.c_str());
    if (!keyed)
        std::printf("%s: not installed while stored records are duplicates; until then two desks adding one record at "
                    "the same moment may both store it (remove the duplicates, then rules install again)\n",
                    keyName);
    return 0;
}

int removeCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Takes the checks and the audit triggers away, in one transaction. The table POS_DAY_AUDIT and "
                       "its entries stay; rules install continues it."));
    parser.addOption(connectionsOption());
    if (!parseCommand(parser, arguments))
        return 0;
    if (!parser.positionalArguments().isEmpty())
        throw std::runtime_error("rules remove takes no arguments (kordane-admin rules remove --help)");
    const Site site(parser);
    RawFirebird db = site.attach();
    std::vector<std::string> drops;
    for (const char* trigger : {"POS_DAY_CHECK", "POS_DAY_AUDITED"}) {
        if (triggerActive(db, trigger))
            drops.push_back(std::string("DROP TRIGGER ") + trigger);
    }
    if (exists(db, "SELECT 1 FROM RDB$EXCEPTIONS WHERE RDB$EXCEPTION_NAME = 'POS_DAY_RULE'"))
        drops.push_back("DROP EXCEPTION POS_DAY_RULE");
    if (keyIndexState(db))
        drops.push_back("DROP INDEX " + keyIndex);
    if (drops.empty()) {
        std::printf("no rules installed; nothing to remove\n");
        return 0;
    }
    db.executeTogether(drops);
    std::printf("rules removed");
    if (tableExists(db, "POS_DAY_AUDIT"))
        std::printf("; POS_DAY_AUDIT kept with %s entries", auditEntries(db).c_str());
    std::printf("\n");
    return 0;
}

int statusCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Says whether the checks, the unique key and the audit trail are installed."));
    parser.addOption(connectionsOption());
    if (!parseCommand(parser, arguments))
        return 0;
    if (!parser.positionalArguments().isEmpty())
        throw std::runtime_error("rules status takes no arguments (kordane-admin rules status --help)");
    const Site site(parser);
    RawFirebird db = site.attach();
    const auto state = [&](const char* trigger) {
        const auto active = triggerActive(db, trigger);
        return !active ? "not installed" : *active ? "installed"
                                                   : "installed, inactive";
    };
    std::printf("checks: %s\n", state("POS_DAY_CHECK"));
    std::printf("%s: %s\n", keyName, keyStatus(db).c_str());
    std::printf("audit trail: %s", state("POS_DAY_AUDITED"));
    if (tableExists(db, "POS_DAY_AUDIT"))
        std::printf(", POS_DAY_AUDIT with %s entries", auditEntries(db).c_str());
    std::printf("\n");
    return 0;
}

} // namespace

std::vector<RuleBreach> ruleBreaches(RawFirebird& db, const TextCodec& codec)
{
    if (!tableExists(db, "POS_DAY"))
        throw std::runtime_error("the database has no table POS_DAY");
    const std::vector<Rule> rules = ruleList(codec);
    std::string sql = "SELECT " + recordColumns.join(QStringLiteral(", ")).toStdString();
    std::string any;
    for (const Rule& rule : rules) {
        const std::string broken = on(rule.holds, "POS_DAY.") + " IS NOT TRUE";
        sql += ", IIF(" + broken + ", 1, 0)";
        any += (any.empty() ? "" : " OR ") + broken;
    }
    sql += " FROM POS_DAY WHERE " + any + " ORDER BY INI_DATE, EMPLOYEE_ID, TIME_IN";
    std::vector<RuleBreach> found;
    for (const auto& row : db.query(sql)) {
        RuleBreach breach;
        for (int i = 0; i < recordColumns.size(); ++i)
            breach.record << decoded(codec, row[static_cast<std::size_t>(i)]);
        for (std::size_t i = 0; i < rules.size(); ++i) {
            if (row[static_cast<std::size_t>(recordColumns.size()) + i].value_or("0") == "1")
                breach.columns << rules[i].column;
        }
        found.push_back(std::move(breach));
    }
    return found;
}

bool installRules(RawFirebird& db, const TextCodec& codec)
{
    std::vector<std::string> sql = {
        "CREATE OR ALTER EXCEPTION POS_DAY_RULE 'a POS_DAY record breaks a rule'",
    };
    if (!tableExists(db, "POS_DAY_AUDIT"))
        sql.push_back(auditTable(db));
    // An earlier install keyed the entries; the key goes, the entries stay as they are.
    for (const auto& row : db.query("SELECT TRIM(RDB$CONSTRAINT_NAME) FROM RDB$RELATION_CONSTRAINTS"
                                    " WHERE RDB$RELATION_NAME = 'POS_DAY_AUDIT' AND RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'"))
        sql.push_back("ALTER TABLE POS_DAY_AUDIT DROP CONSTRAINT \"" + row[0].value_or("") + "\"");
    if (!exists(db, "SELECT 1 FROM RDB$GENERATORS WHERE RDB$GENERATOR_NAME = 'POS_DAY_AUDIT_ID'"))
        sql.push_back("CREATE SEQUENCE POS_DAY_AUDIT_ID");
    const bool keyed = keyStatements(db, sql);
    sql.push_back(checkTrigger(codec));
    sql.push_back(auditTrigger());
    // The triggers' own rights: a clerk's account has none on these.
    sql.push_back("GRANT USAGE ON EXCEPTION POS_DAY_RULE TO TRIGGER POS_DAY_CHECK");
    sql.push_back("GRANT SELECT ON POS_DAY TO TRIGGER POS_DAY_CHECK");
    sql.push_back("GRANT INSERT ON POS_DAY_AUDIT TO TRIGGER POS_DAY_AUDITED");
    sql.push_back("GRANT USAGE ON SEQUENCE POS_DAY_AUDIT_ID TO TRIGGER POS_DAY_AUDITED");
    db.executeTogether(sql);
    return keyed;
}

int rules(const QStringList& arguments)
{
    return dispatch(arguments, "install [--check] [--force] | remove | status",
                    {{"install", installCommand}, {"remove", removeCommand}, {"status", statusCommand}});
}

} // namespace kordane::admin
