#pragma once
// Storage that grows in fixed-size blocks: nothing stored ever moves (views stay valid),
// growing copies nothing, and the slack is never more than one block. The result set
// keeps its rows in it.
#include <cstddef>
#include <cstdint>
#include <memory>
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

// Byte strings, each kept whole in one place and found again by a 32-bit locator. A
// value is written in pieces (extend, then finish).
class ByteArena {
public:
    // Room for `length` more bytes of the value being written. The usual piece, with
    // room left where the value is, takes no call: every cell of a result passes.
    char* extend(std::size_t length)
    {
        if (length <= room_) {
            char* const at = end_;
            end_ += length;
            room_ -= length;
            return at;
        }
        return extendElsewhere(length);
    }
    // Ends the value being written and gives its locator.
    std::uint32_t finish();
    // Forgets the value being written.
    void discard();
    // Where a value that is not empty starts.
    const char* at(std::uint32_t locator) const
    {
        if (locator & largeFlag)
            return large_[locator & ~largeFlag].get();
        return blocks_[locator >> blockBits].get() + (locator & (blockSize - 1));
    }

private:
    char* extendElsewhere(std::size_t length);
    void backToBlock();

    static constexpr unsigned blockBits = 20;
    static constexpr std::size_t blockSize = std::size_t {1} << blockBits;
    // Larger values get a place of their own, so that a block wastes little at its end.
    static constexpr std::size_t largeValue = std::size_t {1} << 16;
    static constexpr std::uint32_t largeFlag = 0x80000000u;

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::unique_ptr<char[]>> large_;
    char* start_ = nullptr; // of the value being written
    char* end_ = nullptr;
    std::size_t room_ = 0; // after end_, where the value is
    // While a large value is written in a place of its own, where the last block stands.
    bool inLarge_ = false;
    char* blockEnd_ = nullptr;
    std::size_t blockRoom_ = 0;
};

} // namespace kordane
