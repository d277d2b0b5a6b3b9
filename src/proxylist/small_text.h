#pragma once

#include <cstdint>
#include <string_view>

namespace pv::proxylist {

// A text of 16 bytes: up to 15 bytes are kept inline, a longer text in a heap block of its
// own. Cells that change during a run (delay, status) are almost always short.
class SmallText {
public:
    SmallText() { bytes_[kTagByte] = 0; }
    ~SmallText() { Release(); }
    SmallText(const SmallText&) = delete;
    SmallText& operator=(const SmallText&) = delete;

    void Assign(std::string_view text);
    std::string_view View() const;
    // Heap bytes held beyond the object itself.
    std::size_t HeapBytes() const;

private:
    static constexpr std::size_t kTagByte = 15;
    static constexpr unsigned char kHeapTag = 0xFF;

    bool IsHeap() const { return static_cast<unsigned char>(bytes_[kTagByte]) == kHeapTag; }
    void Release();

    // Inline: the text in bytes 0..14 and its length in byte 15. On the heap: the block's
    // address in bytes 0..7, the length in bytes 8..11 and kHeapTag in byte 15.
    char bytes_[16];
};

} // namespace pv::proxylist
