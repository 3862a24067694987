#pragma once
// The Firebird client functions the driver uses, resolved at run time from the vendor
// library named by the caller. The driver never links the client, so that a missing
// client is a status the program can report instead of a failure to start.
#include "drivers/fbkit/Client.h"

#include <memory>
#include <string>

namespace dbxfb {

struct FbApi : fbkit::Client {
    // Loads `libraryName` and resolves every function; on failure gives null and the
    // loader's reason in `error`. The library stays mapped for the rest of the process.
    static std::shared_ptr<const FbApi> load(const std::string& libraryName, std::string& error);

private:
    struct Library;
    std::shared_ptr<Library> library_;
};

} // namespace dbxfb
