#include "drivers/FbApi.h"

#include <dlfcn.h>

#include <mutex>

namespace dbxfb {

// RTLD_NODELETE: the client starts threads and registers exit handlers of its own, so
// it must stay mapped even after its last handle is closed.
struct FbApi::Library {
    void* handle = nullptr;
    explicit Library(void* h)
        : handle(h)
    {
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    ~Library() { dlclose(handle); }
};

namespace {

template<typename F>
bool resolve(void* library, const char* name, F& function, std::string& error)
{
    function = reinterpret_cast<F>(dlsym(library, name));
    if (!function)
        error = std::string("Firebird client function ") + name + " not found";
    return function != nullptr;
}

// The client answers SIGINT and SIGTERM by shutting its engine down from a thread of its
// own, which races the program's orderly exit (the program ends on those signals itself,
// detaching first) and can unload the engine under its exit handlers. Refused here.
extern "C" int refuseSignalShutdown(const int reason, const int, void*)
{
    return reason == fb_shutrsn_signal ? 1 : 0;
}

void keepEngineOnSignals(void* library)
{
    static std::once_flag once;
    std::call_once(once, [library] {
        const auto addCallback = reinterpret_cast<decltype(&fb_shutdown_callback)>(dlsym(library, "fb_shutdown_callback"));
        if (!addCallback)
            return;
        // The client keeps the callback for good, so this module must stay mapped as it does.
        Dl_info self {};
        if (!dladdr(reinterpret_cast<void*>(&refuseSignalShutdown), &self) || !dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE))
            return;
        ISC_STATUS_ARRAY status;
        addCallback(status, refuseSignalShutdown, fb_shut_confirmation, nullptr);
    });
}

} // namespace

std::shared_ptr<const FbApi> FbApi::load(const std::string& libraryName, std::string& error)
{
    void* handle = dlopen(libraryName.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        const char* reason = dlerror();
        error = reason ? reason : "cannot load " + libraryName;
        return nullptr;
    }
    auto api = std::make_shared<FbApi>();
    api->library_ = std::make_shared<Library>(handle);
    void* h = handle;
    const bool ok = resolve(h, "isc_attach_database", api->attachDatabase, error)
        && resolve(h, "isc_detach_database", api->detachDatabase, error)
        && resolve(h, "isc_start_transaction", api->startTransaction, error)
        && resolve(h, "isc_commit_transaction", api->commitTransaction, error)
        && resolve(h, "isc_commit_retaining", api->commitRetaining, error)
        && resolve(h, "isc_rollback_transaction", api->rollbackTransaction, error)
        && resolve(h, "isc_dsql_allocate_statement", api->allocateStatement, error)
        && resolve(h, "isc_dsql_prepare", api->prepare, error)
        && resolve(h, "isc_dsql_describe", api->describe, error)
        && resolve(h, "isc_dsql_describe_bind", api->describeBind, error)
        && resolve(h, "isc_dsql_execute", api->execute, error)
        && resolve(h, "isc_dsql_fetch", api->fetch, error)
        && resolve(h, "isc_dsql_free_statement", api->freeStatement, error)
        && resolve(h, "isc_dsql_sql_info", api->sqlInfo, error)
        && resolve(h, "isc_open_blob2", api->openBlob, error)
        && resolve(h, "isc_get_segment", api->getSegment, error)
        && resolve(h, "isc_close_blob", api->closeBlob, error)
        && resolve(h, "isc_dsql_execute_immediate", api->executeImmediate, error)
        && resolve(h, "isc_create_database", api->createDatabase, error)
        && resolve(h, "isc_drop_database", api->dropDatabase, error)
        && resolve(h, "fb_interpret", api->interpret, error)
        && resolve(h, "fb_sqlstate", api->sqlState, error);
    if (!ok)
        return nullptr;
    keepEngineOnSignals(handle);
    return api;
}

} // namespace dbxfb
