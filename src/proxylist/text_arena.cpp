#include "proxylist/text_arena.h"

#include <cstring>

namespace pv::proxylist {

std::string_view TextArena::Store(std::string_view first, std::string_view second) {
    const std::size_t size = first.size() + second.size();
    if (size == 0) {
        return {};
    }
    char* copy = nullptr;
    if (size > kBlockSize / 4) {
        // A large text gets a block of its own, so that it wastes no space in the shared ones.
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        allocated_ += size;
        copy = blocks_.back().get();
    } else {
        if (size > freeLeft_) {
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
            allocated_ += kBlockSize;
            free_ = blocks_.back().get();
            freeLeft_ = kBlockSize;
        }
        copy = free_;
        free_ += size;
        freeLeft_ -= size;
    }
    if (!first.empty()) {
        std::memcpy(copy, first.data(), first.size());
    }
    if (!second.empty()) {
        std::memcpy(copy + first.size(), second.data(), second.size());
    }
    return {copy, size};
}

} // namespace pv::proxylist
