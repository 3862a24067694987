#include "data/resultset/BlockStorage.h"

#include <cstring>
#include <stdexcept>

namespace kordane {

// An empty value, a large one, or one that starts a new block.
std::uint32_t ByteArena::addElsewhere(const char* data, std::size_t length)
{
    if (length == 0)
        return 0;
    if (length > largeValue) {
        if (large_.size() >= largeFlag)
            throw std::length_error("too many large values for one result");
        large_.push_back(std::make_unique_for_overwrite<char[]>(length));
        std::memcpy(large_.back().get(), data, length);
        return largeFlag | static_cast<std::uint32_t>(large_.size() - 1);
    }
    if (used_ + length > blockSize) {
        if (blocks_.size() >= (largeFlag >> blockBits))
            throw std::length_error("result too large to hold in memory");
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize));
        used_ = 0;
    }
    std::memcpy(blocks_.back().get() + used_, data, length);
    const auto locator = static_cast<std::uint32_t>(((blocks_.size() - 1) << blockBits) | used_);
    used_ += length;
    return locator;
}

std::string_view ByteArena::view(std::uint32_t locator, std::size_t length) const
{
    if (length == 0)
        return {};
    if (locator & largeFlag)
        return {large_[locator & ~largeFlag].get(), length};
    return {blocks_[locator >> blockBits].get() + (locator & (blockSize - 1)), length};
}

} // namespace kordane
