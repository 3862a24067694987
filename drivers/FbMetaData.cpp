#include "drivers/FbMetaData.h"

#include "drivers/FbSession.h"

namespace dbxfb {

using namespace dbx;

Status FbMetaData::setSchemaName(const std::string&)
{
    // Firebird has no schemas: every name is the database's own.
    return DBXERR_NONE;
}

Status FbMetaData::getQuoteChar(std::string& quote)
{
    return error_.guarded([&]() -> Status {
        // Dialect 1 has no quoted identifiers: there a double quote delimits a string.
        quote = session_.options().sqlDialect == 1 ? "" : "\"";
        return DBXERR_NONE;
    });
}

Status FbMetaData::getTransactionsSupported(bool& supported)
{
    supported = true;
    return DBXERR_NONE;
}

Status FbMetaData::getMultipleTransactionsSupported(bool& supported)
{
    supported = false;
    return DBXERR_NONE;
}

Status FbMetaData::getErrorMessage(std::string& text)
{
    return error_.report(text);
}

Status FbMetaData::getServerError(ServerError& error)
{
    return error_.report(error);
}

} // namespace dbxfb
