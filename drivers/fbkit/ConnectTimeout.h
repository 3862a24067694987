#pragma once
// How long an attach waits for the server's answer. A server that accepts the connection
// and never answers would otherwise hold the caller for the client's own limit (its
// ConnectionTimeout, 180 s), and then be reported only as "connection rejected by remote
// interface".
#include "drivers/fbkit/ParameterBuffer.h"

#include <ibase.h>

#include <chrono>
#include <string>

namespace fbkit {

inline constexpr int defaultConnectTimeout = 15; // seconds

// 0 leaves the wait to the client's configuration.
inline void addConnectTimeout(ParameterBuffer& dpb, int seconds)
{
    if (seconds > 0)
        dpb.addInteger(isc_dpb_connect_timeout, static_cast<std::uint32_t>(seconds));
}

// The part of a database name that names its server: "dbhost", "dbhost/3051".
inline std::string serverOf(const std::string& database)
{
    const auto scheme = database.find("://");
    if (scheme != std::string::npos) {
        const auto host = scheme + 3;
        return database.substr(host, database.find('/', host) - host);
    }
    // An IPv6 address in brackets has colons of its own.
    const auto bracket = database.starts_with('[') ? database.find(']') : std::string::npos;
    return database.substr(0, database.find(':', bracket == std::string::npos ? 0 : bracket));
}

// Whether a failed attach was the client giving up on an answer: it reports that as the
// server's refusal, which a server that does refuse sends at once.
inline bool unanswered(const ISC_STATUS* status, std::chrono::steady_clock::duration waited, int seconds)
{
    using namespace std::chrono_literals;
    return seconds > 0 && status[1] == isc_connect_reject && waited + 500ms >= std::chrono::seconds(seconds);
}

inline std::string unansweredText(const std::string& database, int seconds)
{
    return "The server " + serverOf(database) + " did not answer within " + std::to_string(seconds) + " s";
}

} // namespace fbkit
