// The Firebird client's calls, counted: a library that stands in front of the client
// (as the drivers file's VendorLib, and linked before the client into a benchmark) and
// passes every call on. kordane_client_calls() gives the count so far. Each of these
// calls may be a round trip to the server. Functions the client itself calls from others
// (isc_dsql_execute2, which isc_dsql_execute calls) are not stood in front of: they would
// count twice.
#include <ibase.h>

#include <dlfcn.h>

#include <atomic>
#include <cstdarg>
#include <vector>

namespace {

std::atomic<long> calls{0};

// The client's transaction existence block, as isc_start_multiple takes it.
struct Teb {
    isc_db_handle* database;
    int length;
    const ISC_SCHAR* tpb;
};

} // namespace

extern "C" {

__attribute__((visibility("default"))) long kordane_client_calls()
{
    return calls.load();
}

#define FORWARD(name, params, args)                                                     \
    __attribute__((visibility("default"))) ISC_STATUS ISC_EXPORT name params            \
    {                                                                                   \
        static const auto real = reinterpret_cast<decltype(&name)>(dlsym(RTLD_NEXT, #name)); \
        ++calls;                                                                        \
        return real args;                                                               \
    }

FORWARD(isc_attach_database, (ISC_STATUS* s, short l, const ISC_SCHAR* n, isc_db_handle* d, short dl, const ISC_SCHAR* dpb),
        (s, l, n, d, dl, dpb))
FORWARD(isc_detach_database, (ISC_STATUS* s, isc_db_handle* d), (s, d))
FORWARD(isc_start_multiple, (ISC_STATUS* s, isc_tr_handle* t, short c, void* teb), (s, t, c, teb))
FORWARD(isc_commit_transaction, (ISC_STATUS* s, isc_tr_handle* t), (s, t))
FORWARD(isc_commit_retaining, (ISC_STATUS* s, isc_tr_handle* t), (s, t))
FORWARD(isc_rollback_transaction, (ISC_STATUS* s, isc_tr_handle* t), (s, t))
FORWARD(isc_dsql_allocate_statement, (ISC_STATUS* s, isc_db_handle* d, isc_stmt_handle* h), (s, d, h))
FORWARD(isc_dsql_prepare,
        (ISC_STATUS* s, isc_tr_handle* t, isc_stmt_handle* h, unsigned short l, const ISC_SCHAR* q, unsigned short d, XSQLDA* o),
        (s, t, h, l, q, d, o))
FORWARD(isc_dsql_describe, (ISC_STATUS* s, isc_stmt_handle* h, unsigned short v, XSQLDA* o), (s, h, v, o))
FORWARD(isc_dsql_describe_bind, (ISC_STATUS* s, isc_stmt_handle* h, unsigned short v, XSQLDA* i), (s, h, v, i))
FORWARD(isc_dsql_execute, (ISC_STATUS* s, isc_tr_handle* t, isc_stmt_handle* h, unsigned short v, const XSQLDA* i),
        (s, t, h, v, i))
FORWARD(isc_dsql_execute_immediate,
        (ISC_STATUS* s, isc_db_handle* d, isc_tr_handle* t, unsigned short l, const ISC_SCHAR* q, unsigned short v,
         const XSQLDA* i),
        (s, d, t, l, q, v, i))
FORWARD(isc_dsql_fetch, (ISC_STATUS* s, isc_stmt_handle* h, unsigned short v, const XSQLDA* o), (s, h, v, o))
FORWARD(isc_dsql_free_statement, (ISC_STATUS* s, isc_stmt_handle* h, unsigned short o), (s, h, o))
FORWARD(isc_dsql_sql_info, (ISC_STATUS* s, isc_stmt_handle* h, short il, const ISC_SCHAR* i, short bl, ISC_SCHAR* b),
        (s, h, il, i, bl, b))
FORWARD(isc_open_blob2,
        (ISC_STATUS* s, isc_db_handle* d, isc_tr_handle* t, isc_blob_handle* b, ISC_QUAD* id, ISC_USHORT l,
         const ISC_UCHAR* bpb),
        (s, d, t, b, id, l, bpb))
FORWARD(isc_get_segment, (ISC_STATUS* s, isc_blob_handle* b, unsigned short* got, unsigned short l, ISC_SCHAR* buf),
        (s, b, got, l, buf))
FORWARD(isc_close_blob, (ISC_STATUS* s, isc_blob_handle* b), (s, b))

// Passed on as one call that starts a transaction over the databases given.
__attribute__((visibility("default"))) ISC_STATUS ISC_EXPORT_VARARG isc_start_transaction(ISC_STATUS* s,
                                                                                         isc_tr_handle* t, short c, ...)
{
    std::vector<Teb> teb(static_cast<std::size_t>(c < 0 ? 0 : c));
    va_list args;
    va_start(args, c);
    for (Teb& e : teb) {
        e.database = va_arg(args, isc_db_handle*);
        e.length = va_arg(args, int);
        e.tpb = va_arg(args, const ISC_SCHAR*);
    }
    va_end(args);
    // The client's own, not the counted one above: this is one call.
    static const auto real = reinterpret_cast<decltype(&isc_start_multiple)>(dlsym(RTLD_NEXT, "isc_start_multiple"));
    ++calls;
    return real(s, t, c, teb.data());
}

} // extern "C"
