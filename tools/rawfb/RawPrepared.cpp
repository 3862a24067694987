#include "tools/rawfb/RawPrepared.h"

#include "tools/rawfb/ClientCall.h"

#include "drivers/fbkit/Blob.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace kordane {

using rawfb::call;
using rawfb::client;
using rawfb::statementLength;

RawPrepared::RawPrepared(RawFirebird& db, RawTransaction& transaction, const std::string& sql)
    : db_(db.handle())
    , transaction_(transaction)
    , statement_(db.handle())
{
    call(&fbkit::Client::prepare, transaction_.handle(), statement_.handle(), statementLength(sql), sql.data(),
         SQL_DIALECT_V6, out_.get());
    ISC_STATUS_ARRAY status;
    checkClient(fbkit::describeWhole(client(), status, statement_.handle(), out_, false), status);
    call(&fbkit::Client::describeBind, statement_.handle(), SQLDA_VERSION1, in_.get());
    checkClient(fbkit::describeWhole(client(), status, statement_.handle(), in_, true), status);
    inNulls_.resize(static_cast<std::size_t>(in_.count()));
    // Text stays as it is; the server turns every other value but a blob into text.
    const short columns = out_.count();
    outBuffers_.resize(static_cast<std::size_t>(columns));
    outNulls_.resize(static_cast<std::size_t>(columns));
    for (short i = 0; i < columns; ++i) {
        XSQLVAR& var = out_[i];
        const short type = static_cast<short>(var.sqltype & ~1);
        if (type != SQL_TEXT && type != SQL_VARYING && type != SQL_BLOB) {
            var.sqltype = SQL_VARYING;
            var.sqllen = 64;
            var.sqlscale = 0;
            var.sqlsubtype = 0;
        }
        var.sqltype = static_cast<short>(var.sqltype | 1);
        outBuffers_[static_cast<std::size_t>(i)].resize(static_cast<std::size_t>(var.sqllen) + 2);
        var.sqldata = outBuffers_[static_cast<std::size_t>(i)].data();
        var.sqlind = &outNulls_[static_cast<std::size_t>(i)];
    }
}

void RawPrepared::bind(const std::vector<RawFirebird::Value>& params)
{
    const short markers = in_.count();
    if (params.size() != static_cast<std::size_t>(markers))
        throw std::runtime_error("statement has " + std::to_string(markers) + " markers, not " + std::to_string(params.size()));
    for (short i = 0; i < markers; ++i) {
        XSQLVAR& var = in_[i];
        const RawFirebird::Value& value = params[static_cast<std::size_t>(i)];
        if (value && value->size() > 32767)
            throw std::runtime_error("a value longer than 32767 bytes");
        inNulls_[static_cast<std::size_t>(i)] = value ? 0 : -1;
        var.sqltype = SQL_TEXT | 1;
        var.sqlsubtype = 0;
        var.sqlscale = 0;
        var.sqllen = value ? static_cast<short>(value->size()) : 0;
        var.sqldata = value ? const_cast<char*>(value->data()) : nullptr;
        var.sqlind = &inNulls_[static_cast<std::size_t>(i)];
    }
}

void RawPrepared::execute(const std::vector<RawFirebird::Value>& params)
{
    bind(params);
    call(&fbkit::Client::execute, transaction_.handle(), statement_.handle(), SQLDA_VERSION1, in_.get());
}

std::vector<RawFirebird::Row> RawPrepared::rows(const std::vector<RawFirebird::Value>& params)
{
    bind(params);
    call(&fbkit::Client::execute, transaction_.handle(), statement_.handle(), SQLDA_VERSION1, in_.get());
    const short columns = out_.count();
    std::vector<RawFirebird::Row> rows;
    ISC_STATUS_ARRAY status;
    for (;;) {
        const ISC_STATUS result = client().fetch(status, statement_.handle(), SQLDA_VERSION1, out_.get());
        if (result == fbkit::endOfRows)
            break;
        checkClient(result == 0, status);
        RawFirebird::Row row;
        row.reserve(static_cast<std::size_t>(columns));
        for (short i = 0; i < columns; ++i) {
            const XSQLVAR& var = out_[i];
            if (*var.sqlind < 0) {
                row.emplace_back(std::nullopt);
            } else if ((var.sqltype & ~1) != SQL_BLOB) {
                row.emplace_back(std::string(fbkit::fetchedText(var)));
            } else {
                ISC_QUAD id;
                std::memcpy(&id, var.sqldata, sizeof id);
                std::string bytes;
                checkClient(fbkit::readBlob(client(), status, db_, transaction_.handle(), id, SIZE_MAX, bytes), status);
                row.emplace_back(std::move(bytes));
            }
        }
        rows.push_back(std::move(row));
    }
    call(&fbkit::Client::freeStatement, statement_.handle(), DSQL_close);
    return rows;
}

} // namespace kordane
