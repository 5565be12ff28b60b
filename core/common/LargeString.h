#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>

namespace vendrix {

/// Builds a UTF-16 string of at most `capacity` units by letting `fill(char16_t* out)` write
/// them and return how many it wrote, without zero-filling the buffer first. Buffers of
/// megabytes ask the kernel for huge pages, which makes first touch of a 128 MB text several
/// times cheaper. Used where whole files are decoded.
/// Asks the kernel for huge pages over the untouched buffer [data, data + bytes) when it spans
/// several of them; first touch of a large fresh buffer then costs a fraction of the faults.
inline void adviseHugePages(const void* data, std::size_t bytes) {
    constexpr std::size_t kHugePage = 2u << 20;
    if (bytes < 2 * kHugePage)
        return;
    auto begin = reinterpret_cast<std::uintptr_t>(data);
    auto alignedBegin = (begin + kHugePage - 1) & ~(kHugePage - 1);
    auto end = begin + bytes;
    if (end > alignedBegin)
        ::madvise(reinterpret_cast<void*>(alignedBegin), end - alignedBegin, MADV_HUGEPAGE);
}

template <typename Fill>
std::u16string buildUTF16String(std::size_t capacity, Fill fill) {
    std::u16string text;
    text.reserve(capacity);
    adviseHugePages(text.data(), capacity * sizeof(char16_t));
    // The capacity is already there, so the string does not reallocate; the size the library
    // passes to the operation may exceed `capacity` and is deliberately not used.
    text.resize_and_overwrite(capacity, [&](char16_t* out, std::size_t) {
        return static_cast<std::size_t>(fill(out));
    });
    return text;
}

} // namespace vendrix
