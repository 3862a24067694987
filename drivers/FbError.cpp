#include "drivers/FbError.h"

#include <algorithm>
#include <array>
#include <utility>

namespace dbxfb {

namespace {

// The codes of each kind. An update conflict comes as a deadlock followed by its
// cause, so the kinds are looked for in this order, each over the whole vector.
const std::array<std::pair<dbx::ErrorKind, std::vector<ISC_STATUS>>, 8>& kinds()
{
    using dbx::ErrorKind;
    static const std::array<std::pair<ErrorKind, std::vector<ISC_STATUS>>, 8> table {{
        {ErrorKind::UpdateConflict, {isc_update_conflict}},
        {ErrorKind::DuplicateKey, {isc_unique_key_violation, isc_no_dup}},
        {ErrorKind::CheckRefused, {isc_check_constraint, isc_not_valid, isc_not_valid_for, isc_not_valid_for_var, isc_except, isc_foreign_key}},
        {ErrorKind::LockConflict, {isc_lock_conflict, isc_deadlock, isc_lock_timeout}},
        {ErrorKind::ObjectInUse, {isc_obj_in_use}},
        {ErrorKind::LoginRefused, {isc_login}},
        {ErrorKind::PermissionDenied, {isc_no_priv}},
        {ErrorKind::ConnectionLost, {isc_network_error, isc_net_read_err, isc_net_write_err, isc_lost_db_connection, isc_conn_lost, isc_shutdown, isc_att_shutdown, isc_connect_reject}},
    }};
    return table;
}

dbx::ErrorKind kindOf(const std::vector<std::int64_t>& codes)
{
    for (const auto& [kind, members] : kinds())
        for (const std::int64_t code : codes)
            if (std::find(members.begin(), members.end(), code) != members.end())
                return kind;
    return dbx::ErrorKind::Other;
}

} // namespace

dbx::ServerError serverErrorOf(const FbApi& api, const ISC_STATUS* status)
{
    dbx::ServerError error;
    if (status[0] != isc_arg_gds || status[1] == 0)
        return error;
    // The warnings that may follow isc_arg_warning are no part of the error.
    for (const ISC_STATUS* at = status; *at != isc_arg_end && *at != isc_arg_warning;) {
        const ISC_STATUS kind = *at++;
        switch (kind) {
        case isc_arg_gds: error.codes.push_back(*at++); break;
        case isc_arg_string:
        case isc_arg_interpreted: error.arguments.emplace_back(reinterpret_cast<const char*>(*at++)); break;
        case isc_arg_cstring: {
            const auto length = static_cast<std::size_t>(*at++);
            error.arguments.emplace_back(reinterpret_cast<const char*>(*at++), length);
            break;
        }
        case isc_arg_sql_state: error.sqlState = reinterpret_cast<const char*>(*at++); break;
        case isc_arg_unix: error.systemError = static_cast<int>(*at++); break;
        default: ++at; break; // a number, or another system's error code
        }
    }
    error.kind = kindOf(error.codes);
    if (error.sqlState.empty()) {
        char state[6] = {};
        api.sqlState(state, status);
        error.sqlState = state;
    }
    return error;
}

} // namespace dbxfb
