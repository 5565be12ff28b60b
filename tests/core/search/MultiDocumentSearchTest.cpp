#include "core/search/MultiDocumentSearch.h"
#include "core/search/BackgroundSearch.h"
#include "core/search/SearchEngine.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <thread>

namespace vendrix {
namespace {

using test::u16;
using test::u8;

SearchPattern compile(const char* query, bool isRegex = false) {
    auto pattern = SearchPattern::compile(SearchOptions{u16(query), isRegex, true, false});
    EXPECT_TRUE(pattern.has_value());
    return *pattern;
}

Uuid idOf(std::uint8_t n) {
    Uuid id;
    id.bytes[15] = n;
    return id;
}

TEST(MultiDocumentSearchTest, LimitSpansDocuments) {
    const std::u16string first = u"x\nxx", second = u"xxxxx";
    std::vector<SearchDocument> documents{{idOf(1), first}, {idOf(2), second}};
    auto pattern = compile("x");

    auto four = MultiDocumentSearch::search(pattern, documents, 4, SearchBudget::unlimited());
    ASSERT_TRUE(four.has_value());
    ASSERT_EQ(four->hits.size(), 4u);
    EXPECT_EQ(four->documentCount, 2);
    EXPECT_TRUE(four->truncated);
    EXPECT_EQ(four->hits[1], (SearchHit{idOf(1), {2, 1}, 1, 0, u"xx"}));
    EXPECT_EQ(four->hits[3], (SearchHit{idOf(2), {0, 1}, 0, 0, u"xxxxx"}));

    // The limit reached with documents left over counts as truncated.
    std::vector<SearchDocument> thenEmpty{{idOf(1), first}, {idOf(2), u"none"}};
    auto three = MultiDocumentSearch::search(pattern, thenEmpty, 3, SearchBudget::unlimited());
    EXPECT_EQ(three->hits.size(), 3u);
    EXPECT_EQ(three->documentCount, 1);
    EXPECT_TRUE(three->truncated);

    auto all = MultiDocumentSearch::search(pattern, documents, 100, SearchBudget::unlimited());
    EXPECT_EQ(all->hits.size(), 8u);
    EXPECT_FALSE(all->truncated);
    auto none = MultiDocumentSearch::search(pattern, {}, 100, SearchBudget::unlimited());
    EXPECT_EQ(*none, MultiDocumentResult{});
}

TEST(MultiDocumentSearchTest, SearchesSnapshotsAndLocatesHits) {
    auto snapshot = TextSnapshot(std::make_shared<const std::u16string>(u"a\n\tfoo() foo\n"), 7);
    std::vector<SearchDocument> documents{{idOf(9), snapshot}};
    // Copies keep the snapshot's text alive and point at it.
    std::vector<SearchDocument> copies = documents;
    snapshot = TextSnapshot();
    documents.clear();
    auto result =
        MultiDocumentSearch::search(compile("foo"), copies, 10, SearchBudget::unlimited());
    ASSERT_EQ(result->hits.size(), 2u);
    EXPECT_EQ(result->hits[0], (SearchHit{idOf(9), {3, 3}, 1, 1, u"foo() foo"}));
    EXPECT_EQ(result->hits[1].column, 7);
}

TEST(MultiDocumentSearchTest, BudgetFailureDropsAllHits) {
    const std::u16string slow = std::u16string(40, u'a') + u"b";
    std::vector<SearchDocument> documents{{idOf(1), u"aab"}, {idOf(2), slow}};
    auto result = MultiDocumentSearch::search(compile("(a+)+$", true), documents, 100,
                                              SearchBudget(0.1, nullptr));
    EXPECT_EQ(result.error(), SearchFailure::timedOut());
}

TEST(SearchHitTest, PreviewFramesLongLinesAndKeepsCharactersWhole) {
    // A 1,000-unit line with the match at 500: 200 units from 460, ellipses on both sides.
    std::u16string line;
    for (int i = 0; i < 1000; ++i)
        line.push_back(static_cast<char16_t>(u'a' + i % 26));
    auto preview = SearchHit::makePreview(line, TextRange{0, 1000}, 500);
    EXPECT_EQ(preview, u"\u2026" + line.substr(460, 200) + u"\u2026");

    // Near the end the window slides back to end at the line end.
    auto atEnd = SearchHit::makePreview(line, TextRange{0, 1000}, 990);
    EXPECT_EQ(atEnd, u"\u2026" + line.substr(800));
    // Near the start: no leading ellipsis.
    auto atStart = SearchHit::makePreview(line, TextRange{0, 1000}, 10);
    EXPECT_EQ(atStart, line.substr(0, 200) + u"\u2026");

    EXPECT_EQ(SearchHit::makePreview(u"\t\tfoo()", TextRange{0, 7}, 2), u"foo()");
    EXPECT_EQ(SearchHit::makePreview(u"x\n  a\tb\ny", TextRange{2, 5}, 4), u"a b");

    // Where the match starts in the excerpt: after a leading ellipsis, after stripped
    // indentation, and at a window that slid back from the line end.
    struct Column {
        std::u16string_view text;
        TextRange line;
        std::int64_t match;
        std::int64_t expected;
    };
    const std::u16string indented = u"x\n\t  ab cd\ny";
    for (const Column& c : {Column{line, {0, 1000}, 500, 41}, Column{line, {0, 1000}, 990, 191},
                            Column{line, {0, 1000}, 10, 10}, Column{indented, {2, 8}, 8, 3},
                            Column{indented, {2, 8}, 2, 0}}) {
        std::int64_t column = -1;
        const std::u16string excerpt = SearchHit::makePreview(c.text, c.line, c.match, &column);
        EXPECT_EQ(column, c.expected) << c.match;
        EXPECT_LE(column, static_cast<std::int64_t>(excerpt.size()));
    }

    // A surrogate pair or a base with its mark at either window edge is kept whole.
    std::u16string pairs = std::u16string(459, u'x') + u"\U0001F600" + std::u16string(198, u'y') +
                           u"\U0001F601" + std::u16string(300, u'z');
    auto widened =
        SearchHit::makePreview(pairs, TextRange{0, static_cast<std::int64_t>(pairs.size())}, 500);
    // The window [460, 660) cuts both pairs in half; it grows to [459, 661).
    EXPECT_EQ(widened, u"\u2026" + pairs.substr(459, 202) + u"\u2026");
    std::u16string marks = std::u16string(459, u'x') + u"e\u0301" + std::u16string(500, u'y');
    auto withMark =
        SearchHit::makePreview(marks, TextRange{0, static_cast<std::int64_t>(marks.size())}, 500);
    EXPECT_EQ(withMark.substr(0, 3), u"\u2026e\u0301");
}

/// A main-thread stand-in: completions are queued and run when the test drains them.
class TestExecutor {
public:
    MainExecutor executor() {
        return [this](std::function<void()> work) {
            std::lock_guard lock(m_lock);
            m_items.push_back(std::move(work));
            m_ready.notify_all();
        };
    }
    /// Runs queued completions on the calling thread until `count` have run.
    void drain(size_t count) {
        for (size_t done = 0; done < count; ++done) {
            std::function<void()> item;
            {
                std::unique_lock lock(m_lock);
                ASSERT_TRUE(m_ready.wait_for(lock, std::chrono::seconds(30),
                                             [this] { return !m_items.empty(); }));
                item = std::move(m_items.front());
                m_items.pop_front();
            }
            item();
        }
    }

private:
    std::mutex m_lock;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_items;
};

TEST(BackgroundSearchTest, RunsWorkOffThreadAndCompletesThroughTheExecutor) {
    TestExecutor main;
    WorkQueue queue("test.search", 2);
    BackgroundSearch background(main.executor(), queue);
    const std::u16string text = u"one two one";
    auto pattern = compile("one");
    const auto callerThread = std::this_thread::get_id();

    std::optional<std::expected<FindAllResult, SearchFailure>> found;
    std::thread::id workThread, completionThread;
    auto token = background.run(
        BackgroundSearch::interactiveTimeout,
        [&](const SearchBudget& budget) {
            workThread = std::this_thread::get_id();
            return SearchEngine::findAll(pattern, text, std::nullopt, 10, budget);
        },
        [&](std::expected<FindAllResult, SearchFailure> result) {
            completionThread = std::this_thread::get_id();
            found = std::move(result);
        });
    ASSERT_NE(token, nullptr);
    main.drain(1);
    ASSERT_TRUE(found.has_value());
    ASSERT_TRUE(found->has_value());
    EXPECT_EQ((*found)->ranges.size(), 2u);
    EXPECT_NE(workThread, callerThread);
    EXPECT_EQ(completionThread, callerThread);
}

TEST(BackgroundSearchTest, CancelledWorkReportsCancelledAndStillCompletes) {
    TestExecutor main;
    WorkQueue queue("test.search", 1);
    BackgroundSearch background(main.executor(), queue);
    // Hold the only worker so that the search cannot start before it is cancelled.
    std::mutex gate;
    std::unique_lock hold(gate);
    queue.async([&gate] { std::lock_guard wait(gate); });

    const std::u16string text = u"aaa";
    auto pattern = compile("a");
    std::optional<SearchFailure> failure;
    bool completed = false;
    auto token = background.run(
        BackgroundSearch::bulkTimeout,
        [&](const SearchBudget& budget) {
            return SearchEngine::findAll(pattern, text, std::nullopt, 10, budget);
        },
        [&](std::expected<FindAllResult, SearchFailure> result) {
            completed = true;
            if (!result)
                failure = result.error();
        });
    token->cancel();
    hold.unlock();
    main.drain(1);
    EXPECT_TRUE(completed);
    EXPECT_EQ(failure, SearchFailure::cancelled());
}

} // namespace
} // namespace vendrix
