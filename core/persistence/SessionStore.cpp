#include "core/persistence/SessionStore.h"

#include "core/persistence/PosixFiles.h"
#include "core/common/Utf8.h"
#include "core/text/AtomicFile.h"
#include "core/text/TextEncoding.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace vendrix {



namespace {

constexpr std::string_view bufferSuffix = ".txt";
constexpr unsigned fileMode = 0600;
constexpr unsigned directoryMode = 0700;

constexpr std::string_view primaryDamagedWarning =
    "session.json bozuk; session.json.corrupt olarak saklandı";
constexpr std::string_view primaryDamagedReadOnlyWarning = "session.json bozuk";
constexpr std::string_view loadedFromBackupWarning = "oturum session.json.bak'tan yüklendi";
constexpr std::string_view backupDamagedWarning = "session.json.bak bozuk";
constexpr std::string_view recoveredWarningSuffix = " buffer dosyası adsız sekme olarak kurtarıldı";

std::optional<Uuid> bufferUuid(std::string_view name) {
    if (!name.ends_with(bufferSuffix))
        return std::nullopt;
    return Uuid::parse(name.substr(0, name.size() - bufferSuffix.size()));
}

SessionStoreError fromAtomic(const AtomicFileError& error) {
    return SessionStoreError{error.operation, error.path, error.errnoValue};
}

/// The outcome of reading one session file.
struct SessionFileRead {
    enum class Status { absent, unreadable, damaged, good } status = Status::absent;
    SessionState state;
};

SessionFileRead readSessionFile(const std::filesystem::path& path) {
    auto bytes = posixFiles::readFile(path, /*followFinalLink=*/true);
    if (!bytes) {
        bool absent = bytes.error() == ENOENT || bytes.error() == ENOTDIR;
        return {absent ? SessionFileRead::Status::absent : SessionFileRead::Status::unreadable, {}};
    }
    auto state = SessionState::decodeJSON(*bytes);
    if (!state)
        return {SessionFileRead::Status::damaged, {}};
    return {SessionFileRead::Status::good, std::move(*state)};
}

/// The buffer file that a tab's `bufferFile` refers to, given the listing of "buffers": the
/// exact name when such an entry exists; otherwise, since a name read from a session may differ
/// from the file on disk in the letter case of its UUID, the regular file with the same UUID
/// (the newest one, then the smallest name, if several spellings exist).
std::optional<std::string>
resolveBufferName(std::string_view name, const std::vector<posixFiles::DirectoryEntry>& entries) {
    auto uuid = bufferUuid(name);
    if (!uuid)
        return std::nullopt;
    const posixFiles::DirectoryEntry* best = nullptr;
    for (const auto& entry : entries) {
        if (entry.name == name)
            return entry.name;
        if (!entry.isRegular || bufferUuid(entry.name) != uuid)
            continue;
        if (!best || entry.modifiedNanoseconds > best->modifiedNanoseconds ||
            (entry.modifiedNanoseconds == best->modifiedNanoseconds && entry.name < best->name))
            best = &entry;
    }
    return best ? std::optional<std::string>(best->name) : std::nullopt;
}

/// Adds a recovered untitled tab for every regular, validly named buffer file that no tab of
/// `state` refers to, oldest file first (equal times by name). Returns how many were added.
std::size_t adoptOrphanedBuffers(SessionState& state, const std::filesystem::path& buffers) {
    auto listing = posixFiles::listDirectory(buffers);
    if (!listing)
        return 0;
    std::unordered_set<std::string> referenced;
    std::unordered_set<Uuid> usedIDs;
    for (const SessionTab& tab : state.tabs) {
        usedIDs.insert(tab.id);
        if (tab.bufferFile)
            if (auto resolved = resolveBufferName(*tab.bufferFile, *listing))
                referenced.insert(*resolved);
    }
    std::vector<const posixFiles::DirectoryEntry*> orphans;
    for (const auto& entry : *listing)
        if (entry.isRegular && bufferUuid(entry.name) && !referenced.contains(entry.name))
            orphans.push_back(&entry);
    std::sort(orphans.begin(), orphans.end(), [](const auto* a, const auto* b) {
        if (a->modifiedNanoseconds != b->modifiedNanoseconds)
            return a->modifiedNanoseconds < b->modifiedNanoseconds;
        return a->name < b->name;
    });
    for (const auto* entry : orphans) {
        SessionTab tab;
        tab.id = *bufferUuid(entry->name);
        // Two spellings of one UUID, or a stale copy of a listed tab's buffer: the text is kept
        // under a tab of its own, which needs an identity of its own.
        while (!usedIDs.insert(tab.id).second)
            tab.id = Uuid::random();
        tab.bufferFile = entry->name;
        tab.encoding = TextEncoding::utf8;
        tab.lineEnding = LineEnding::lf;
        tab.isDirty = true;
        state.tabs.push_back(std::move(tab));
    }
    if (!state.selectedTabID && !state.tabs.empty())
        state.selectedTabID = state.tabs.front().id;
    return orphans.size();
}

void moveAside(const std::filesystem::path& from, const std::filesystem::path& to) {
    (void)::unlink(to.c_str());
    if (::rename(from.c_str(), to.c_str()) != 0)
        return;
    // Only a regular file is narrowed: chmod would follow a symbolic link to its target.
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        (void)::chmod(to.c_str(), fileMode);
}

} // namespace

