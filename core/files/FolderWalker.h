#pragma once

#include "core/files/IgnoreRules.h"

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vendrix {

/// Which files a folder walk yields.
struct FolderWalkOptions {
    /// Also files and folders whose names start with ".".
    bool includeHidden = false;
    /// Ignore files (.gitignore, .ignore, .git/info/exclude) are not read.
    bool ignoreFilesOff = false;
    /// Symbolic links are followed (a link back into a folder being walked is reported as a
    /// loop, never walked again); otherwise they are skipped.
    bool followLinks = false;
    /// Globs in the gitignore syntax, relative to the walked folder: a file must match one
    /// of the globs without "!" when there are such, and nothing matching a "!GLOB" is
    /// walked. The last matching glob decides, and a glob's decision wins over ignore files.
    std::vector<std::string> globs;
};

/// One thing a walk came across, in path order.
struct WalkEntry {
    enum class Kind {
        /// A regular file to search.
        file,
        /// A folder that could not be listed, or a path given that could not be looked at.
        unreadable,
        /// A symbolic link leading back into a folder being walked.
        linkLoop,
    };
    Kind kind = Kind::file;
    /// The path as given, with the names below it joined by "/".
    std::string path;
    /// The system's error number for `unreadable`.
    int errnoValue = 0;

    friend bool operator==(const WalkEntry&, const WalkEntry&) = default;
};

/// Walks the given paths in order: a file is yielded as it is (whatever the rules say), a
/// folder recursively with its entries sorted by name (bytewise), skipping hidden names
/// unless asked, always `.git`, `.hg` and `.svn`, and what ignore files exclude: `.ignore`
/// files anywhere, `.gitignore` files and `.git/info/exclude` inside a git work tree (a
/// folder with `.git`, the walked folder or one above it); ignore files in the folders above
/// the walked one count too. Deeper ignore files win over shallower ones, `.ignore` over
/// `.gitignore`. Holds only the listings of the folders on the current path. Not
/// thread-safe: one caller at a time.
class FolderWalker {
public:
    FolderWalker(std::vector<std::string> roots, FolderWalkOptions options);
    ~FolderWalker();
    FolderWalker(const FolderWalker&) = delete;
    FolderWalker& operator=(const FolderWalker&) = delete;

    /// The next entry, or none when the walk is over.
    [[nodiscard]] std::optional<WalkEntry> next();

private:
    struct Child {
        std::string name;
        unsigned char type; // DT_* from the listing
    };
    struct Level {
        std::vector<IgnoreRules> rules; // highest precedence first
        std::string prepend;            // path from the rules' folder to the walked root
        std::size_t strip = 0;          // bytes of the root-relative path above the folder
    };
    struct Frame {
        std::string path;
        std::string relative; // from the walked root; "" for the root
        std::vector<Child> children;
        std::size_t next = 0;
        bool inGitTree = false;
        bool hasLevel = false;
        std::pair<dev_t, ino_t> identity{};
    };

    void startRoot(const std::string& root);
    std::optional<WalkEntry> enterFolder(std::string path, std::string relative, bool inGitTree);
    void loadAncestorRules(const std::string& root);
    [[nodiscard]] IgnoreRules::Decision ignoreDecision(const std::string& relative,
                                                       bool isDir) const;
    [[nodiscard]] bool accepted(const std::string& name, const std::string& relative,
                                bool isDir) const;

    std::vector<std::string> m_roots;
    std::size_t m_nextRoot = 0;
    FolderWalkOptions m_options;
    IgnoreRules m_globs;
    bool m_globsAskForFiles = false;
    std::vector<Frame> m_stack;
    std::vector<Level> m_levels;
    bool m_rootInGitTree = false;
};

} // namespace vendrix
