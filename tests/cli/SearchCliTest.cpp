#include "core/search/SearchPattern.h"
#include "support/CliRunner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace vendrix {
namespace {

using test::CliRun;

const test::CliRunner cli{VENDRIX_CLI_PATH};

TEST(SearchCliTest, FindPrintsHitsOfAllFiles) {
    test::TempDir dir;
    const std::string a = (dir.path() / "a.txt").string();
    const std::string b = (dir.path() / "b.txt").string();
    test::writeFileBytes(a, "int count = 0;\r\n\tcount++; // count\r\n");
    test::writeFileBytes(b, "ISTANBUL \xC4\xB0stanbul\ncounter\n");

    CliRun find = cli.runArguments({"find", "count", a, b});
    EXPECT_EQ(find.status, 0) << find.err;
    EXPECT_EQ(find.out, a + ":1:5: int count = 0;\n" + a + ":2:2: count++; // count\n" + a +
                            ":2:14: count++; // count\n" + b + ":2:1: counter\n4 hits\n");

    CliRun whole = cli.runArguments({"find", "--whole-word", "--limit", "2", "count", a, b});
    EXPECT_EQ(whole.status, 0);
    EXPECT_TRUE(whole.out.ends_with(":2:2: count++; // count\n2 hits (truncated)\n")) << whole.out;

    CliRun turkish = cli.runArguments({"find", "istanbul", b});
    EXPECT_EQ(turkish.out, b + ":1:1: ISTANBUL \xC4\xB0stanbul\n" + b +
                               ":1:10: ISTANBUL \xC4\xB0stanbul\n2 hits\n");
    CliRun matchCase = cli.runArguments({"find", "--match-case", "istanbul", b});
    EXPECT_EQ(matchCase.out, "0 hits\n");

    // Latin-1 bytes that are not UTF-8 still decode.
    const std::string latin = (dir.path() / "latin.txt").string();
    test::writeFileBytes(latin, "caf\xE9 au lait\n");
    CliRun latinFind = cli.runArguments({"find", "--regex", "caf.", latin});
    EXPECT_EQ(latinFind.out, latin + ":1:1: caf\xC3\xA9 au lait\n1 hits\n");
}

TEST(SearchCliTest, FindReportsBadPatternsAndTimeouts) {
    test::TempDir dir;
    const std::string file = (dir.path() / "slow.txt").string();
    test::writeFileBytes(file, std::string(40, 'a') + "b\n");

    CliRun invalid = cli.runArguments({"find", "--regex", "--whole-word", "a)|(b", file});
    EXPECT_EQ(invalid.status, 1);
    EXPECT_NE(invalid.err.find("a)|(b"), std::string::npos) << invalid.err;
    EXPECT_EQ(invalid.out, "");
    CliRun empty = cli.runArguments({"find", "", file});
    EXPECT_EQ(empty.status, 1);
    EXPECT_FALSE(empty.err.empty());
    CliRun timedOut = cli.runArguments({"find", "--regex", "--timeout", "0.2", "(a+)+$", file});
    EXPECT_EQ(timedOut.status, 3);
    EXPECT_NE(timedOut.err.find("timedOut"), std::string::npos) << timedOut.err;
    CliRun missing = cli.runArguments({"find", "x", (dir.path() / "missing.txt").string()});
    EXPECT_EQ(missing.status, 1);
    CliRun usage = cli.runArguments({"find", "x"});
    EXPECT_EQ(usage.status, 2);
}

TEST(SearchCliTest, ReplaceRewritesTheFileInItsOwnForm) {
    test::TempDir dir;
    const std::string file = (dir.path() / "in.txt").string();
    test::writeFileBytes(file, "a1 b2\r\nc3 $x\r\n");

    CliRun swapped = cli.runArguments({"replace", "--regex", "(\\w)(\\d)", "$2$1", file});
    EXPECT_EQ(swapped.status, 0) << swapped.err;
    EXPECT_EQ(swapped.out, "1a 2b\r\n3c $x\r\n");
    EXPECT_EQ(swapped.err, "3 replacements\n");

    // A plain replacement is inserted literally, "$" and backslashes included.
    CliRun literal = cli.runArguments({"replace", "$x", "cost $1\\", file});
    EXPECT_EQ(literal.out, "a1 b2\r\nc3 cost $1\\\r\n");

    const std::string out = (dir.path() / "out.txt").string();
    CliRun limited =
        cli.runArguments({"replace", "--regex", "--limit", "1", "\\d", "#", file, "-o", out});
    EXPECT_EQ(limited.status, 0);
    EXPECT_EQ(limited.out, "");
    EXPECT_EQ(limited.err, "1 replacements (truncated)\n");
    EXPECT_EQ(test::readFileBytes(out), "a# b2\r\nc3 $x\r\n");

    // Latin-1 stays Latin-1; a result it cannot hold is refused and nothing is written.
    const std::string latin = (dir.path() / "latin.txt").string();
    test::writeFileBytes(latin, "caf\xE9\n");
    CliRun keptLatin = cli.runArguments({"replace", "caf", "CAF", latin});
    EXPECT_EQ(keptLatin.out, "CAF\xE9\n");
    CliRun unencodable = cli.runArguments({"replace", "caf", "\xC4\x9F", latin, "-o", latin});
    EXPECT_EQ(unencodable.status, 1);
    EXPECT_EQ(test::readFileBytes(latin), "caf\xE9\n");
}

TEST(SearchCliTest, FilesAreReadAndWrittenInTheirDetectedEncoding) {
    test::TempDir dir;
    // "aş\r\n" in Windows-1254, and "a\r\n" in UTF-16 LE with its byte order mark.
    const std::string turkish = (dir.path() / "turkish.txt").string();
    test::writeFileBytes(turkish, "a\xFE\r\n");
    const std::string wide = (dir.path() / "wide.txt").string();
    test::writeFileBytes(wide, std::string("\xFF\xFE"
                                           "a\0\r\0\n\0",
                                           8));

    CliRun found = cli.runArguments({"find", "\xC5\x9F", turkish, wide});
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(found.out, turkish + ":1:2: a\xC5\x9F\n1 hits\n");

    CliRun turkishOut = cli.runArguments({"replace", "\xC5\x9F", "\xC4\x9F", turkish});
    EXPECT_EQ(turkishOut.status, 0) << turkishOut.err;
    EXPECT_EQ(turkishOut.out, "a\xF0\r\n");
    CliRun wideOut = cli.runArguments({"replace", "a", "\xC4\x9F", wide});
    EXPECT_EQ(wideOut.status, 0) << wideOut.err;
    EXPECT_EQ(wideOut.out, std::string("\xFF\xFE\x1F\x01\r\0\n\0", 8));

    // A Cyrillic letter does not fit Windows-1254: refused, and the file is left alone.
    CliRun refused = cli.runArguments({"replace", "a", "\xD0\x96", turkish, "-o", turkish});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("windows-1254"), std::string::npos) << refused.err;
    EXPECT_EQ(test::readFileBytes(turkish), "a\xFE\r\n");
}

