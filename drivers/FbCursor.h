#pragma once
#include "FbApi.h"
#include "FbError.h"
#include "fbkit/Handle.h"
#include "dbx.h"

#include <memory>
#include <string>
#include <vector>

namespace dbxfb {

class FbCommand;

class FbCursor final : public dbx::ISQLCursor {
public:
    // `own` is the statement's own transaction, committed when the cursor goes; without
    // one the cursor reads in `shared`, a transaction of the connection.
    FbCursor(FbCommand& command, std::shared_ptr<const FbApi> api, fbkit::TransactionHandle own, isc_tr_handle* shared);
    ~FbCursor() override;

    dbx::Status getColumnCount(int& count) override;
    dbx::Status getColumnInfo(int column, dbx::ColumnInfo& info) override;
    dbx::Status next() override;
    dbx::Status isNull(int column, bool& null) override;
    dbx::Status getText(int column, const char*& data, std::size_t& length) override;
    dbx::Status getErrorMessage(std::string& text) override;

    // Closes the result and ends its own transaction; later calls fail.
    void detach();

private:
    struct Column {
        const XSQLVAR* var;
        short type; // without the null flag
        std::string text; // formatted values and blobs
    };

    dbx::Status check(int column);
    dbx::Status readBlob(Column& column);
    dbx::Status format(Column& column, const char*& data, std::size_t& length);

    FbCommand* command_;
    std::shared_ptr<const FbApi> api_;
    ErrorState error_;
    fbkit::TransactionHandle own_;
    isc_tr_handle* shared_;
    isc_stmt_handle* statement_;
    XSQLDA* output_;
    std::vector<Column> columns_;
    bool trimChar_;
    std::int64_t blobLimit_;
    bool onRow_ = false;
    bool atEnd_ = false;
};

} // namespace dbxfb
