#pragma once
#include "drivers/FbApi.h"
#include "drivers/FbError.h"
#include "drivers/FbStatement.h"
#include "drivers/api/dbx.h"
#include "drivers/fbkit/Sqlda.h"

#include <memory>
#include <string>
#include <vector>

namespace dbxfb {

class FbCommand final : public dbx::ISQLCommand {
public:
    explicit FbCommand(std::shared_ptr<FbSession> session);
    ~FbCommand() override;

    dbx::Status setRowsetSize(int rows) override;
    dbx::Status prepare(const std::string& sql, int parameterCount) override;
    dbx::Status setTextParameter(int index, const char* data, std::size_t length) override;
    dbx::Status setNullParameter(int index) override;
    dbx::Status execute(std::unique_ptr<dbx::ISQLCursor>& cursor) override;
    dbx::Status getRowsAffected(std::int64_t& rows) override;
    dbx::Status getErrorMessage(std::string& text) override;
    dbx::Status getServerError(dbx::ServerError& error) override;

private:
    struct Parameter {
        std::string value;
        short indicator = 0;
        bool set = false;
        ParameterShape shape; // as described; the subtype is the one sent
    };

    FbSession& session() { return *statement_->session; }
    [[nodiscard]] dbx::Status describe(ClientCalls& client, const std::string& sql, bool parameters);
    [[nodiscard]] dbx::Status describeParameters(ClientCalls& client, const std::string& sql);
    void layOutRow();
    [[nodiscard]] dbx::Status readStatementType(ClientCalls& client);
    [[nodiscard]] dbx::Status readRowsAffected(ClientCalls& client);
    void bindParameters();
    // Commits the transaction the last prepare began and no execute took over.
    [[nodiscard]] dbx::Status endPreparedIn(ClientCalls& client);
    // The parameter at `index` (from 1) of the prepared statement.
    [[nodiscard]] dbx::Status parameter(int index, Parameter*& found);

    std::shared_ptr<const FbApi> api_;
    ErrorState error_;
    std::shared_ptr<FbStatement> statement_;
    bool readOnly_ = false; // a query: its own transactions are read-only
    int statementType_ = 0;
    fbkit::Sqlda input_;
    std::vector<Parameter> parameters_;
    std::int64_t rowsAffected_ = 0;
    bool rowsPending_ = false; // executed; the counts not yet asked for
};

} // namespace dbxfb