// A plain query over UTF-8 files is searched in their bytes; the same query as an escaped
// regular expression goes through the decoded text. Both must print the same.
TEST(SearchCliTest, FindOnUtf8BytesPrintsWhatTheDecodedSearchPrints) {
    test::TempDir dir;
    std::vector<std::string> files;
    for (const char* name : {"utf8.txt", "utf8-bom.txt", "mixed-endings.txt", "latin1.txt"})
        files.push_back(test::dataPath(std::string("text/") + name).string());
    // Generated files: every line break form, a byte order mark, tabs before the hits, a
    // line far longer than a preview, four-byte characters before hits, and a file large
    // enough to be mapped.
    std::mt19937 rng(19);
    const char* pieces[] = {"two", "Two", "t", "w", "o", " ", "\t", "\r\n", "\n", "\r",
                            "\xC3\xBC", "\xC4\xB1", "\xF0\x9F\x98\x80", "_two"};
    for (int f = 0; f < 3; ++f) {
        std::string bytes = f == 1 ? "\xEF\xBB\xBF" : "";
        for (int i = 0; i < 3000; ++i)
            bytes += pieces[rng() % std::size(pieces)];
        bytes += std::string(500, 'x') + "two" + std::string(500, 'y') + "\n";
        if (f == 2) // large enough to be mapped rather than read
            for (int i = 0; i < 40'000; ++i)
                bytes += i % 1000 == 0 ? "a two\r\n" : "lorem ipsum dolor\r\n";
        files.push_back((dir.path() / ("generated" + std::to_string(f) + ".txt")).string());
        test::writeFileBytes(files.back(), bytes);
    }
    struct Case {
        std::vector<std::string> options;
        std::string query;
    };
    const Case cases[] = {
        {{}, "two"},
        {{"--match-case"}, "Two"},
        {{"--whole-word"}, "two"},
        {{"--limit", "3"}, "two"},
        {{"--limit", "0"}, "two"},
        {{"--match-case", "--whole-word"}, "\xC3\xBC"},
        {{"--match-case"}, "\xF0\x9F\x98\x80 and"},
        {{}, "wo"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> plain{"find"};
        plain.insert(plain.end(), c.options.begin(), c.options.end());
        std::vector<std::string> regex = plain;
        regex.push_back("--regex");
        plain.push_back(c.query);
        regex.push_back(test::u8(SearchPattern::escapedPattern(test::u16(c.query))));
        plain.insert(plain.end(), files.begin(), files.end());
        regex.insert(regex.end(), files.begin(), files.end());
        CliRun bytes = cli.runArguments(plain);
        CliRun decoded = cli.runArguments(regex);
        EXPECT_EQ(bytes.status, 0) << bytes.err;
        EXPECT_EQ(bytes.out, decoded.out) << c.query;
        EXPECT_NE(bytes.out.find(" hits"), std::string::npos);
    }
}

TEST(SearchCliTest, FindWalksFoldersWithTheirIgnoreRules) {
    test::TempDir dir;
    const std::filesystem::path& root = dir.path();
    std::filesystem::create_directories(root / ".git");
    std::filesystem::create_directories(root / ".h");
    std::filesystem::create_directories(root / "sub");
    test::writeFileBytes(root / ".gitignore", "*.log\n");
    test::writeFileBytes(root / "a.txt", "word one\n");
    test::writeFileBytes(root / "b.log", "word\n");
    test::writeFileBytes(root / ".h" / "c.txt", "word\n");
    test::writeFileBytes(root / "sub" / "d.txt", "two words\n");
    test::writeFileBytes(root / "sub" / "e.c", "word\n");
    test::writeFileBytes(root / "big.txt", std::string(2990, 'x') + "word\n");
    const std::string r = root.string();

    CliRun plain = cli.runArguments({"find", "word", r + "/"});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, r + "/a.txt:1:1: word one\n" + r + "/big.txt:1:2991: \xE2\x80\xA6" +
                             std::string(196, 'x') + "word\n" + r + "/sub/d.txt:1:5: two words\n" +
                             r + "/sub/e.c:1:1: word\n4 hits\n");
    EXPECT_EQ(plain.err, "");

    CliRun small = cli.runArguments({"find", "--max-filesize", "1K", "word", r});
    EXPECT_EQ(small.status, 0);
    EXPECT_TRUE(small.out.ends_with("\n3 hits\n")) << small.out;
    EXPECT_NE(small.err.find("1 file over the size limit skipped"), std::string::npos) << small.err;

    CliRun everything =
        cli.runArguments({"find", "--hidden", "--no-ignore", "--limit", "5", "word", r});
    EXPECT_EQ(everything.out.substr(0, everything.out.find('\n')), r + "/.h/c.txt:1:1: word");
    EXPECT_TRUE(everything.out.ends_with(r + "/sub/d.txt:1:5: two words\n5 hits (truncated)\n"))
        << everything.out;

    CliRun globs = cli.runArguments(
        {"find", "--glob", "*.txt", "--glob=!sub/**", "--glob", "*.c", "word", r, r + "/b.log"});
    EXPECT_EQ(globs.out, r + "/a.txt:1:1: word one\n" + r + "/big.txt:1:2991: \xE2\x80\xA6" +
                             std::string(196, 'x') + "word\n" + r + "/sub/e.c:1:1: word\n" + r +
                             "/b.log:1:1: word\n4 hits\n");

    std::filesystem::create_directory_symlink(root, root / "sub" / "up");
    CliRun follow = cli.runArguments({"find", "--follow", "word", r + "/sub"});
    EXPECT_EQ(follow.status, 0);
    EXPECT_TRUE(follow.out.ends_with(r + "/sub/up/big.txt:1:2991: \xE2\x80\xA6" +
                                     std::string(196, 'x') + "word\n4 hits\n"))
        << follow.out;
    EXPECT_NE(follow.err.find(r + "/sub/up/sub: symbolic link back"), std::string::npos);
    EXPECT_EQ(cli.runArguments({"find", "word", r}).err, "");
    CliRun loop = cli.runArguments({"find", "--follow", "word", r});
    EXPECT_TRUE(loop.out.ends_with("\n4 hits\n")) << loop.out;
    EXPECT_NE(loop.err.find(r + "/sub/up: symbolic link back"), std::string::npos) << loop.err;

    CliRun missing = cli.runArguments({"find", "word", r, r + "/nothing"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find(r + "/nothing"), std::string::npos);
    EXPECT_EQ(cli.runArguments({"find", "--max-filesize", "lots", "word", r}).status, 2);
    EXPECT_EQ(cli.runArguments({"find", "word", r, "--glob"}).status, 2);
}

} // namespace
} // namespace vendrix
