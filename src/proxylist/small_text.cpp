#include "proxylist/small_text.h"

#include <cstring>
#include <limits>

namespace pv::proxylist {

namespace {

struct HeapBlock {
    char* data;
    std::uint32_t size;
};

} // namespace

void SmallText::Release() {
    if (IsHeap()) {
        char* data = nullptr;
        std::memcpy(&data, bytes_, sizeof data);
        delete[] data;
        bytes_[kTagByte] = 0;
    }
}

void SmallText::Assign(std::string_view text) {
    Release();
    text = text.substr(0, std::numeric_limits<std::uint32_t>::max());
    if (text.size() < kTagByte) {
        std::memcpy(bytes_, text.data(), text.size());
        bytes_[kTagByte] = static_cast<char>(text.size());
        return;
    }
    char* data = new char[text.size()];
    std::memcpy(data, text.data(), text.size());
    const auto size = static_cast<std::uint32_t>(text.size());
    std::memcpy(bytes_, &data, sizeof data);
    std::memcpy(bytes_ + sizeof data, &size, sizeof size);
    bytes_[kTagByte] = static_cast<char>(kHeapTag);
}

std::string_view SmallText::View() const {
    if (!IsHeap()) {
        return {bytes_, static_cast<std::size_t>(bytes_[kTagByte])};
    }
    const char* data = nullptr;
    std::uint32_t size = 0;
    std::memcpy(&data, bytes_, sizeof data);
    std::memcpy(&size, bytes_ + sizeof data, sizeof size);
    return {data, size};
}

std::size_t SmallText::HeapBytes() const {
    return IsHeap() ? View().size() : 0;
}

} // namespace pv::proxylist
