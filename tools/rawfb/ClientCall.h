#pragma once
// The one way this folder calls the client: every call's outcome checked, a failure
// thrown with the server's text.
#include "tools/rawfb/RawFirebird.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace kordane::rawfb {

inline const fbkit::Client& client()
{
    return fbkit::linkedClient();
}

template<typename Function, typename... Args>
void call(Function fbkit::Client::*function, Args&&... args)
{
    ISC_STATUS_ARRAY status;
    checkClient(client().succeeds(status, function, std::forward<Args>(args)...), status);
}

// The client takes a statement's length in 16 bits.
inline unsigned short statementLength(const std::string& sql)
{
    if (sql.size() > 65535)
        throw std::runtime_error("the statement is longer than 65535 bytes");
    return static_cast<unsigned short>(sql.size());
}

} // namespace kordane::rawfb
