#include "core/files/FolderWalker.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace vendrix {
namespace {

namespace fs = std::filesystem;

/// A tree with every kind of thing a walk must skip or take: hidden names, a git work tree
/// with nested .gitignore files (one re-including what its parent excludes), an .ignore
/// file above the walked folder, .git/info/exclude, symbolic links (one a loop), and a folder
/// outside any git tree whose .gitignore must not count.
class WalkTree {
public:
    WalkTree() {
        const fs::path& top = m_dir.path();
        write(top / ".ignore", "from-above.txt\n");
        const fs::path work = top / "work";
        fs::create_directories(work / ".git" / "info");
        write(work / ".git" / "info" / "exclude", "excluded.txt\n");
        write(work / ".git" / "HEAD", "ref\n");
        write(work / ".gitignore", "*.log\nbuild/\n!important.log\n/anchored.txt\n");
        write(work / ".hidden" / "secret.txt", "x");
        write(work / ".dotfile", "x");
        for (const char* name : {"a.txt", "anchored.txt", "debug.log", "excluded.txt",
                                 "from-above.txt", "important.log", "build/out.txt"})
            write(work / name, "x");
        write(work / "src" / ".gitignore", "!debug.log\n*.tmp\n");
        for (const char* name : {"anchored.txt", "debug.log", "x.tmp", "z.c", "sub/y.c", "sub/z.c"})
            write(work / "src" / name, "x");
        write(work / "src" / "sub" / ".ignore", "z.c\n");
        fs::create_directory_symlink(work, work / "loop");
        fs::create_symlink(work / "a.txt", work / "link.txt");
        const fs::path plain = top / "plain";
        write(plain / ".gitignore", "*.txt\n");
        write(plain / ".ignore", "*.md\n");
        write(plain / "a.txt", "x");
        write(plain / "b.md", "x");
    }

    std::string path(const char* relative) const { return (m_dir.path() / relative).string(); }

    /// The paths (relative to the temp folder) and kinds a walk of `roots` yields.
    std::vector<std::string> walk(std::vector<std::string> roots, FolderWalkOptions options) const {
        for (std::string& root : roots)
            root = path(root.c_str());
        FolderWalker walker(roots, std::move(options));
        std::vector<std::string> seen;
        const std::string prefix = m_dir.path().string() + "/";
        while (auto entry = walker.next()) {
            std::string name = entry->path.substr(prefix.size());
            if (entry->kind == WalkEntry::Kind::linkLoop)
                name += " (loop)";
            if (entry->kind == WalkEntry::Kind::unreadable)
                name += " (unreadable)";
            seen.push_back(name);
        }
        return seen;
    }

private:
    static void write(const fs::path& path, std::string_view bytes) {
        fs::create_directories(path.parent_path());
        test::writeFileBytes(path, bytes);
    }
    test::TempDir m_dir;
};

using Paths = std::vector<std::string>;

TEST(FolderWalkerTest, HonoursIgnoreFilesHiddenNamesAndLinks) {
    const WalkTree tree;
    EXPECT_EQ(tree.walk({"work"}, {}),
              (Paths{"work/a.txt", "work/important.log", "work/src/anchored.txt",
                     "work/src/debug.log", "work/src/sub/y.c", "work/src/z.c"}));

    FolderWalkOptions hidden;
    hidden.includeHidden = true;
    EXPECT_EQ(
        tree.walk({"work"}, hidden),
        (Paths{"work/.dotfile", "work/.gitignore", "work/.hidden/secret.txt", "work/a.txt",
               "work/important.log", "work/src/.gitignore", "work/src/anchored.txt",
               "work/src/debug.log", "work/src/sub/.ignore", "work/src/sub/y.c", "work/src/z.c"}));

    FolderWalkOptions noIgnore;
    noIgnore.ignoreFilesOff = true;
    EXPECT_EQ(tree.walk({"work"}, noIgnore),
              (Paths{"work/a.txt", "work/anchored.txt", "work/build/out.txt", "work/debug.log",
                     "work/excluded.txt", "work/from-above.txt", "work/important.log",
                     "work/src/anchored.txt", "work/src/debug.log", "work/src/sub/y.c",
                     "work/src/sub/z.c", "work/src/x.tmp", "work/src/z.c"}));

    // Following links: the file link is taken, the link back to the walked folder is
    // reported once instead of walked forever.
    FolderWalkOptions follow;
    follow.followLinks = true;
    EXPECT_EQ(tree.walk({"work/src/sub", "work"}, follow),
              (Paths{"work/src/sub/y.c", "work/a.txt", "work/important.log", "work/link.txt",
                     "work/loop (loop)", "work/src/anchored.txt", "work/src/debug.log",
                     "work/src/sub/y.c", "work/src/z.c"}));

    // Outside a git tree .gitignore does not count; .ignore does.
    EXPECT_EQ(tree.walk({"plain"}, {}), (Paths{"plain/a.txt"}));
}

TEST(FolderWalkerTest, GlobsAndPathsGiven) {
    const WalkTree tree;
    FolderWalkOptions cFiles;
    cFiles.globs = {"*.c", "!sub/"};
    EXPECT_EQ(tree.walk({"work"}, cFiles), (Paths{"work/src/z.c"}));

    // A glob that asks for a file wins over the ignore files; an excluding one over both.
    FolderWalkOptions logs;
    logs.globs = {"*.log", "!src/debug.log"};
    EXPECT_EQ(tree.walk({"work"}, logs), (Paths{"work/debug.log", "work/important.log"}));

    // A file named is searched whatever the rules say; a missing path is reported.
    EXPECT_EQ(tree.walk({"work/debug.log", "work/missing", "work/.dotfile"}, {}),
              (Paths{"work/debug.log", "work/missing (unreadable)", "work/.dotfile"}));
}

TEST(FolderWalkerTest, ReportsAFolderItCannotList) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop the superuser";
    const WalkTree tree;
    fs::permissions(tree.path("work/src/sub"), fs::perms::none);
    const Paths seen = tree.walk({"work"}, {});
    fs::permissions(tree.path("work/src/sub"), fs::perms::owner_all);
    EXPECT_EQ(seen, (Paths{"work/a.txt", "work/important.log", "work/src/anchored.txt",
                           "work/src/debug.log", "work/src/sub (unreadable)", "work/src/z.c"}));
}

} // namespace
} // namespace vendrix
