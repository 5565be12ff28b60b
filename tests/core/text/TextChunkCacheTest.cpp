#include "core/text/ChunkMemory.h"
#include "core/text/TextChunkCache.h"
#include "core/text/TextStorage.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace vendrix {
namespace {

std::u16string numbered(std::size_t units) {
    std::u16string text;
    text.reserve(units);
    for (std::size_t i = 0; i < units; ++i)
        text += static_cast<char16_t>(u'a' + i % 26);
    return text;
}

/// The chunk storage of `snapshot`, to tell which copies two snapshots share.
std::set<const char16_t*> identities(const TextChunkSnapshot& snapshot) {
    std::set<const char16_t*> out;
    for (std::size_t i = 0; i < snapshot.chunkCount(); ++i)
        out.insert(snapshot.chunkIdentity(i));
    return out;
}

// Edits of every shape against a plain string, with copies refreshed a little at a time in
// between (as the session does between event-loop turns): every snapshot equals the text of
// its moment, and stays so while the text moves on.
TEST(TextChunkCacheTest, RandomEditsAndPartialRefreshesMatchAReferenceString) {
    std::mt19937 rng(1207);
    auto pick = [&](std::int64_t lo, std::int64_t hi) {
        return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
    };
    constexpr std::int64_t chunk = 16;
    TextChunkCache cache(chunk);
    std::u16string reference = numbered(300);
    std::vector<std::pair<TextChunkSnapshot, std::u16string>> taken;
    for (int step = 0; step < 3000; ++step) {
        const auto length = static_cast<std::int64_t>(reference.size());
        const std::int64_t location = pick(0, 7) == 0 ? (pick(0, length / chunk)) * chunk // a boundary
                                                      : pick(0, length);
        const std::int64_t bound = std::min<std::int64_t>(length - location, pick(0, 3) ? 5 : 3 * chunk);
        const std::int64_t removed = pick(0, bound);
        const std::u16string inserted(static_cast<std::size_t>(pick(0, 1) ? pick(0, 3) : pick(0, 3 * chunk)),
                                      static_cast<char16_t>(u'A' + step % 26));
        reference.replace(static_cast<std::size_t>(location), static_cast<std::size_t>(removed), inserted);
        cache.noteReplace(location, removed, static_cast<std::int64_t>(inserted.size()));

        const StringTextSource source(reference);
        switch (pick(0, 4)) {
        case 0:
            cache.refresh(source, pick(0, 2 * chunk));
            break;
        case 1: {
            TextChunkSnapshot snapshot = cache.snapshot(source, static_cast<std::uint64_t>(step));
            ASSERT_EQ(snapshot.string(), reference) << "step " << step;
            ASSERT_EQ(cache.staleUnits(source.length()), 0);
            if (step % 10 == 0)
                taken.emplace_back(snapshot, reference);
            break;
        }
        default:
            break;
        }
        ASSERT_LE(cache.staleUnits(source.length()), source.length());
        if (step == 1500)
            cache.clear(); // dropped on the way: starts over from the whole text
    }
    ASSERT_FALSE(taken.empty());
    for (const auto& [snapshot, text] : taken) {
        ASSERT_EQ(snapshot.string(), text);
        // Reads across chunk borders.
        const std::int64_t at = std::min<std::int64_t>(chunk - 3, snapshot.length());
        const std::int64_t count = std::min<std::int64_t>(2 * chunk + 5, snapshot.length() - at);
        std::u16string part(static_cast<std::size_t>(count), u'\0');
        snapshot.copyUnits({at, count}, part.data());
        EXPECT_EQ(part, text.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(count)));
    }
    // Runs stay about chunk-sized: edits do not leave a trail of slivers.
    EXPECT_LE(cache.entryCount(), 2 * reference.size() / chunk + 2);
}

TEST(TextChunkCacheTest, AnEditCopiesOnlyTheChunksItTouches) {
    TextChunkCache cache(100);
    std::u16string text = numbered(1000);
    const TextChunkSnapshot first = cache.snapshot(StringTextSource(text), 1);
    ASSERT_EQ(first.chunkCount(), 10u);

    text.insert(250, u"xyz"); // inside the third chunk
    cache.noteReplace(250, 0, 3);
    EXPECT_EQ(cache.staleUnits(static_cast<std::int64_t>(text.size())), 103);
    const TextChunkSnapshot second = cache.snapshot(StringTextSource(text), 2);
    EXPECT_EQ(second.string(), text);
    std::set<const char16_t*> shared;
    std::ranges::set_intersection(identities(first), identities(second),
                                  std::inserter(shared, shared.begin()));
    EXPECT_EQ(shared.size(), 9u) << "the chunks before and after the edit are not copied again";
    EXPECT_EQ(first.string(), numbered(1000)) << "the older copy is untouched";

    // A deletion across a chunk border marks both chunks, no more.
    text.erase(390, 30);
    cache.noteReplace(390, 30, 0);
    EXPECT_EQ(cache.staleUnits(static_cast<std::int64_t>(text.size())), 200 - 30);
    EXPECT_EQ(cache.snapshot(StringTextSource(text), 3).string(), text);

    // Typing at the very end and at the very start.
    text += u"!";
    cache.noteReplace(static_cast<std::int64_t>(text.size()) - 1, 0, 1);
    text.insert(0, u"<");
    cache.noteReplace(0, 0, 1);
    EXPECT_EQ(cache.staleUnits(static_cast<std::int64_t>(text.size())), 202);
    EXPECT_EQ(cache.snapshot(StringTextSource(text), 4).string(), text);
    EXPECT_EQ(cache.heldUnits(), static_cast<std::int64_t>(text.size()));
}