// MARK: - Lifetime and directory

SessionStore::SessionStore(std::filesystem::path directory) : m_directory(std::move(directory)) {}

SessionStore::~SessionStore() {
    if (m_lockFD >= 0)
        ::close(m_lockFD);
}

std::expected<void, SessionStoreError> SessionStore::prepareDirectory() {
    struct stat info {};
    auto buffers = buffersURL();
    if (::lstat(buffers.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
        (void)::unlink(buffers.c_str());
    for (const auto& path : {m_directory, buffers}) {
        if (auto made = posixFiles::makeDirectories(path, directoryMode); !made)
            return std::unexpected(
                SessionStoreError{"mkdir", made.error().second, made.error().first});
        (void)::chmod(path.c_str(), directoryMode);
        posixFiles::tightenRegularFiles(path);
    }
    return {};
}

bool SessionStore::acquireLock() {
    if (m_lockFD >= 0)
        return true;
    int fd = ::open(lockURL().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, fileMode);
    if (fd < 0)
        return false;
    // flock belongs to the open file description, so a second store in this process, with a
    // descriptor of its own, is refused just like another process.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_lockFD = fd;
    return true;
}

// MARK: - Loading

SessionLoadResult SessionStore::load() {
    SessionLoadResult result = loadSession(/*mayChangeDisk=*/true);
    m_primaryIsGood = result.source == SessionLoadSource::primary;
    return result;
}

SessionLoadResult SessionStore::loadReadOnly() const {
    return loadSession(/*mayChangeDisk=*/false);
}

SessionLoadResult SessionStore::loadSession(bool mayChangeDisk) const {
    using Status = SessionFileRead::Status;
    SessionLoadResult result;
    auto finish = [&](SessionState state, SessionLoadSource source) {
        if (std::size_t adopted = adoptOrphanedBuffers(state, buffersURL()); adopted > 0)
            result.warnings.push_back(std::to_string(adopted) +
                                      std::string(recoveredWarningSuffix));
        if (source == SessionLoadSource::fresh && !state.tabs.empty())
            source = SessionLoadSource::recoveredBuffers;
        result.state = std::move(state);
        result.source = source;
        return result;
    };

    SessionFileRead primary = readSessionFile(sessionURL());
    if (primary.status == Status::good)
        return finish(std::move(primary.state), SessionLoadSource::primary);
    if (primary.status != Status::absent) {
        // A file that exists but cannot be read or decoded is set aside rather than left to be
        // overwritten by the next write; it may be all that remains of the session.
        if (mayChangeDisk) {
            result.warnings.emplace_back(primaryDamagedWarning);
            moveAside(sessionURL(), corruptURL());
        } else {
            result.warnings.emplace_back(primaryDamagedReadOnlyWarning);
        }
    }

    SessionFileRead backup = readSessionFile(backupURL());
    if (backup.status == Status::good) {
        result.warnings.emplace_back(loadedFromBackupWarning);
        return finish(std::move(backup.state), SessionLoadSource::backup);
    }
    if (backup.status != Status::absent)
        result.warnings.emplace_back(backupDamagedWarning);

    return finish(SessionState{}, SessionLoadSource::fresh);
}

// MARK: - Writing the session

std::expected<void, SessionStoreError> SessionStore::writeSession(const SessionState& state) {
    std::string bytes = state.encodedJSON();
    if (m_primaryIsGood) {
        // Rotate through a hard link: the backup is replaced in one rename by the very file
        // that was known good, never by a partial copy.
        auto link = backupURL();
        link += ".link";
        (void)::unlink(link.c_str());
        if (::link(sessionURL().c_str(), link.c_str()) == 0 &&
            ::rename(link.c_str(), backupURL().c_str()) != 0)
            (void)::unlink(link.c_str());
    }
    if (auto written = AtomicFile::write(bytes, sessionURL(), fileMode); !written)
        return std::unexpected(fromAtomic(written.error()));
    m_primaryIsGood = true;
    return {};
}

// MARK: - Buffers

std::string SessionStore::bufferName(const Uuid& id) {
    return id.uuidString() + std::string(bufferSuffix);
}

bool SessionStore::isValidBufferName(std::string_view name) {
    return bufferUuid(name).has_value();
}

std::expected<std::u16string, BufferReadError>
SessionStore::readBuffer(std::string_view name) const {
    return readBufferIn(buffersURL(), name);
}

std::expected<std::u16string, BufferReadError>
SessionStore::readBufferIn(const std::filesystem::path& buffers, std::string_view name) {
    using Kind = BufferReadError::Kind;
    if (!isValidBufferName(name))
        return std::unexpected(BufferReadError{Kind::unreadable, EINVAL});
    auto bytes = posixFiles::readFile(buffers / std::string(name), /*followFinalLink=*/false);
    if (!bytes && bytes.error() == ENOENT) {
        auto listing = posixFiles::listDirectory(buffers);
        if (!listing) {
            // No "buffers" directory at all means no buffer; anything else is a failure to look.
            Kind kind = listing.error() == ENOENT ? Kind::missing : Kind::unreadable;
            return std::unexpected(BufferReadError{kind, listing.error()});
        }
        auto resolved = resolveBufferName(name, *listing);
        if (!resolved || *resolved == name)
            return std::unexpected(BufferReadError{Kind::missing, ENOENT});
        bytes = posixFiles::readFile(buffers / *resolved, /*followFinalLink=*/false);
    }
    if (!bytes) {
        Kind kind = bytes.error() == ENOENT ? Kind::missing : Kind::unreadable;
        return std::unexpected(BufferReadError{kind, bytes.error()});
    }
    // Buffers are written as UTF-8: checked and decoded in one pass of the vector decoder (a
    // gigabyte buffer in about a third of the time the general decoder takes). A damaged one
    // is read by the general decoder: what can be read, the rest as U+FFFD.
    std::u16string text;
    bool valid = false;
    text.resize_and_overwrite(bytes->size() + textEncoding::kDecodeSlack,
                              [&](char16_t* out, std::size_t) {
                                  const auto decoded = textEncoding::decodeUTF8Prefix(*bytes, out);
                                  valid = decoded.bytes == bytes->size();
                                  return decoded.units;
                              });
    if (!valid)
        return utf8::decode(*bytes);
    return text;
}

namespace {

/// The UTF-8 form of `text` handed to `sink` a block at a time (together as utf8::encode()
/// would give it: a surrogate pair split by a block border is held back and encoded whole).
bool encodeUtf8(const TextSource& text, const AtomicFile::BlockSink& sink) {
    constexpr std::int64_t blockUnits = std::int64_t{1} << 16;
    const std::int64_t length = text.length();
    std::vector<char16_t> block(static_cast<std::size_t>(std::min(length, blockUnits)));
    std::string bytes;
    for (std::int64_t at = 0; at < length;) {
        std::int64_t count = std::min(blockUnits, length - at);
        text.copyUnits({at, count}, block.data());
        const char16_t last = block[static_cast<std::size_t>(count) - 1];
        if (at + count < length && count > 1 && last >= 0xD800 && last <= 0xDBFF)
            --count; // a high surrogate goes with the next block, where its partner is
        bytes.clear();
        utf8::append(bytes, {block.data(), static_cast<std::size_t>(count)});
        if (!sink(bytes))
            return false;
        at += count;
    }
    return true;
}

} // namespace

std::expected<void, SessionStoreError> SessionStore::writeBuffer(std::u16string_view text,
                                                                 std::string_view name) {
    return writeBuffer(StringTextSource(text), name);
}

std::expected<void, SessionStoreError> SessionStore::writeBuffer(const TextSource& text,
                                                                 std::string_view name) {
    auto path = buffersURL() / std::string(name);
    if (!isValidBufferName(name))
        return std::unexpected(SessionStoreError{"name", path.string(), EINVAL});
    // Encoded while written: a large buffer needs no UTF-8 copy of itself in memory.
    const AtomicFile::BlockSource bytes = [&text](const AtomicFile::BlockSink& sink) {
        return encodeUtf8(text, sink);
    };
    auto written = AtomicFile::write(bytes, path, fileMode);
    if (!written && written.error().operation == "open" && written.error().errnoValue == ENOENT) {
        // "buffers" vanished while the editor ran; recreate it rather than fail every pass.
        if (posixFiles::makeDirectories(buffersURL(), directoryMode)) {
            (void)::chmod(buffersURL().c_str(), directoryMode);
            written = AtomicFile::write(bytes, path, fileMode);
        }
    }
    if (!written)
        return std::unexpected(fromAtomic(written.error()));
    return {};
}

std::vector<std::string> SessionStore::pruneBuffers(const std::set<std::string>& keeping) {
    struct stat info {};
    auto buffers = buffersURL();
    if (::lstat(buffers.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return {};
    auto listing = posixFiles::listDirectory(buffers);
    if (!listing)
        return {};
    std::unordered_set<std::string> protectedNames(keeping.begin(), keeping.end());
    for (const std::string& kept : keeping)
        if (auto resolved = resolveBufferName(kept, *listing))
            protectedNames.insert(*resolved);
    std::vector<std::string> deleted;
    for (const auto& entry : *listing) {
        if (protectedNames.contains(entry.name) || entry.name.find('/') != std::string::npos)
            continue;
        auto path = buffers / entry.name;
        if (::lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
            continue;
        if (::unlink(path.c_str()) == 0)
            deleted.push_back(entry.name);
    }
    std::sort(deleted.begin(), deleted.end());
    return deleted;
}

} // namespace vendrix
