#pragma once
// Reads a blob whole, or its first `limit` bytes.
#include "drivers/fbkit/Handle.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace fbkit {

// False on failure, with `status` filled in.
inline bool readBlob(const Client& client, ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* transaction,
                     ISC_QUAD id, std::size_t limit, std::string& bytes)
{
    bytes.clear();
    BlobHandle blob(&client);
    if (!client.succeeds(status, &Client::openBlob, db, transaction, blob.out(), &id, 0, nullptr)) {
        blob.forget();
        return false;
    }
    char segment[16384];
    while (bytes.size() < limit) {
        unsigned short got = 0;
        const ISC_STATUS result = client.getSegment(status, blob.out(), &got, sizeof segment, segment);
        if (result && result != isc_segment) {
            if (result == isc_segstr_eof)
                break;
            return false;
        }
        bytes.append(segment, std::min<std::size_t>(got, limit - bytes.size()));
    }
    return true;
}

} // namespace fbkit
