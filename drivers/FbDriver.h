#pragma once
#include "drivers/FbApi.h"
#include "drivers/FbError.h"
#include "drivers/api/dbx.h"

#include <memory>

namespace dbxfb {

class FbDriver final : public dbx::ISQLDriver {
public:
    explicit FbDriver(std::shared_ptr<const FbApi> api)
        : api_(std::move(api))
    {
    }

    dbx::Status getConnection(std::unique_ptr<dbx::ISQLConnection>& connection) override;
    dbx::Status getErrorMessage(std::string& text) override;
    dbx::Status getServerError(dbx::ServerError& error) override;

private:
    std::shared_ptr<const FbApi> api_;
    ErrorState error_;
};

} // namespace dbxfb
