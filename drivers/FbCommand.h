#pragma once
#include "FbApi.h"
#include "FbError.h"
#include "fbkit/Handle.h"
#include "fbkit/Sqlda.h"
#include "dbx.h"

#include <memory>
#include <string>
#include <vector>

namespace dbxfb {

class FbConnection;
class FbCursor;

class FbCommand final : public dbx::ISQLCommand {
public:
    FbCommand(FbConnection& connection, std::shared_ptr<const FbApi> api);
    ~FbCommand() override;

    dbx::Status setRowsetSize(int rows) override;
    dbx::Status prepare(const std::string& sql, int parameterCount) override;
    dbx::Status setTextParameter(int index, const char* data, std::size_t length) override;
    dbx::Status setNullParameter(int index) override;
    dbx::Status execute(std::unique_ptr<dbx::ISQLCursor>& cursor) override;
    dbx::Status getRowsAffected(std::int64_t& rows) override;
    dbx::Status getErrorMessage(std::string& text) override;

    // From the connection: before it disconnects, and when it goes first.
    void release();
    void orphan();
    // From the cursor as it goes.
    void cursorGone(FbCursor* cursor);

    FbConnection* connection() const { return connection_; }
    isc_stmt_handle* statement() { return statement_.out(); }
    XSQLDA* output() { return output_.get(); }
    bool columnNullable(int index) const { return nullable_[static_cast<std::size_t>(index)]; }

private:
    struct Parameter {
        std::string value;
        short indicator = 0;
        bool set = false;
        short type = 0;   // as described, without the null flag
        short length = 0; // as described
        short subType = 0;
    };

    dbx::Status describe(ISC_STATUS* status, bool parameters);
    void layOutRow();
    bool readStatementType(ISC_STATUS* status);
    bool readRowsAffected(ISC_STATUS* status);
    void bindParameters();
    void closeCursor();
    // Commits the transaction the last prepare began and no execute took over.
    bool endPreparedIn(ISC_STATUS* status);
    Parameter* parameter(int index);

    FbConnection* connection_;
    std::shared_ptr<const FbApi> api_;
    ErrorState error_;
    fbkit::StatementHandle statement_;
    bool prepared_ = false;
    bool readOnly_ = false; // a query: its own transactions are read-only
    fbkit::TransactionHandle preparedIn_;
    int statementType_ = 0;
    fbkit::Sqlda input_;
    fbkit::Sqlda output_;
    std::vector<Parameter> parameters_;
    std::vector<std::uint64_t> row_; // the fetched row, every column 8-byte aligned
    std::vector<short> indicators_;
    std::vector<bool> nullable_;
    std::int64_t rowsAffected_ = 0;
    FbCursor* cursor_ = nullptr;
};

} // namespace dbxfb
