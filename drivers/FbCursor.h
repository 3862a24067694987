#pragma once
#include "drivers/FbApi.h"
#include "drivers/FbError.h"
#include "drivers/FbStatement.h"
#include "drivers/api/dbx.h"

#include <memory>
#include <string>
#include <vector>

namespace dbxfb {

class FbCursor final : public dbx::ISQLCursor {
public:
    // The open result `number` of `statement`; without a transaction of the statement's
    // own it reads in `shared`, a transaction of the session's.
    FbCursor(std::shared_ptr<FbStatement> statement, unsigned number, isc_tr_handle* shared);
    ~FbCursor() override;

    dbx::Status getColumnCount(int& count) override;
    dbx::Status getColumnInfo(int column, dbx::ColumnInfo& info) override;
    dbx::Status next() override;
    dbx::Status isNull(int column, bool& null) override;
    dbx::Status getText(int column, const char*& data, std::size_t& length) override;
    dbx::Status getRow(const char** data, std::size_t* lengths, bool* nulls) override;
    dbx::Status getErrorMessage(std::string& text) override;
    dbx::Status getServerError(dbx::ServerError& error) override;

private:
    struct Column {
        const XSQLVAR* var; // read only while the result is open: a new prepare may move it
        short type; // without the null flag
        dbx::ColumnInfo info; // kept, for a result that outlives its statement's descriptor
        std::string text; // formatted values and blobs
    };

    // Until the command runs again, prepares again, goes, or the session disconnects.
    bool open() const { return statement_->resultOpen(number_); }
    bool onRow() const { return onRow_ && open(); }
    [[nodiscard]] dbx::Status checkColumn(int column);
    // A column's value on the current row; a null is an empty text.
    [[nodiscard]] dbx::Status valueText(Column& column, const char*& data, std::size_t& length);
    [[nodiscard]] dbx::Status readBlob(Column& column);
    [[nodiscard]] dbx::Status format(Column& column, const char*& data, std::size_t& length);

    std::shared_ptr<FbStatement> statement_;
    unsigned number_;
    std::shared_ptr<const FbApi> api_;
    ErrorState error_;
    isc_tr_handle* shared_;
    std::vector<Column> columns_;
    bool trimChar_;
    std::int64_t blobLimit_;
    bool onRow_ = false;
    bool atEnd_ = false;
};

} // namespace dbxfb
