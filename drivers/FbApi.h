#pragma once
// The Firebird client functions the driver uses, resolved at run time from the vendor
// library named by the caller. The driver never links the client, so that a missing
// client is a status the program can report instead of a failure to start.
#include <ibase.h>

#include <memory>
#include <string>

namespace dbxfb {

struct FbApi {
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
    decltype(&fb_interpret) interpret = nullptr;

    // Loads `libraryName` and resolves every function; on failure gives null and the
    // loader's reason in `error`. The library stays mapped for the rest of the process.
    static std::shared_ptr<const FbApi> load(const std::string& libraryName, std::string& error);

    // The status vector's messages, one a line.
    std::string errorText(const ISC_STATUS* status) const;

private:
    struct Library;
    std::shared_ptr<Library> library_;
};

} // namespace dbxfb
