#include "core/files/FolderWalker.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>

namespace vendrix {

namespace {

std::string joined(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool isVersionControlFolder(const std::string& name) {
    return name == ".git" || name == ".hg" || name == ".svn";
}

/// The user's globs as rules: "GLOB" asks for what it matches, "!GLOB" excludes it.
IgnoreRules globRules(const std::vector<std::string>& globs) {
    IgnoreRules rules;
    for (const std::string& glob : globs) {
        std::string line;
        if (glob.starts_with('!'))
            line = glob.substr(1);
        else
            line = "!" + glob;
        // A glob is never a comment.
        if (line.starts_with('#'))
            line.insert(0, "\\");
        if (auto pattern = IgnorePattern::parse(line))
            rules.add(std::move(*pattern));
    }
    return rules;
}

} // namespace

FolderWalker::FolderWalker(std::vector<std::string> roots, FolderWalkOptions options)
    : m_roots(std::move(roots)), m_options(std::move(options)) {
    // Globs decide the other way round from ignore files: a negated glob line ("!" added
    // above) asks for files, a plain one excludes.
    m_globs = globRules(m_options.globs);
    for (const std::string& glob : m_options.globs)
        if (!glob.starts_with('!'))
            m_globsAskForFiles = true;
}

FolderWalker::~FolderWalker() = default;

void FolderWalker::loadAncestorRules(const std::string& root) {
    m_levels.clear();
    m_rootInGitTree = false;
    if (m_options.ignoreFilesOff)
        return;
    std::error_code error;
    const std::filesystem::path absolute =
        std::filesystem::absolute(root, error).lexically_normal();
    if (error)
        return;
    // The folders above the root, outermost first, each with the path from it to the root.
    std::vector<std::pair<std::string, std::string>> ancestors;
    std::filesystem::path below;
    for (std::filesystem::path at = absolute; at.has_relative_path();) {
        const std::filesystem::path name = at.filename();
        at = at.parent_path();
        if (name.empty())
            continue;
        below = below.empty() ? name : name / below;
        ancestors.emplace_back(at.string(), below.string());
    }
    std::reverse(ancestors.begin(), ancestors.end());
    std::size_t gitRoot = ancestors.size();
    if (exists(joined(absolute.string(), ".git")))
        m_rootInGitTree = true;
    for (std::size_t i = ancestors.size(); i-- > 0;)
        if (exists(joined(ancestors[i].first, ".git"))) {
            gitRoot = i;
            m_rootInGitTree = true;
            break;
        }
    for (std::size_t i = 0; i < ancestors.size(); ++i) {
        Level level;
        level.prepend = ancestors[i].second + "/";
        const std::string& folder = ancestors[i].first;
        level.rules.push_back(IgnoreRules::readFile(joined(folder, ".ignore")));
        if (i >= gitRoot && gitRoot < ancestors.size()) {
            level.rules.push_back(IgnoreRules::readFile(joined(folder, ".gitignore")));
            if (i == gitRoot)
                level.rules.push_back(IgnoreRules::readFile(joined(folder, ".git/info/exclude")));
        }
        std::erase_if(level.rules, [](const IgnoreRules& rules) { return rules.empty(); });
        if (!level.rules.empty())
            m_levels.push_back(std::move(level));
    }
}

void FolderWalker::startRoot(const std::string& root) {
    loadAncestorRules(root);
}

std::optional<WalkEntry> FolderWalker::enterFolder(std::string path, std::string relative,
                                                   bool inGitTree) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return WalkEntry{WalkEntry::Kind::unreadable, std::move(path), errno};
    struct stat info {};
    if (::fstat(::dirfd(dir), &info) == 0) {
        const std::pair<dev_t, ino_t> identity{info.st_dev, info.st_ino};
        for (const Frame& frame : m_stack)
            if (frame.identity == identity) {
                ::closedir(dir);
                return WalkEntry{WalkEntry::Kind::linkLoop, std::move(path), ELOOP};
            }
    }
    Frame frame;
    frame.identity = {info.st_dev, info.st_ino};
    bool hasGit = false, hasGitignore = false, hasIgnore = false;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        hasGit = hasGit || name == ".git";
        hasGitignore = hasGitignore || name == ".gitignore";
        hasIgnore = hasIgnore || name == ".ignore";
        frame.children.push_back(Child{std::string(name), entry->d_type});
    }
    const int listingError = errno;
    ::closedir(dir);
    if (listingError != 0)
        return WalkEntry{WalkEntry::Kind::unreadable, std::move(path), listingError};
    std::sort(frame.children.begin(), frame.children.end(),
              [](const Child& a, const Child& b) { return a.name < b.name; });
    frame.inGitTree = inGitTree || hasGit;
    if (!m_options.ignoreFilesOff) {
        Level level;
        level.strip = relative.empty() ? 0 : relative.size() + 1;
        if (hasIgnore)
            level.rules.push_back(IgnoreRules::readFile(joined(path, ".ignore")));
        if (frame.inGitTree && hasGitignore)
            level.rules.push_back(IgnoreRules::readFile(joined(path, ".gitignore")));
        if (hasGit)
            level.rules.push_back(IgnoreRules::readFile(joined(path, ".git/info/exclude")));
        std::erase_if(level.rules, [](const IgnoreRules& rules) { return rules.empty(); });
        if (!level.rules.empty()) {
            m_levels.push_back(std::move(level));
            frame.hasLevel = true;
        }
    }
    frame.path = std::move(path);
    frame.relative = std::move(relative);
    m_stack.push_back(std::move(frame));
    return std::nullopt;
}

