#include "core/files/FolderSearch.h"
#include "core/search/MultiDocumentSearch.h"
#include "core/text/TextFileCodec.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix {

// Readable failures: the result's path, status and hits.
void PrintTo(const FileSearchResult& result, std::ostream* out) {
    *out << result.path << " status " << static_cast<int>(result.status) << " errno "
         << result.errnoValue << (result.truncated ? " truncated" : "") << " hits:";
    for (const FileHit& hit : result.hits)
        *out << " (" << hit.line << ":" << hit.column << "+" << hit.length << " "
             << test::u8(hit.preview) << " @" << hit.previewColumn << ")";
}

namespace {

namespace fs = std::filesystem;
using test::u16;
using Status = FileSearchResult::Status;

SearchPattern compile(const char* query, bool matchCase = false, bool isRegex = false) {
    auto pattern = SearchPattern::compile(SearchOptions{u16(query), isRegex, matchCase, false});
    EXPECT_TRUE(pattern.has_value());
    return *pattern;
}

void write(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    test::writeFileBytes(path, bytes);
}

struct Collected {
    std::vector<FileSearchResult> results;
    std::expected<FolderSearchSummary, SearchFailure> summary;
};

Collected searchFolder(const SearchPattern& pattern, std::vector<std::string> roots,
                       FolderSearchOptions options,
                       const SearchBudget& budget = SearchBudget::unlimited(),
                       std::function<void(const FileSearchResult&)> onResult = {}) {
    Collected collected{{}, FolderSearchSummary{}};
    collected.summary =
        FolderSearch::run(pattern, roots, options, budget, [&](FileSearchResult&& result) {
            if (onResult)
                onResult(result);
            collected.results.push_back(std::move(result));
        });
    return collected;
}

TEST(FolderSearchTest, DecodesEachFileAsTheEditorOpensIt) {
    test::TempDir dir;
    const fs::path& root = dir.path();
    // UTF-16 LE with a byte order mark and CR LF; Windows-1254 ("çağ"); a binary file with
    // the query in it; a file over the size limit; UTF-8 with the dotted and dotless I that
    // match "i" without case, beside an ASCII file searched in its bytes.
    write(root / "a-utf16.txt",
          std::string("\xFF\xFE", 2) +
              std::string("f\0i\0r\0s\0t\0\r\0\n\0I\0n\0c\0l\0u\0d\0e\0", 28));
    write(root / "b-1254.txt", "\xE7\x61\xF0 include\r\n");
    write(root / "c-binary.bin", std::string("include\0\0\0\0", 11) + std::string(64, '\1'));
    write(root / "d-large.txt", std::string(200, 'x') + "include");
    write(root / "e-turkish.txt", "\xC4\xB0NCLUDE \xC4\xB1nclude\n");
    write(root / "f-ascii.c", "#include <a>\n\t#INCLUDE\n");

    FolderSearchOptions options;
    options.maxFileSize = 100;
    Collected found = searchFolder(compile("include"), {root.string()}, options);
    ASSERT_TRUE(found.summary.has_value());
    const std::string base = root.string() + "/";
    std::vector<FileSearchResult> expected{
        {base + "a-utf16.txt", Status::searched, {{1, 0, 7, u"Include", 0}}, false, 0},
        {base + "b-1254.txt",
         Status::searched,
         {{0, 4, 7, u16("\xC3\xA7\x61\xC4\x9F include"), 4}},
         false,
         0},
        {base + "c-binary.bin", Status::binary, {}, false, 0},
        {base + "d-large.txt", Status::tooLarge, {}, false, EFBIG},
        {base + "e-turkish.txt",
         Status::searched,
         {{0, 0, 7, u16("\xC4\xB0NCLUDE \xC4\xB1nclude"), 0},
          {0, 8, 7, u16("\xC4\xB0NCLUDE \xC4\xB1nclude"), 8}},
         false,
         0},
        {base + "f-ascii.c",
         Status::searched,
         {{0, 1, 7, u"#include <a>", 1}, {1, 2, 7, u"#INCLUDE", 1}},
         false,
         0},
    };
    EXPECT_EQ(found.results, expected);
    EXPECT_EQ(*found.summary, (FolderSearchSummary{4, 4, 6, 1, 1, 0, false}));
}

TEST(FolderSearchTest, AFileThatVanishesOrTurnsUnreadableIsNamed) {
    test::TempDir dir;
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        write(dir.path() / name, "word\n");
    const bool superuser = ::geteuid() == 0;
    // One worker: the later files are read only after the first one's result came back.
    FolderSearchOptions options;
    options.workerCount = 1;
    Collected found = searchFolder(compile("word"), {dir.path().string()}, options,
                                   SearchBudget::unlimited(), [&](const FileSearchResult& result) {
                                       if (!result.path.ends_with("a.txt"))
                                           return;
                                       fs::remove(dir.path() / "b.txt");
                                       fs::remove(dir.path() / "c.txt");
                                       ASSERT_EQ(::mkfifo((dir.path() / "c.txt").c_str(), 0600), 0);
                                       if (!superuser)
                                           fs::permissions(dir.path() / "d.txt", fs::perms::none);
                                   });
    ASSERT_TRUE(found.summary.has_value());
    ASSERT_EQ(found.results.size(), 4u);
    EXPECT_EQ(found.results[0].hits.size(), 1u);
    EXPECT_EQ(found.results[1].status, Status::unreadable);
    EXPECT_EQ(found.results[1].errnoValue, ENOENT);
    EXPECT_TRUE(found.results[1].path.ends_with("b.txt"));
    EXPECT_EQ(found.results[2].status, Status::unreadable);
    EXPECT_TRUE(found.results[2].path.ends_with("c.txt"));
    EXPECT_EQ(found.results[3].status, superuser ? Status::searched : Status::unreadable);
    EXPECT_EQ(found.summary->problems, superuser ? 2 : 3);
}

/// The reference: every file the walker yields, read whole, decoded and searched alone.
std::vector<FileSearchResult> sequentialReference(const SearchPattern& pattern,
                                                  const std::string& root, std::int64_t limit,
                                                  bool& truncated) {
    std::vector<FileSearchResult> results;
    FolderWalker walker({root}, {});
    std::int64_t total = 0;
    truncated = false;
    while (auto entry = walker.next()) {
        if (total >= limit) {
            truncated = true;
            break;
        }
        const DecodedText decoded = TextFileCodec::decode(test::readFileBytes(entry->path));
        FileSearchResult result;
        result.path = entry->path;
        if (decoded.isBinary) {
            result.status = Status::binary;
            results.push_back(std::move(result));
            continue;
        }
        const SearchDocument document(Uuid{}, std::u16string_view(decoded.text));
        auto found = MultiDocumentSearch::search(pattern, std::span(&document, 1), limit - total,
                                                 SearchBudget::unlimited());
        for (const SearchHit& hit : found->hits)
            result.hits.push_back(
                {hit.line, hit.column, hit.range.length, hit.preview, hit.previewColumn});
        result.truncated = found->truncated;
        truncated = truncated || found->truncated;
        total += static_cast<std::int64_t>(result.hits.size());
        if (!result.hits.empty())
            results.push_back(std::move(result));
    }
    return results;
}

TEST(FolderSearchTest, ParallelRunsEqualASequentialSearchOverRandomTrees) {
    // Queries searched in the bytes, in the bytes of ASCII files only ("sik", which the
    // dotless i and the long s match too) and in the decoded text.
    const char* fragments[] = {"needle ",
                               "NEEDLE",
                               "Needle\r\n",
                               "ne\xC4\xB0"
                               "dle ",
                               "x\n",
                               "\xC3\xA7ok ",
                               "\t\tneedle()\n",
                               "nee dle\r",
                               "SIK",
                               "sik\n",
                               "s\xC4\xB1k ",
                               "\xC5\xBFik"};
    std::mt19937 random(7);
    for (int round = 0; round < 12; ++round) {
        test::TempDir dir;
        const int files = 20 + static_cast<int>(random() % 30);
        for (int f = 0; f < files; ++f) {
            std::string path;
            for (unsigned depth = random() % 4; depth > 0; --depth)
                path += "d" + std::to_string(random() % 3) + "/";
            path += "f" + std::to_string(f) + (random() % 5 == 0 ? ".log" : ".txt");
            std::string bytes;
            for (unsigned n = random() % 40; n > 0; --n)
                bytes += fragments[random() % std::size(fragments)];
            switch (random() % 6) {
            case 0: // Windows-1254 instead of UTF-8
                for (char& c : bytes)
                    if (static_cast<unsigned char>(c) >= 0x80)
                        c = '\xF0';
                break;
            case 1:
                bytes += std::string("\0\0\0", 3); // binary
                break;
            default:
                break;
            }
            write(dir.path() / path, bytes);
        }
        write(dir.path() / "d1" / ".ignore", "*.log\n");
        for (const char* query : {"needle", "NEEDLE", "sik", "n.edle"}) {
            const SearchPattern pattern = compile(query, query[0] == 'N', query[1] == '.');
            for (std::int64_t limit :
                 {std::int64_t{10'000}, static_cast<std::int64_t>(1 + random() % 40)}) {
                bool truncated = false;
                std::vector<FileSearchResult> reference =
                    sequentialReference(pattern, dir.path().string(), limit, truncated);
                for (unsigned workers : {1u, 4u}) {
                    FolderSearchOptions options;
                    options.limit = limit;
                    options.workerCount = workers;
                    Collected found = searchFolder(pattern, {dir.path().string()}, options);
                    ASSERT_TRUE(found.summary.has_value());
                    // The reference stops at the limit; a cut file is marked in both.
                    EXPECT_EQ(found.results, reference)
                        << "round " << round << ", limit " << limit << ", " << workers;
                    EXPECT_EQ(found.summary->truncated, truncated);
                }
            }
        }
    }
}

TEST(FolderSearchTest, StopsOnCancellationAndTimeout) {
    test::TempDir dir;
    for (int i = 0; i < 50; ++i)
        write(dir.path() / ("f" + std::to_string(i)), std::string(1000, 'a') + "\n");
    auto token = std::make_shared<SearchCancellation>();
    std::int64_t seen = 0;
    FolderSearchOptions options;
    options.workerCount = 3;
    options.limit = 1'000'000;
    Collected cancelled = searchFolder(compile("a"), {dir.path().string()}, options,
                                       SearchBudget(1e9, token), [&](const FileSearchResult&) {
                                           if (++seen == 2)
                                               token->cancel();
                                       });
    ASSERT_FALSE(cancelled.summary.has_value());
    EXPECT_EQ(cancelled.summary.error().kind, SearchFailure::Kind::cancelled);
    EXPECT_EQ(seen, 2); // nothing reported after the cancel

    Collected late =
        searchFolder(compile("a"), {dir.path().string()}, options, SearchBudget(-1, nullptr));
    ASSERT_FALSE(late.summary.has_value());
    EXPECT_EQ(late.summary.error().kind, SearchFailure::Kind::timedOut);
}

} // namespace
} // namespace vendrix
