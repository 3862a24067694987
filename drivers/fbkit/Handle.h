#pragma once
// Owners of the client's handles. Each releases its handle when it goes, ignoring the
// outcome: by then there is no one left to tell.
#include "drivers/fbkit/Client.h"

#include <utility>

namespace fbkit {

template<typename Traits>
class Handle {
public:
    using Raw = typename Traits::Raw;

    Handle() = default;
    explicit Handle(const Client* api)
        : api_(api)
    {
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept
        : api_(other.api_)
        , raw_(std::exchange(other.raw_, Raw {}))
    {
    }
    Handle& operator=(Handle&& other) noexcept
    {
        if (this != &other) {
            reset();
            api_ = other.api_;
            raw_ = std::exchange(other.raw_, Raw {});
        }
        return *this;
    }
    ~Handle() { reset(); }

    void reset()
    {
        if (raw_) {
            ISC_STATUS_ARRAY status;
            Traits::release(*api_, status, &raw_);
            raw_ = Raw {};
        }
    }
    // For the client calls that fill in or consume the handle.
    Raw* out() { return &raw_; }
    Raw get() const { return raw_; }
    explicit operator bool() const { return raw_ != Raw {}; }
    // After a call that ended the handle on the server's side (commit, detach).
    void forget() { raw_ = Raw {}; }

private:
    const Client* api_ = nullptr;
    Raw raw_ {};
};

struct AttachmentTraits {
    using Raw = isc_db_handle;
    static void release(const Client& api, ISC_STATUS* status, Raw* h) { api.detachDatabase(status, h); }
};
struct TransactionTraits {
    using Raw = isc_tr_handle;
    static void release(const Client& api, ISC_STATUS* status, Raw* h) { api.rollbackTransaction(status, h); }
};
struct StatementTraits {
    using Raw = isc_stmt_handle;
    static void release(const Client& api, ISC_STATUS* status, Raw* h) { api.freeStatement(status, h, DSQL_drop); }
};
struct BlobTraits {
    using Raw = isc_blob_handle;
    static void release(const Client& api, ISC_STATUS* status, Raw* h) { api.closeBlob(status, h); }
};

using AttachmentHandle = Handle<AttachmentTraits>;
using TransactionHandle = Handle<TransactionTraits>;
using StatementHandle = Handle<StatementTraits>;
using BlobHandle = Handle<BlobTraits>;

// Ends a transaction that has nothing left to report to: committed, or rolled back when
// the commit fails.
inline void endQuietly(const Client& api, TransactionHandle& transaction)
{
    ISC_STATUS_ARRAY status;
    if (transaction && api.succeeds(status, &Client::commitTransaction, transaction.out()))
        transaction.forget();
    transaction.reset();
}

} // namespace fbkit
