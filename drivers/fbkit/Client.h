#pragma once
// The Firebird client functions the kit calls, as a table: the driver fills it in from
// the library it loads at run time, code linked with the client takes linkedClient().
#include <ibase.h>

#include <string>
#include <utility>

namespace fbkit {

// What isc_dsql_fetch gives back after the last row.
inline constexpr ISC_STATUS endOfRows = 100;

struct Client {
    decltype(&isc_attach_database) attachDatabase = nullptr;
    decltype(&isc_detach_database) detachDatabase = nullptr;
    decltype(&isc_start_transaction) startTransaction = nullptr;
    decltype(&isc_commit_transaction) commitTransaction = nullptr;
    decltype(&isc_commit_retaining) commitRetaining = nullptr;
    decltype(&isc_rollback_transaction) rollbackTransaction = nullptr;
    decltype(&isc_dsql_allocate_statement) allocateStatement = nullptr;
    decltype(&isc_dsql_prepare) prepare = nullptr;
    decltype(&isc_dsql_describe) describe = nullptr;
    decltype(&isc_dsql_describe_bind) describeBind = nullptr;
    decltype(&isc_dsql_execute) execute = nullptr;
    decltype(&isc_dsql_fetch) fetch = nullptr;
    decltype(&isc_dsql_free_statement) freeStatement = nullptr;
    decltype(&isc_dsql_sql_info) sqlInfo = nullptr;
    decltype(&isc_open_blob2) openBlob = nullptr;
    decltype(&isc_get_segment) getSegment = nullptr;
    decltype(&isc_close_blob) closeBlob = nullptr;
    decltype(&isc_dsql_execute_immediate) executeImmediate = nullptr;
    decltype(&isc_create_database) createDatabase = nullptr;
    decltype(&isc_drop_database) dropDatabase = nullptr;
    decltype(&fb_interpret) interpret = nullptr;
    decltype(&fb_sqlstate) sqlState = nullptr;

    // The one way a call is made and its outcome told: true when it succeeded. Every
    // client function gives back its status vector's main code, zero for success.
    template<typename Function, typename... Args>
    [[nodiscard]] bool succeeds(ISC_STATUS* status, Function Client::*function, Args&&... args) const
    {
        return (this->*function)(status, std::forward<Args>(args)...) == 0;
    }

    // The status vector's messages, one a line.
    std::string statusText(const ISC_STATUS* status) const
    {
        std::string text;
        char line[1024];
        const ISC_STATUS* cursor = status;
        while (interpret(line, sizeof line, &cursor) > 0) {
            if (!text.empty())
                text += '\n';
            text += line;
        }
        return text;
    }
};

// For code linked with the client. Only a program that calls it needs the client's
// symbols, so the driver, which never does, stays free of them.
inline const Client& linkedClient()
{
    static const Client client {&isc_attach_database,
                                &isc_detach_database,
                                &isc_start_transaction,
                                &isc_commit_transaction,
                                &isc_commit_retaining,
                                &isc_rollback_transaction,
                                &isc_dsql_allocate_statement,
                                &isc_dsql_prepare,
                                &isc_dsql_describe,
                                &isc_dsql_describe_bind,
                                &isc_dsql_execute,
                                &isc_dsql_fetch,
                                &isc_dsql_free_statement,
                                &isc_dsql_sql_info,
                                &isc_open_blob2,
                                &isc_get_segment,
                                &isc_close_blob,
                                &isc_dsql_execute_immediate,
                                &isc_create_database,
                                &isc_drop_database,
                                &fb_interpret,
                                &fb_sqlstate};
    return client;
}

} // namespace fbkit
