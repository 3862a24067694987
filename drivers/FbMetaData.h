#pragma once
#include "drivers/FbError.h"
#include "drivers/api/dbx.h"

#include <string>

namespace dbxfb {

class FbSession;

class FbMetaData final : public dbx::ISQLMetaData {
public:
    explicit FbMetaData(const FbSession& session)
        : session_(session)
    {
    }

    dbx::Status setSchemaName(const std::string& schema) override;
    dbx::Status getQuoteChar(std::string& quote) override;
    dbx::Status getTransactionsSupported(bool& supported) override;
    dbx::Status getMultipleTransactionsSupported(bool& supported) override;
    dbx::Status getErrorMessage(std::string& text) override;
    dbx::Status getServerError(dbx::ServerError& error) override;

private:
    const FbSession& session_;
    ErrorState error_;
};

} // namespace dbxfb
