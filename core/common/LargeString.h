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
template <typename Fill>
std::u16string buildUTF16String(std::size_t capacity, Fill fill) {
    std::u16string text;
    text.reserve(capacity);
    constexpr std::size_t kHugePage = 2u << 20;
    if (capacity * sizeof(char16_t) >= 2 * kHugePage) {
        auto begin = reinterpret_cast<std::uintptr_t>(text.data());
        auto alignedBegin = (begin + kHugePage - 1) & ~(kHugePage - 1);
        auto end = begin + capacity * sizeof(char16_t);
        if (end > alignedBegin)
            ::madvise(reinterpret_cast<void*>(alignedBegin), end - alignedBegin, MADV_HUGEPAGE);
    }
    // The capacity is already there, so the string does not reallocate; the size the library
    // passes to the operation may exceed `capacity` and is deliberately not used.
    text.resize_and_overwrite(capacity, [&](char16_t* out, std::size_t) {
        return static_cast<std::size_t>(fill(out));
    });
    return text;
}

} // namespace vendrix