TEST(TextChunkCacheTest, RefreshCopiesABoundedAmountAndStartsOverWhenTheLengthDisagrees) {
    TextChunkCache cache(100);
    std::u16string text = numbered(1000);
    EXPECT_FALSE(cache.isActive());
    EXPECT_EQ(cache.staleUnits(1000), 1000);
    EXPECT_FALSE(cache.refresh(StringTextSource(text), 150)); // two chunks: the second passes the budget
    EXPECT_EQ(cache.heldUnits(), 200);
    // An edit in the part not copied yet costs nothing extra.
    text.insert(700, u"abc");
    cache.noteReplace(700, 0, 3);
    EXPECT_EQ(cache.heldUnits(), 200);
    while (!cache.refresh(StringTextSource(text), 1)) {
    }
    EXPECT_EQ(cache.snapshot(StringTextSource(text), 0).string(), text);

    // A change the cache was not told about that alters the length: copied again from scratch.
    text.erase(0, 10);
    EXPECT_EQ(cache.snapshot(StringTextSource(text), 0).string(), text);

    cache.clear();
    EXPECT_FALSE(cache.isActive());
    EXPECT_EQ(cache.heldUnits(), 0);
    EXPECT_EQ(cache.snapshot(StringTextSource(u""), 0).length(), 0);
}

TEST(TextChunkCacheTest, ReservedChunkMemoryIsTakenByExactSizeAndReleased) {
    constexpr std::int64_t units = TextChunkCache::defaultChunkUnits;
    ChunkMemory::releaseReserve();
    ChunkMemory::reserve(2, units);
    EXPECT_EQ(ChunkMemory::reservedBlocks(), 2u);
    {
        auto other = ChunkMemory::allocate(units + 1); // another size: fresh memory
        EXPECT_EQ(ChunkMemory::reservedBlocks(), 2u);
        auto taken = ChunkMemory::allocate(units);
        EXPECT_EQ(ChunkMemory::reservedBlocks(), 1u);
        taken[units - 1] = u'z';
        other[units] = u'y';
        EXPECT_EQ(taken[units - 1], u'z');
        auto small = ChunkMemory::allocate(10); // from the heap, the reserve untouched
        EXPECT_EQ(ChunkMemory::reservedBlocks(), 1u);
    }
    ChunkMemory::releaseReserve();
    EXPECT_EQ(ChunkMemory::reservedBlocks(), 0u);
}

// The storage's own cache at its real chunk size: edits on and across the megabyte borders.
TEST(TextChunkCacheTest, TheStorageSnapshotFollowsEditsAcrossChunkBorders) {
    constexpr std::int64_t chunk = TextChunkCache::defaultChunkUnits;
    const std::u16string initial = numbered(static_cast<std::size_t>(4 * chunk + 123));
    TextStorage storage(initial, 7);
    std::u16string reference = initial;
    const TextChunkSnapshot first = storage.chunkSnapshot();
    EXPECT_EQ(first.revision(), 7u);
    EXPECT_EQ(first.string(), reference);

    auto edit = [&](std::int64_t location, std::int64_t removed, std::u16string_view text) {
        storage.replace({location, removed}, text);
        reference.replace(static_cast<std::size_t>(location), static_cast<std::size_t>(removed), text);
    };
    edit(chunk, 0, u"[on the border]");
    edit(2 * chunk - 5, 10, u"<across>");
    edit(3 * chunk - 2, chunk + 4, u""); // swallows a whole chunk
    edit(storage.length(), 0, u"\U0001F600");
    EXPECT_LE(storage.staleChunkUnits(), 3 * chunk + 100);
    const TextChunkSnapshot second = storage.chunkSnapshot();
    const std::u16string secondText = reference;
    EXPECT_EQ(second.string(), reference);
    EXPECT_EQ(second.revision(), storage.revision());
    EXPECT_EQ(first.string(), initial);
    EXPECT_EQ(storage.string(), reference);
    EXPECT_EQ(storage.chunkCacheUnits(), storage.length());

    // An owner renumbering its steps keeps the copies in step (they are dropped only when
    // the revision moves on without them).
    storage.replace({0, 0}, u"#");
    reference.insert(0, u"#");
    storage.setRevision(100);
    EXPECT_EQ(storage.staleChunkUnits(), chunk + 1);
    EXPECT_EQ(storage.chunkSnapshot().string(), reference);
    EXPECT_EQ(storage.chunkCacheUnits(), storage.length());

    storage.dropChunks();
    EXPECT_EQ(storage.chunkCacheUnits(), 0);
    EXPECT_TRUE(second.string() == secondText) << "a snapshot keeps its copy after the cache is dropped";
    EXPECT_FALSE(storage.prepareChunks(chunk));
    EXPECT_EQ(storage.chunkCacheUnits(), chunk);
    while (!storage.prepareChunks(chunk)) {
    }
    EXPECT_EQ(storage.staleChunkUnits(), 0);
    EXPECT_EQ(storage.chunkSnapshot().string(), reference);
}

} // namespace
} // namespace vendrix
