#pragma once
// The last-error text every driver object keeps, and the guard that keeps C++
// exceptions from crossing the driver interface.
#include "drivers/FbApi.h"
#include "drivers/api/dbx.h"

#include <new>
#include <string>
#include <utility>

namespace dbxfb {

class ErrorState {
public:
    [[nodiscard]] dbx::Status fail(dbx::Status status, std::string text)
    {
        lastError_ = std::move(text);
        return status;
    }
    [[nodiscard]] dbx::Status serverFail(const FbApi& api, const ISC_STATUS* status)
    {
        return fail(dbx::DBXERR_SERVER, api.statusText(status));
    }
    [[nodiscard]] dbx::Status copyTo(std::string& text) const
    {
        text = lastError_;
        return dbx::DBXERR_NONE;
    }

    // Runs `body`, turning an escaping exception into a status.
    template<typename Body>
    [[nodiscard]] dbx::Status guarded(Body&& body) noexcept
    {
        try {
            return body();
        } catch (const std::bad_alloc&) {
            lastError_.clear();
            return dbx::DBXERR_NOMEMORY;
        } catch (const std::exception& e) {
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
};

} // namespace dbxfb
