#pragma once
// A statement prepared once in a transaction its caller holds, then run as often as the
// caller has values for it: for work that writes many rows together or not at all.
#include "drivers/fbkit/Sqlda.h"
#include "tools/rawfb/RawFirebird.h"

#include <string>
#include <vector>

namespace kordane {

class RawPrepared {
public:
    // `sql` has `?` markers; the statement lives no longer than `transaction`.
    RawPrepared(RawFirebird& db, RawTransaction& transaction, const std::string& sql);

    // Runs it with each marker bound to a text (or a null); the server converts each text
    // to its column's type.
    void execute(const std::vector<RawFirebird::Value>& params);
    // Runs a query and gives all its rows; every value as its text bytes (blobs whole).
    std::vector<RawFirebird::Row> rows(const std::vector<RawFirebird::Value>& params);

private:
    void bind(const std::vector<RawFirebird::Value>& params);

    isc_db_handle* db_;
    RawTransaction& transaction_;
    RawStatement statement_;
    fbkit::Sqlda in_ {1};
    fbkit::Sqlda out_ {1};
    std::vector<short> inNulls_;
    std::vector<std::string> outBuffers_;
    std::vector<short> outNulls_;
};

} // namespace kordane
