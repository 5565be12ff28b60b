#pragma once

#include <cstddef>
#include <string>

namespace vendrix {

/// Builds a UTF-16 string of at most `capacity` units by letting `fill(char16_t* out)` write
/// them and return how many it wrote, without zero-filling the buffer first. Used where whole
/// files are decoded.
///
/// The buffer is plain fresh memory. Asking for transparent huge pages (MADV_HUGEPAGE) was
/// tried and measured: with the kernel's usual "madvise" setting for huge pages and their
/// defragmentation, every first touch then waits for memory compaction, and touching 1 GB of
/// fresh memory took 3.1-3.9 s instead of 1.1-1.4 s; where huge pages are on for everything
/// the advice changes nothing. So none is given.
template <typename Fill>
std::u16string buildUTF16String(std::size_t capacity, Fill fill) {
    std::u16string text;
    text.reserve(capacity);
    // The capacity is already there, so the string does not reallocate; the size the library
    // passes to the operation may exceed `capacity` and is deliberately not used.
    text.resize_and_overwrite(capacity, [&](char16_t* out, std::size_t) {
        return static_cast<std::size_t>(fill(out));
    });
    return text;
}

} // namespace vendrix
