#include "drivers/FbDriver.h"

#include "drivers/FbConnection.h"

namespace dbxfb {

using namespace dbx;

Status FbDriver::getConnection(std::unique_ptr<ISQLConnection>& connection)
{
    return error_.guarded([&]() -> Status {
        connection = std::make_unique<FbConnection>(api_);
        return DBXERR_NONE;
    });
}

Status FbDriver::getErrorMessage(std::string& text)
{
    return error_.report(text);
}

Status FbDriver::getServerError(ServerError& error)
{
    return error_.report(error);
}

} // namespace dbxfb

// The driver's one export. The error resource file has no use here: every text comes
// from the client library in the server's own words.
extern "C" __attribute__((visibility("default"))) dbx::Status
getSQLDriverINTERBASE(const char* vendorLib, const char* /*errorResourceFile*/, dbx::ISQLDriver** driver)
{
    if (!driver)
        return dbx::DBXERR_INVALIDPARAM;
    *driver = nullptr;
    try {
        std::string error;
        auto api = dbxfb::FbApi::load(vendorLib && *vendorLib ? vendorLib : "libfbclient.so.2", error);
        if (!api)
            return dbx::DBXERR_INVALIDPARAM;
        *driver = new dbxfb::FbDriver(std::move(api));
        return dbx::DBXERR_NONE;
    } catch (const std::bad_alloc&) {
        return dbx::DBXERR_NOMEMORY;
    }
}
