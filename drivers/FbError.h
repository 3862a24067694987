#pragma once
// The last error every driver object keeps, the one way the driver makes a client call
// and tells its outcome, and the guard that keeps C++ exceptions from crossing the
// driver interface.
#include "drivers/FbApi.h"
#include "drivers/api/dbx.h"

#include <new>
#include <string>
#include <utility>

namespace dbxfb {

// A status vector's codes, SQLSTATE, system error and text arguments, up to its warnings.
dbx::ServerError serverErrorOf(const FbApi& api, const ISC_STATUS* status);

class ErrorState {
public:
    // A failure of the driver's own: no server codes.
    [[nodiscard]] dbx::Status fail(dbx::Status status, std::string text)
    {
        lastError_ = std::move(text);
        server_ = {};
        return status;
    }
    [[nodiscard]] dbx::Status serverFail(const FbApi& api, const ISC_STATUS* status)
    {
        lastError_ = api.statusText(status);
        server_ = serverErrorOf(api, status);
        return dbx::DBXERR_SERVER;
    }
    // The last failure told in the driver's own words; its codes stay.
    void reword(std::string text) { lastError_ = std::move(text); }
    [[nodiscard]] dbx::Status report(std::string& text) noexcept
    {
        return guarded([&] {
            text = lastError_;
            return dbx::DBXERR_NONE;
        });
    }
    [[nodiscard]] dbx::Status report(dbx::ServerError& error) noexcept
    {
        return guarded([&] {
            error = server_;
            return dbx::DBXERR_NONE;
        });
    }

    // Runs `body`, turning an escaping exception into a status.
    template<typename Body>
    [[nodiscard]] dbx::Status guarded(Body&& body) noexcept
    {
        try {
            return body();
        } catch (const std::bad_alloc&) {
            lastError_.clear();
            server_ = {};
            return dbx::DBXERR_NOMEMORY;
        } catch (const std::exception& e) {
            server_ = {};
            try {
                lastError_ = e.what();
            } catch (...) {
                lastError_.clear();
            }
            return dbx::DBXERR_SERVER;
        }
    }

private:
    std::string lastError_;
    dbx::ServerError server_;
};

// The client calls of one driver call, on one status vector: a failed one becomes the
// error of the object they are made for.
class ClientCalls {
public:
    ClientCalls(const FbApi& api, ErrorState& error)
        : api_(api)
        , error_(error)
    {
    }
    ClientCalls(const ClientCalls&) = delete;
    ClientCalls& operator=(const ClientCalls&) = delete;

    template<typename Function, typename... Args>
    [[nodiscard]] dbx::Status operator()(Function fbkit::Client::*function, Args&&... args)
    {
        return check(api_.succeeds(status_, function, std::forward<Args>(args)...));
    }
    // For the kit's helpers that make their calls on `status()` and say whether all succeeded.
    [[nodiscard]] dbx::Status check(bool succeeded)
    {
        return succeeded ? dbx::DBXERR_NONE : error_.serverFail(api_, status_);
    }
    ISC_STATUS* status() { return status_; }

private:
    const FbApi& api_;
    ErrorState& error_;
    ISC_STATUS_ARRAY status_; // every call fills it in: not cleared, as one is made for each row fetched
};

} // namespace dbxfb
