#include "core/files/IgnoreRules.h"

#include <gtest/gtest.h>

namespace vendrix {
namespace {

using Decision = IgnoreRules::Decision;

struct IgnoreCase {
    const char* name;
    const char* rules; // an ignore file's text
    const char* path;  // relative to the ignore file's folder
    bool isDir;
    Decision expected;
};

const IgnoreCase kIgnoreCases[] = {
    {"name matches at any depth", "*.o\n", "src/deep/main.o", false, Decision::ignore},
    {"star stays within a name", "src*.c\n", "src/a.c", false, Decision::none},
    {"no match", "*.o\n", "main.c", false, Decision::none},
    {"comment is no pattern", "#*.c\n", "#x.c", false, Decision::none},
    {"escaped hash", "\\#*.c\n", "#x.c", false, Decision::ignore},
    {"escaped bang", "\\!important\n", "!important", false, Decision::ignore},
    {"trailing spaces dropped", "build   \n", "build", true, Decision::ignore},
    {"escaped trailing space kept", "name\\ \n", "name ", false, Decision::ignore},
    {"escaped trailing space needs it", "name\\ \n", "name", false, Decision::none},
    {"CR LF lines", "*.log\r\nkeep\r\n", "a/b.log", false, Decision::ignore},
    {"folder-only pattern skips files", "build/\n", "build", false, Decision::none},
    {"folder-only pattern takes folders", "build/\n", "x/build", true, Decision::ignore},
    {"leading slash anchors", "/top.txt\n", "sub/top.txt", false, Decision::none},
    {"leading slash anchors at its folder", "/top.txt\n", "top.txt", false, Decision::ignore},
    {"middle slash anchors", "doc/*.md\n", "x/doc/a.md", false, Decision::none},
    {"middle slash anchored match", "doc/*.md\n", "doc/a.md", false, Decision::ignore},
    {"star never crosses a slash", "doc/*.md\n", "doc/sub/a.md", false, Decision::none},
    {"leading double star", "**/cache\n", "a/b/cache", true, Decision::ignore},
    {"leading double star at top", "**/cache\n", "cache", true, Decision::ignore},
    {"middle double star spans folders", "a/**/z\n", "a/b/c/z", false, Decision::ignore},
    {"middle double star spans none", "a/**/z\n", "a/z", false, Decision::ignore},
    {"trailing double star is inside", "out/**\n", "out/x/y", false, Decision::ignore},
    {"trailing double star not the folder", "out/**\n", "out", true, Decision::none},
    {"double star in a name is a star", "a**b\n", "a/xb", false, Decision::none},
    {"question mark", "?.c\n", "x.c", false, Decision::ignore},
    {"question mark takes one character", "?.c\n", "xy.c", false, Decision::none},
    {"question mark takes a UTF-8 character", "?.c\n", "\xC4\x9F.c", false, Decision::ignore},
    {"class", "[abc].txt\n", "b.txt", false, Decision::ignore},
    {"class range", "file[0-9]\n", "file7", false, Decision::ignore},
    {"negated class", "file[!0-9]\n", "file7", false, Decision::none},
    {"caret negated class", "file[^0-9]\n", "filex", false, Decision::ignore},
    {"unclosed bracket is literal", "a[b\n", "a[b", false, Decision::ignore},
    {"negation re-includes", "*.log\n!keep.log\n", "keep.log", false, Decision::include},
    {"last match wins", "!keep.log\n*.log\n", "keep.log", false, Decision::ignore},
    {"negation of another name", "*.log\n!keep.log\n", "other.log", false, Decision::ignore},
    {"negated folder-only", "*\n!*/\n", "sub", true, Decision::include},
    {"negated folder-only leaves files", "*\n!*/\n", "file", false, Decision::ignore},
    {"blank lines only", "\n\n   \n", "x", false, Decision::none},
};

TEST(IgnorePatternTest, DecidesAsGitDoes) {
    for (const IgnoreCase& c : kIgnoreCases) {
        const IgnoreRules rules = IgnoreRules::parse(c.rules);
        EXPECT_EQ(rules.decide(c.path, c.isDir), c.expected) << c.name;
    }
}

} // namespace
} // namespace vendrix
