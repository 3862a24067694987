#pragma once
#include "FbError.h"
#include "dbx.h"

#include <string>

namespace dbxfb {

class FbConnection;

class FbMetaData final : public dbx::ISQLMetaData {
public:
    explicit FbMetaData(const FbConnection& connection) : connection_(connection) {}

    dbx::Status setSchemaName(const std::string& schema) override;
    dbx::Status getQuoteChar(std::string& quote) override;
    dbx::Status getTransactionsSupported(bool& supported) override;
    dbx::Status getMultipleTransactionsSupported(bool& supported) override;
    dbx::Status getErrorMessage(std::string& text) override;

private:
    const FbConnection& connection_;
    ErrorState error_;
};

} // namespace dbxfb
