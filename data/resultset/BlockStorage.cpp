#include "data/resultset/BlockStorage.h"

#include <cstring>
#include <stdexcept>

namespace kordane {

// The value being written moves to a place with room for `length` more bytes: a new
// block, or a place of its own once it is large. Nothing changes if allocation fails.
char* ByteArena::extendElsewhere(std::size_t length)
{
    const auto written = static_cast<std::size_t>(end_ - start_);
    const std::size_t needed = written + length;
    const bool toBlock = !inLarge_ && needed <= largeValue;
    std::size_t size = 0;
    if (toBlock) {
        if (blocks_.size() >= (largeFlag >> blockBits))
            throw std::length_error("result too large to hold in memory");
        size = blockSize;
    } else {
        if (!inLarge_ && large_.size() >= largeFlag)
            throw std::length_error("too many large values for one result");
        // A value written in pieces grows by half again, so that it is copied a few times
        // only; finish() gives back what is left over.
        size = written == 0 ? needed : needed + needed / 2;
    }
    auto place = std::make_unique_for_overwrite<char[]>(size);
    if (written != 0)
        std::memcpy(place.get(), start_, written);

    if (toBlock) {
        blocks_.push_back(std::move(place));
        start_ = blocks_.back().get();
    } else if (inLarge_) {
        large_.back() = std::move(place);
        start_ = large_.back().get();
    } else {
        // The block keeps its room for the values after this one.
        blockEnd_ = start_;
        blockRoom_ = room_ + written;
        inLarge_ = true;
        large_.push_back(std::move(place));
        start_ = large_.back().get();
    }
    end_ = start_ + written;
    room_ = size - written;
    return extend(length);
}

void ByteArena::backToBlock()
{
    inLarge_ = false;
    start_ = end_ = blockEnd_;
    room_ = blockRoom_;
}

std::uint32_t ByteArena::finish()
{
    if (inLarge_) {
        const auto size = static_cast<std::size_t>(end_ - start_);
        if (room_ != 0) {
            auto exact = std::make_unique_for_overwrite<char[]>(size);
            std::memcpy(exact.get(), start_, size);
            large_.back() = std::move(exact);
        }
        backToBlock();
        return largeFlag | static_cast<std::uint32_t>(large_.size() - 1);
    }
    if (end_ == start_)
        return 0; // an empty value is found without a place
    const auto offset = static_cast<std::uint32_t>(start_ - blocks_.back().get());
    start_ = end_;
    return static_cast<std::uint32_t>((blocks_.size() - 1) << blockBits) | offset;
}

void ByteArena::discard()
{
    if (inLarge_) {
        large_.pop_back();
        backToBlock();
        return;
    }
    room_ += static_cast<std::size_t>(end_ - start_);
    end_ = start_;
}

} // namespace kordane
