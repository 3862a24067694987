#pragma once
// Owners of the client's handles. Each releases its handle when it goes, ignoring the
// outcome: by then there is no one left to tell.
#include "FbApi.h"

#include <utility>

namespace dbxfb {

template <typename Traits>
class FbHandle {
public:
    using Raw = typename Traits::Raw;

    FbHandle() = default;
    explicit FbHandle(const FbApi* api) : api_(api) {}
    FbHandle(const FbHandle&) = delete;
    FbHandle& operator=(const FbHandle&) = delete;
    FbHandle(FbHandle&& other) noexcept : api_(other.api_), raw_(std::exchange(other.raw_, Raw{})) {}
    FbHandle& operator=(FbHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            api_ = other.api_;
            raw_ = std::exchange(other.raw_, Raw{});
        }
        return *this;
    }
    ~FbHandle() { reset(); }

    void reset()
    {
        if (raw_) {
            ISC_STATUS_ARRAY status;
            Traits::release(*api_, status, &raw_);
            raw_ = Raw{};
        }
    }
    // For the client calls that fill in or consume the handle.
    Raw* out() { return &raw_; }
    Raw get() const { return raw_; }
    explicit operator bool() const { return raw_ != Raw{}; }
    // After a call that ended the handle on the server's side (commit, detach).
    void forget() { raw_ = Raw{}; }

private:
    const FbApi* api_ = nullptr;
    Raw raw_{};
};

struct AttachmentTraits {
    using Raw = isc_db_handle;
    static void release(const FbApi& api, ISC_STATUS* status, Raw* h) { api.detachDatabase(status, h); }
};
struct TransactionTraits {
    using Raw = isc_tr_handle;
    static void release(const FbApi& api, ISC_STATUS* status, Raw* h) { api.rollbackTransaction(status, h); }
};
struct StatementTraits {
    using Raw = isc_stmt_handle;
    static void release(const FbApi& api, ISC_STATUS* status, Raw* h) { api.freeStatement(status, h, DSQL_drop); }
};
struct BlobTraits {
    using Raw = isc_blob_handle;
    static void release(const FbApi& api, ISC_STATUS* status, Raw* h) { api.closeBlob(status, h); }
};

using Attachment = FbHandle<AttachmentTraits>;
using TransactionHandle = FbHandle<TransactionTraits>;
using StatementHandle = FbHandle<StatementTraits>;
using BlobHandle = FbHandle<BlobTraits>;

} // namespace dbxfb