IgnoreRules::Decision FolderWalker::ignoreDecision(const std::string& relative, bool isDir) const {
    for (auto level = m_levels.rbegin(); level != m_levels.rend(); ++level) {
        const std::string path =
            level->prepend + (level->strip <= relative.size() ? relative.substr(level->strip) : "");
        for (const IgnoreRules& rules : level->rules)
            if (auto decision = rules.decide(path, isDir); decision != IgnoreRules::Decision::none)
                return decision;
    }
    return IgnoreRules::Decision::none;
}

bool FolderWalker::accepted(const std::string& name, const std::string& relative,
                            bool isDir) const {
    if (isVersionControlFolder(name))
        return false;
    if (!m_options.includeHidden && name.starts_with('.'))
        return false;
    if (!m_globs.empty()) {
        // The glob rules hold the user's globs inverted (see globRules).
        switch (m_globs.decide(relative, isDir)) {
        case IgnoreRules::Decision::ignore:
            return false;
        case IgnoreRules::Decision::include:
            return true;
        case IgnoreRules::Decision::none:
            if (!isDir && m_globsAskForFiles)
                return false;
            break;
        }
    }
    return m_options.ignoreFilesOff ||
           ignoreDecision(relative, isDir) != IgnoreRules::Decision::ignore;
}

std::optional<WalkEntry> FolderWalker::next() {
    for (;;) {
        if (m_stack.empty()) {
            if (m_nextRoot >= m_roots.size())
                return std::nullopt;
            const std::string root = m_roots[m_nextRoot++];
            struct stat info {};
            if (::stat(root.c_str(), &info) != 0)
                return WalkEntry{WalkEntry::Kind::unreadable, root, errno};
            if (!S_ISDIR(info.st_mode))
                return WalkEntry{WalkEntry::Kind::file, root, 0};
            startRoot(root);
            if (auto problem = enterFolder(root, "", m_rootInGitTree))
                return problem;
            continue;
        }
        Frame& frame = m_stack.back();
        if (frame.next >= frame.children.size()) {
            if (frame.hasLevel)
                m_levels.pop_back();
            m_stack.pop_back();
            continue;
        }
        const Child& child = frame.children[frame.next++];
        std::string path = joined(frame.path, child.name);
        std::string relative = joined(frame.relative, child.name);
        unsigned char type = child.type;
        if (type == DT_UNKNOWN || (type == DT_LNK && m_options.followLinks)) {
            struct stat info {};
            const int looked =
                type == DT_LNK ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
            if (looked != 0)
                continue; // gone since the listing, or a dangling link
            type = S_ISDIR(info.st_mode)   ? DT_DIR
                   : S_ISREG(info.st_mode) ? DT_REG
                   : S_ISLNK(info.st_mode) ? DT_LNK
                                           : DT_UNKNOWN;
        }
        if (type != DT_DIR && type != DT_REG)
            continue; // links not followed, FIFOs, sockets, devices
        const bool isDir = type == DT_DIR;
        if (!accepted(child.name, relative, isDir))
            continue;
        if (!isDir)
            return WalkEntry{WalkEntry::Kind::file, std::move(path), 0};
        const bool inGitTree = frame.inGitTree;
        if (auto problem = enterFolder(std::move(path), std::move(relative), inGitTree))
            return problem;
    }
}

} // namespace vendrix
