#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

/// Memory for the chunks of text copies (TextChunkCache): taken straight from the system,
/// faulted in before use, and given back to the system when freed, so that a dropped copy of
/// a large text does not linger in the allocator's heap. Faulting in fresh memory costs
/// several times the copy itself; a thread with time to spare can do it ahead of time
/// (reserve()), and the thread that copies then only copies. Thread-safe.
namespace vendrix::ChunkMemory {

/// Memory for `count` units, not initialised: a reserved block of exactly that size when one
/// is waiting, else fresh memory.
[[nodiscard]] std::shared_ptr<char16_t[]> allocate(std::int64_t count);
/// Faults in `blocks` blocks of `unitsPerBlock` units each for later allocate() calls.
void reserve(std::size_t blocks, std::int64_t unitsPerBlock);
/// Frees the reserved blocks nobody took.
void releaseReserve();
/// Reserved blocks waiting to be taken.
[[nodiscard]] std::size_t reservedBlocks();

} // namespace vendrix::ChunkMemory
