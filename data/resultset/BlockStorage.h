#pragma once
// Storage that grows in fixed-size blocks: nothing stored ever moves (views stay valid),
// growing copies nothing, and the slack is never more than one block. The result set
// keeps its rows in it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace kordane {

template<class T, std::size_t BlockElements = 16384>
class BlockVector {
public:
    void push_back(const T& value)
    {
        if (size_ % BlockElements == 0)
            blocks_.push_back(std::make_unique_for_overwrite<T[]>(BlockElements));
        blocks_.back()[size_ % BlockElements] = value;
        ++size_;
    }
    const T& operator[](std::size_t i) const { return blocks_[i / BlockElements][i % BlockElements]; }
    std::size_t size() const { return size_; }

private:
    std::vector<std::unique_ptr<T[]>> blocks_;
    std::size_t size_ = 0;
};

// Byte strings, each kept whole in one place and found again by a 32-bit locator.
class ByteArena {
public:
    std::uint32_t add(const char* data, std::size_t length)
    {
        // The usual value, short and with room left in the block being filled, is stored
        // here, without a call: every cell of a result passes.
        if (length != 0 && length <= largeValue && used_ + length <= blockSize) {
            std::memcpy(blocks_.back().get() + used_, data, length);
            const auto locator = static_cast<std::uint32_t>(((blocks_.size() - 1) << blockBits) | used_);
            used_ += length;
            return locator;
        }
        return addElsewhere(data, length);
    }
    std::string_view view(std::uint32_t locator, std::size_t length) const;

private:
    std::uint32_t addElsewhere(const char* data, std::size_t length);

    static constexpr unsigned blockBits = 20;
    static constexpr std::size_t blockSize = std::size_t {1} << blockBits;
    // Larger values get a block of their own, so that a block wastes little at its end.
    static constexpr std::size_t largeValue = std::size_t {1} << 16;
    static constexpr std::uint32_t largeFlag = 0x80000000u;

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t used_ = blockSize; // in the last block
    std::vector<std::unique_ptr<char[]>> large_;
};

} // namespace kordane
