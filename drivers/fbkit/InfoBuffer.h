#pragma once
// Reads the items of a client information buffer: a code byte, a two-byte length and
// that many bytes of value, up to the end or truncation mark.
#include <ibase.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace fbkit {

class InfoBuffer {
public:
    InfoBuffer(const char* data, std::size_t size)
        : data_(data)
        , size_(size)
    {
    }

    static std::int64_t integer(const char* data, std::size_t length)
    {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < length && i < 8; ++i)
            value |= std::uint64_t(static_cast<unsigned char>(data[i])) << (8 * i);
        if (length > 0 && length < 8 && (static_cast<unsigned char>(data[length - 1]) & 0x80))
            value |= ~std::uint64_t(0) << (8 * length); // sign-extend
        return static_cast<std::int64_t>(value);
    }

    // Calls visit(code, value) for integer items or visit(code, data, length) for the
    // raw bytes, depending on what `visit` takes.
    template<typename Visit>
    void forEach(Visit&& visit) const
    {
        std::size_t at = 0;
        while (at + 3 <= size_) {
            const char code = data_[at];
            if (code == isc_info_end || code == isc_info_truncated)
                return;
            const auto length = static_cast<std::size_t>(integer(data_ + at + 1, 2) & 0xFFFF);
            if (at + 3 + length > size_)
                return;
            const char* value = data_ + at + 3;
            if constexpr (std::is_invocable_v<Visit, char, const char*, std::size_t>)
                visit(code, value, length);
            else
                visit(code, integer(value, length));
            at += 3 + length;
        }
    }

private:
    const char* data_;
    std::size_t size_;
};

} // namespace fbkit
