#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace pv::proxylist {

// Append-only storage for texts that live as long as the arena: each text is copied into a
// large block, so a million short texts cost no allocation each.
class TextArena {
public:
    TextArena() = default;
    TextArena(const TextArena&) = delete;
    TextArena& operator=(const TextArena&) = delete;

    // Copies `first` followed by `second` in, as one text; the copy stays valid and
    // unchanged for the arena's life.
    std::string_view Store(std::string_view first, std::string_view second = {});
    std::size_t AllocatedBytes() const { return allocated_; }

private:
    static constexpr std::size_t kBlockSize = 256 * 1024;

    std::vector<std::unique_ptr<char[]>> blocks_;
    char* free_ = nullptr;
    std::size_t freeLeft_ = 0;
    std::size_t allocated_ = 0;
};

} // namespace pv::proxylist
