#include "proxylist/text_arena.h"

#include <cstring>

namespace pv::proxylist {

std::string_view TextArena::Store(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    if (text.size() > kBlockSize / 4) {
        // A large text gets a block of its own, so that it wastes no space in the shared ones.
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(text.size()));
        allocated_ += text.size();
        std::memcpy(blocks_.back().get(), text.data(), text.size());
        return {blocks_.back().get(), text.size()};
    }
    if (text.size() > freeLeft_) {
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
        allocated_ += kBlockSize;
        free_ = blocks_.back().get();
        freeLeft_ = kBlockSize;
    }
    char* copy = free_;
    std::memcpy(copy, text.data(), text.size());
    free_ += text.size();
    freeLeft_ -= text.size();
    return {copy, text.size()};
}

} // namespace pv::proxylist
