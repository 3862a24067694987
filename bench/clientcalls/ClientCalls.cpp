// The Firebird client's calls, counted: a library that stands in front of the client
// (as the drivers file's VendorLib, and linked before the client into a benchmark) and
// passes every call on. kordane_client_calls() gives the count so far. Each of these
// calls may be a round trip to the server. Where the client's own functions call one
// another, only the one called is stood in front of, so that a call counts once:
// isc_start_transaction is counted as the isc_start_multiple it calls, and
// isc_dsql_execute2 (which isc_dsql_execute calls) is left alone.
#include <ibase.h>

#include <dlfcn.h>

#include <atomic>

namespace {

std::atomic<long> calls {0};

} // namespace

extern "C" {

__attribute__((visibility("default"))) long kordane_client_calls()
{
    return calls.load();
}

#define FORWARD(name, params, args)                                                          \
    __attribute__((visibility("default"))) ISC_STATUS ISC_EXPORT name params                 \
    {                                                                                        \
        static const auto real = reinterpret_cast<decltype(&name)>(dlsym(RTLD_NEXT, #name)); \
        ++calls;                                                                             \
        return real args;                                                                    \
    }

FORWARD(isc_attach_database, (ISC_STATUS * s, short l, const ISC_SCHAR* n, isc_db_handle* d, short dl, const ISC_SCHAR* dpb),
        (s, l, n, d, dl, dpb))
FORWARD(isc_detach_database, (ISC_STATUS * s, isc_db_handle* d), (s, d))
FORWARD(isc_start_multiple, (ISC_STATUS * s, isc_tr_handle* t, short c, void* teb), (s, t, c, teb))
FORWARD(isc_commit_transaction, (ISC_STATUS * s, isc_tr_handle* t), (s, t))
FORWARD(isc_commit_retaining, (ISC_STATUS * s, isc_tr_handle* t), (s, t))
FORWARD(isc_rollback_transaction, (ISC_STATUS * s, isc_tr_handle* t), (s, t))
FORWARD(isc_dsql_allocate_statement, (ISC_STATUS * s, isc_db_handle* d, isc_stmt_handle* h), (s, d, h))
FORWARD(isc_dsql_prepare,
        (ISC_STATUS * s, isc_tr_handle* t, isc_stmt_handle* h, unsigned short l, const ISC_SCHAR* q, unsigned short d, XSQLDA* o),
        (s, t, h, l, q, d, o))
FORWARD(isc_dsql_describe, (ISC_STATUS * s, isc_stmt_handle* h, unsigned short v, XSQLDA* o), (s, h, v, o))
FORWARD(isc_dsql_describe_bind, (ISC_STATUS * s, isc_stmt_handle* h, unsigned short v, XSQLDA* i), (s, h, v, i))
FORWARD(isc_dsql_execute, (ISC_STATUS * s, isc_tr_handle* t, isc_stmt_handle* h, unsigned short v, const XSQLDA* i),
        (s, t, h, v, i))
FORWARD(isc_dsql_execute_immediate,
        (ISC_STATUS * s, isc_db_handle* d, isc_tr_handle* t, unsigned short l, const ISC_SCHAR* q, unsigned short v,
         const XSQLDA* i),
        (s, d, t, l, q, v, i))
FORWARD(isc_dsql_fetch, (ISC_STATUS * s, isc_stmt_handle* h, unsigned short v, const XSQLDA* o), (s, h, v, o))
FORWARD(isc_dsql_free_statement, (ISC_STATUS * s, isc_stmt_handle* h, unsigned short o), (s, h, o))
FORWARD(isc_dsql_sql_info, (ISC_STATUS * s, isc_stmt_handle* h, short il, const ISC_SCHAR* i, short bl, ISC_SCHAR* b),
        (s, h, il, i, bl, b))
FORWARD(isc_open_blob2,
        (ISC_STATUS * s, isc_db_handle* d, isc_tr_handle* t, isc_blob_handle* b, ISC_QUAD* id, ISC_USHORT l,
         const ISC_UCHAR* bpb),
        (s, d, t, b, id, l, bpb))
FORWARD(isc_get_segment, (ISC_STATUS * s, isc_blob_handle* b, unsigned short* got, unsigned short l, ISC_SCHAR* buf),
        (s, b, got, l, buf))
FORWARD(isc_close_blob, (ISC_STATUS * s, isc_blob_handle* b), (s, b))

} // extern "C"
