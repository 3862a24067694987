// Arbitrary bytes read as code page 950 text are written back as the same bytes.
#include "data/sql/Cp950RoundTrip.h"

#include <cstdint>
#include <cstdlib>

using namespace kordane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto back = cp950::encode(cp950::decode(bytes));
    if (!back || std::string_view(back->constData(), static_cast<std::size_t>(back->size())) != bytes)
        std::abort();
    return 0;
}
