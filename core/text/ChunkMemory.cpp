#include "core/text/ChunkMemory.h"

#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include <sys/mman.h>

namespace vendrix::ChunkMemory {

namespace {

/// Below this size the allocator's heap serves as well and wastes less.
constexpr std::size_t kSmallBytes = std::size_t{256} << 10;

struct Block {
    void* memory = nullptr;
    std::size_t bytes = 0;
};

std::mutex reserveLock;
std::vector<Block> reserved; // guarded by reserveLock

void* mapFaulted(std::size_t bytes) {
    void* memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return memory == MAP_FAILED ? nullptr : memory;
}

std::shared_ptr<char16_t[]> owning(void* memory, std::size_t bytes) {
    return {static_cast<char16_t*>(memory), [bytes](char16_t* units) { ::munmap(units, bytes); }};
}

} // namespace

std::shared_ptr<char16_t[]> allocate(std::int64_t count) {
    const auto bytes = static_cast<std::size_t>(count) * sizeof(char16_t);
    if (bytes < kSmallBytes)
        return std::make_shared_for_overwrite<char16_t[]>(static_cast<std::size_t>(count));
    {
        std::lock_guard lock(reserveLock);
        for (auto it = reserved.begin(); it != reserved.end(); ++it) {
            if (it->bytes == bytes) {
                const Block block = *it;
                reserved.erase(it);
                return owning(block.memory, block.bytes);
            }
        }
    }
    void* memory = mapFaulted(bytes);
    if (!memory)
        throw std::bad_alloc();
    return owning(memory, bytes);
}

void reserve(std::size_t blocks, std::int64_t unitsPerBlock) {
    const auto bytes = static_cast<std::size_t>(unitsPerBlock) * sizeof(char16_t);
    if (bytes < kSmallBytes)
        return;
    for (std::size_t i = 0; i < blocks; ++i) {
        void* memory = mapFaulted(bytes);
        if (!memory)
            return; // the copying thread allocates for itself, or reports the shortage
        std::lock_guard lock(reserveLock);
        reserved.push_back({memory, bytes});
    }
}

void releaseReserve() {
    std::vector<Block> blocks;
    {
        std::lock_guard lock(reserveLock);
        blocks.swap(reserved);
    }
    for (const Block& block : blocks)
        ::munmap(block.memory, block.bytes);
}

std::size_t reservedBlocks() {
    std::lock_guard lock(reserveLock);
    return reserved.size();
}

} // namespace vendrix::ChunkMemory
