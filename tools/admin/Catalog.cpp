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

} // namespace kordane::admin
