#pragma once
// What a command and its result share, so that either may go first: the statement
// handle, the row it fetches into, and the transaction of its own it runs in.
#include "drivers/FbSession.h"
#include "drivers/fbkit/Handle.h"
#include "drivers/fbkit/Sqlda.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace dbxfb {

struct FbStatement {
    explicit FbStatement(std::shared_ptr<FbSession> owner)
        : session(std::move(owner))
        , handle(session->api().get())
        , own(session->api().get())
    {
    }

    // Opens a result; gives its number.
    unsigned openResult() { return result = ++results; }
    bool resultOpen(unsigned number) const { return result == number; }
    // Closes the open result, if any, and commits the transaction it had of its own.
    void closeResult()
    {
        if (!result)
            return;
        result = 0;
        const FbApi& api = *session->api();
        ISC_STATUS_ARRAY status;
        // Nothing to do about a failure: the cursor is gone for the caller either way.
        (void)api.succeeds(status, &fbkit::Client::freeStatement, handle.out(), DSQL_close);
        fbkit::endQuietly(api, own);
    }
    // When its command goes, or before the session detaches: the result, the
    // transaction and the handle go.
    void release()
    {
        closeResult();
        own.reset();
        handle.reset();
        prepared = false;
    }

    std::shared_ptr<FbSession> session;
    fbkit::StatementHandle handle;
    // Begun by the prepare, taken over by the execute and, for a query, ended with its
    // result; none when the statement runs in a transaction of the session's.
    fbkit::TransactionHandle own;
    bool prepared = false;
    fbkit::Sqlda output;
    std::vector<std::uint64_t> row; // the fetched row, every column 8-byte aligned
    std::vector<short> indicators;
    std::vector<bool> nullable;
    unsigned result = 0; // the open result's number, 0 for none
    unsigned results = 0; // numbers given so far
};

} // namespace dbxfb
