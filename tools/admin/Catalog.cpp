#include "tools/admin/Catalog.h"

namespace kordane::admin {

bool exists(RawFirebird& db, const std::string& catalogueQuery)
{
    return !db.query(catalogueQuery).empty();
}

bool tableExists(RawFirebird& db, const char* table)
{
    return exists(db, std::string("SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = '") + table + "'");
}

bool columnExists(RawFirebird& db, const char* table, const char* column)
{
    return exists(db, std::string("SELECT 1 FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = '") + table + "' AND RDB$FIELD_NAME = '" + column + "'");
}

} // namespace kordane::admin
