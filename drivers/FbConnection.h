#pragma once
// The connection the caller holds: its session lives on in the commands it made, and
// is disconnected when the connection goes.
#include "drivers/FbMetaData.h"
#include "drivers/FbSession.h"
#include "drivers/api/dbx.h"

#include <memory>
#include <string>

namespace dbxfb {

class FbConnection final : public dbx::ISQLConnection {
public:
    explicit FbConnection(std::shared_ptr<const FbApi> api);
    ~FbConnection() override;

    dbx::Status setOption(dbx::ConnectionOption option, std::int64_t value) override;
    dbx::Status setOption(dbx::ConnectionOption option, const std::string& value) override;
    dbx::Status connect(const std::string& database, const std::string& user, const std::string& password) override;
    dbx::Status disconnect() override;
    dbx::Status getMaxActiveStatements(int& count) override;
    dbx::Status getMetaData(dbx::ISQLMetaData*& metaData) override;
    dbx::Status createCommand(std::unique_ptr<dbx::ISQLCommand>& command) override;
    dbx::Status beginTransaction(int transactionId, dbx::Isolation isolation, dbx::Access access) override;
    dbx::Status commit(int transactionId) override;
    dbx::Status rollback(int transactionId) override;
    dbx::Status getErrorMessage(std::string& text) override;
    dbx::Status getServerError(dbx::ServerError& error) override;

private:
    std::shared_ptr<FbSession> session_;
    std::unique_ptr<FbMetaData> metaData_;
};

} // namespace dbxfb
