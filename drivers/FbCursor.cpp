#include "drivers/FbCursor.h"

#include "drivers/ValueText.h"
#include "drivers/fbkit/Blob.h"
#include "drivers/fbkit/Sqlda.h"

#include <cstdint>
#include <cstring>

namespace dbxfb {

using namespace dbx;

namespace {

FieldType fieldType(const XSQLVAR& var)
{
    switch (var.sqltype & ~1) {
    case SQL_TEXT: return FieldType::FixedString;
    case SQL_VARYING: return FieldType::String;
    case SQL_SHORT: return var.sqlscale < 0 ? FieldType::Decimal : FieldType::Int16;
    case SQL_LONG: return var.sqlscale < 0 ? FieldType::Decimal : FieldType::Int32;
    case SQL_INT64: return var.sqlscale < 0 ? FieldType::Decimal : FieldType::Int64;
    case SQL_FLOAT: return FieldType::Float;
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return FieldType::Double;
    case SQL_TYPE_DATE: return FieldType::Date;
    case SQL_TYPE_TIME: return FieldType::Time;
    case SQL_TIMESTAMP: return FieldType::Timestamp;
    case SQL_BOOLEAN: return FieldType::Boolean;
    case SQL_BLOB: return var.sqlsubtype == isc_blob_text ? FieldType::Memo : FieldType::Blob;
    default: return FieldType::Unknown;
    }
}

// Width of the text form of a value that is not text.
std::int32_t textWidth(const XSQLVAR& var)
{
    const int decimals = var.sqlscale < 0 ? 1 : 0;
    switch (var.sqltype & ~1) {
    case SQL_SHORT: return 6 + decimals;
    case SQL_LONG: return 11 + decimals;
    case SQL_INT64: return 20 + decimals;
    case SQL_FLOAT: return 15;
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return 24;
    case SQL_TYPE_DATE: return 10;
    case SQL_TYPE_TIME: return 13;
    case SQL_TIMESTAMP: return 24;
    case SQL_BOOLEAN: return 5;
    default: return 0;
    }
}

template<typename T>
T load(const char* data)
{
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

} // namespace

FbCursor::FbCursor(std::shared_ptr<FbStatement> statement, unsigned number, isc_tr_handle* shared)
    : statement_(std::move(statement))
    , number_(number)
    , api_(statement_->session->api())
    , shared_(shared)
    , trimChar_(statement_->session->options().trimChar)
    , blobLimit_(statement_->session->options().blobSize)
{
    const fbkit::Sqlda& output = statement_->output;
    columns_.reserve(static_cast<std::size_t>(output.count()));
    for (int i = 0; i < output.count(); ++i) {
        const XSQLVAR& var = output[i];
        const short type = static_cast<short>(var.sqltype & ~1);
        dbx::ColumnInfo info;
        info.name.assign(var.aliasname, static_cast<std::size_t>(var.aliasname_length));
        info.type = fieldType(var);
        info.size = type == SQL_TEXT || type == SQL_VARYING ? var.sqllen : textWidth(var);
        info.scale = var.sqlscale < 0 ? -var.sqlscale : 0;
        info.nullable = statement_->nullable[static_cast<std::size_t>(i)];
        columns_.push_back(Column {&var, type, std::move(info), {}});
    }
}

FbCursor::~FbCursor()
{
    if (open())
        statement_->closeResult();
}

Status FbCursor::getColumnCount(int& count)
{
    count = static_cast<int>(columns_.size());
    return DBXERR_NONE;
}

Status FbCursor::checkColumn(int column)
{
    if (column < 1 || static_cast<std::size_t>(column) > columns_.size())
        return error_.fail(DBXERR_OUTOFRANGE, "Column " + std::to_string(column) + " out of range");
    return DBXERR_NONE;
}

Status FbCursor::getColumnInfo(int column, ColumnInfo& info)
{
    return error_.guarded([&]() -> Status {
        if (const Status bad = checkColumn(column))
            return bad;
        info = columns_[static_cast<std::size_t>(column - 1)].info;
        return DBXERR_NONE;
    });
}

Status FbCursor::next()
{
    return error_.guarded([&]() -> Status {
        if (!open())
            return error_.fail(DBXERR_INVALIDHNDL, "The result is closed");
        if (atEnd_)
            return error_.fail(DBXERR_EOF, "No more rows");
        ClientCalls client(*api_, error_);
        const ISC_STATUS result = api_->fetch(client.status(), statement_->handle.out(), SQLDA_VERSION1, statement_->output.get());
        atEnd_ = result == fbkit::endOfRows;
        onRow_ = result == 0;
        if (atEnd_)
            return error_.fail(DBXERR_EOF, "No more rows");
        return client.check(onRow_);
    });
}

Status FbCursor::isNull(int column, bool& null)
{
    return error_.guarded([&]() -> Status {
        if (const Status bad = checkColumn(column))
            return bad;
        if (!onRow())
            return error_.fail(DBXERR_EOF, "No current row");
        null = *columns_[static_cast<std::size_t>(column - 1)].var->sqlind < 0;
        return DBXERR_NONE;
    });
}

inline Status FbCursor::valueText(Column& c, const char*& data, std::size_t& length)
{
    const XSQLVAR& var = *c.var;
    if (*var.sqlind < 0) {
        data = "";
        length = 0;
        return DBXERR_NONE;
    }
    // Text is handed out where the client put it.
    if (c.type == SQL_VARYING || c.type == SQL_TEXT) {
        const std::string_view text = fbkit::fetchedText(var);
        data = text.data();
        length = text.size();
        if (trimChar_ && c.type == SQL_TEXT)
            while (length > 0 && data[length - 1] == ' ')
                --length;
        return DBXERR_NONE;
    }
    return error_.guarded([&]() -> Status { return format(c, data, length); });
}

Status FbCursor::getText(int column, const char*& data, std::size_t& length)
{
    if (column < 1 || static_cast<std::size_t>(column) > columns_.size() || !onRow())
        return error_.guarded([&]() -> Status { return onRow() ? checkColumn(column) : error_.fail(DBXERR_EOF, "No current row"); });
    return valueText(columns_[static_cast<std::size_t>(column - 1)], data, length);
}

Status FbCursor::getRow(const char** data, std::size_t* lengths, bool* nulls)
{
    if (!onRow())
        return error_.guarded([&]() -> Status { return error_.fail(DBXERR_EOF, "No current row"); });
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        nulls[i] = *columns_[i].var->sqlind < 0;
        if (const Status bad = valueText(columns_[i], data[i], lengths[i]))
            return bad;
    }
    return DBXERR_NONE;
}

Status FbCursor::format(Column& c, const char*& data, std::size_t& length)
{
    const XSQLVAR& var = *c.var;
    switch (c.type) {
    case SQL_SHORT: formatScaled(load<short>(var.sqldata), var.sqlscale, c.text); break;
    case SQL_LONG: formatScaled(load<ISC_LONG>(var.sqldata), var.sqlscale, c.text); break;
    case SQL_INT64: formatScaled(load<ISC_INT64>(var.sqldata), var.sqlscale, c.text); break;
    case SQL_FLOAT: formatDouble(load<float>(var.sqldata), c.text); break;
    case SQL_DOUBLE:
    case SQL_D_FLOAT: formatDouble(load<double>(var.sqldata), c.text); break;
    case SQL_TYPE_DATE: formatDate(load<ISC_DATE>(var.sqldata), c.text); break;
    case SQL_TYPE_TIME: formatTime(load<ISC_TIME>(var.sqldata), c.text); break;
    case SQL_TIMESTAMP: formatTimestamp(load<ISC_TIMESTAMP>(var.sqldata), c.text); break;
    case SQL_BOOLEAN: c.text = *var.sqldata ? "True" : "False"; break;
    case SQL_BLOB:
        if (const Status failed = readBlob(c))
            return failed;
        break;
    default: return error_.fail(DBXERR_INVALIDFLDTYPE, "Column type " + std::to_string(c.type) + " has no text form");
    }
    data = c.text.data();
    length = c.text.size();
    return DBXERR_NONE;
}

Status FbCursor::readBlob(Column& c)
{
    c.text.clear();
    if (!open())
        return error_.fail(DBXERR_INVALIDHNDL, "The result is closed");
    fbkit::TransactionHandle& own = statement_->own;
    isc_tr_handle* transaction = own ? own.out() : shared_;
    // BlobSize counts kilobytes; -1 (or 0) reads the whole value.
    const std::size_t limit = blobLimit_ > 0 ? static_cast<std::size_t>(blobLimit_) * 1024 : SIZE_MAX;
    ClientCalls client(*api_, error_);
    return client.check(fbkit::readBlob(*api_, client.status(), statement_->session->database(), transaction,
                                        load<ISC_QUAD>(c.var->sqldata), limit, c.text));
}

Status FbCursor::getErrorMessage(std::string& text)
{
    return error_.report(text);
}

Status FbCursor::getServerError(ServerError& error)
{
    return error_.report(error);
}

} // namespace dbxfb
