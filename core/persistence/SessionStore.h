#pragma once

#include "core/common/EnumCases.h"
#include "core/common/TextSource.h"
#include "core/persistence/SessionState.h"

#include <expected>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

/// Where a loaded session came from.
enum class SessionLoadSource { primary, backup, recoveredBuffers, fresh };

namespace sessionLoadSource {
inline constexpr auto cases = enumCases<SessionLoadSource>({
    {SessionLoadSource::primary, "primary"},
    {SessionLoadSource::backup, "backup"},
    {SessionLoadSource::recoveredBuffers, "recoveredBuffers"},
    {SessionLoadSource::fresh, "fresh"},
});
/// "primary", "backup", "recoveredBuffers" or "fresh".
[[nodiscard]] constexpr std::string_view rawValue(SessionLoadSource source) {
    return cases.rawValue(source);
}
[[nodiscard]] constexpr std::optional<SessionLoadSource> fromRawValue(std::string_view raw) {
    return cases.fromRawValue(raw);
}
} // namespace sessionLoadSource

/// A loaded session with its origin and the warnings that arose, in order (Turkish,
/// user-facing, without the "Vendrix: " prefix).
struct SessionLoadResult {
    SessionState state;
    SessionLoadSource source = SessionLoadSource::fresh;
    std::vector<std::string> warnings;

    friend bool operator==(const SessionLoadResult&, const SessionLoadResult&) = default;
};

/// A failed file-system operation of the store: the operation ("mkdir", "chmod", "open",
/// "write", "fsync", "rename", "name" for a refused buffer name), the path concerned and errno.
struct SessionStoreError {
    std::string operation;
    std::string path;
    int errnoValue = 0;

    friend bool operator==(const SessionStoreError&, const SessionStoreError&) = default;
};

/// Why a buffer file could not be read. `missing` only when no file of that name (or of
/// another letter case of its UUID) exists; every other failure — permissions, descriptor
/// exhaustion, a link, a directory or a FIFO in its place, a read error, an invalid name — is
/// `unreadable`: the text may still exist, so its name must be kept and the tab not taken as
/// empty.
struct BufferReadError {
    enum class Kind { missing, unreadable };
    Kind kind = Kind::missing;
    int errnoValue = 0;

    friend bool operator==(const BufferReadError&, const BufferReadError&) = default;
};

/// Owns one session directory: "session.json", its backup "session.json.bak", the quarantined
/// "session.json.corrupt", the single-instance lock "session.lock" and the "buffers" directory
/// holding the text of unsaved tabs. Every file it writes is replaced atomically with mode
/// 0600; the directories are 0700.
///
/// Threading: prepareDirectory, acquireLock and load run before any write; the write passes
/// (writeBuffer, writeSession, pruneBuffers) run on one serial queue; readBuffer and
/// loadReadOnly touch no member state and may run on any thread meanwhile.
class SessionStore {
public:
    explicit SessionStore(std::filesystem::path directory);
    /// Closes the lock descriptor, which releases the lock; the lock file stays.
    ~SessionStore();
    SessionStore(const SessionStore&) = delete;
    SessionStore& operator=(const SessionStore&) = delete;

    const std::filesystem::path& directory() const { return m_directory; }
    std::filesystem::path sessionURL() const { return m_directory / "session.json"; }
    std::filesystem::path backupURL() const { return m_directory / "session.json.bak"; }
    std::filesystem::path corruptURL() const { return m_directory / "session.json.corrupt"; }
    std::filesystem::path buffersURL() const { return m_directory / "buffers"; }
    std::filesystem::path lockURL() const { return m_directory / "session.lock"; }

    /// True while "session.json" is known to hold a readable session.
    bool primaryIsGood() const { return m_primaryIsGood; }
    /// The open lock file's descriptor, or -1 while the lock is not held.
    int lockFD() const { return m_lockFD; }

    /// Creates the session directory and "buffers" (0700, replacing a non-directory
    /// "buffers"), and brings files with group or other permission bits down to 0600.
    [[nodiscard]] std::expected<void, SessionStoreError> prepareDirectory();

    /// Takes the exclusive single-instance lock on "session.lock" without waiting. False when
    /// another holder — another process or another store in this process — has it.
    [[nodiscard]] bool acquireLock();

    /// Loads the session: the primary file, else the backup (a damaged primary is moved to
    /// "session.json.corrupt"), else tabs rebuilt from the buffer files, else an empty session.
    /// Buffer files that no loaded tab refers to are added as recovered tabs, so that no
    /// unsaved text can be pruned unseen. Never fails.
    [[nodiscard]] SessionLoadResult load();

    /// The same session as load() would return, but without changing anything on disk and
    /// without touching the store's state: a damaged primary is only reported (warning
    /// "session.json bozuk"), not moved. Needs no lock.
    [[nodiscard]] SessionLoadResult loadReadOnly() const;

    /// Writes the session file. When the current primary is known good it first becomes the
    /// backup (through a hard link, so the backup is always a complete good file).
    [[nodiscard]] std::expected<void, SessionStoreError> writeSession(const SessionState& state);

    /// The buffer file name of a tab: the identifier's upper-case textual form plus ".txt".
    [[nodiscard]] static std::string bufferName(const Uuid& id);
    /// True for a name ending in ".txt" whose stem parses as a UUID (either letter case).
    [[nodiscard]] static bool isValidBufferName(std::string_view name);

    /// The text of a buffer file (UTF-8, invalid sequences replaced by U+FFFD). When no file
    /// has exactly this name, a file whose name differs only in the letter case of the UUID is
    /// read instead. Fails with `missing` only when neither exists, and with `unreadable`
    /// otherwise (invalid name, not a regular file, open or read error).
    [[nodiscard]] std::expected<std::u16string, BufferReadError>
    readBuffer(std::string_view name) const;
    /// readBuffer() of the buffers in `buffers` (a store's buffersURL()), for a reader on
    /// another thread that must not depend on the store's lifetime.
    [[nodiscard]] static std::expected<std::u16string, BufferReadError>
    readBufferIn(const std::filesystem::path& buffers, std::string_view name);

    /// Writes a buffer file atomically with mode 0600. Only valid buffer names are accepted.
    [[nodiscard]] std::expected<void, SessionStoreError> writeBuffer(std::u16string_view text,
                                                                     std::string_view name);
    /// The same for a text read piece by piece (a snapshot held in chunks).
    [[nodiscard]] std::expected<void, SessionStoreError> writeBuffer(const TextSource& text,
                                                                     std::string_view name);

    /// Deletes every non-directory entry of "buffers" that is not kept, and returns the deleted
    /// names sorted ascending. A kept buffer name also keeps the file it resolves to when that
    /// file's name differs only in letter case.
    std::vector<std::string> pruneBuffers(const std::set<std::string>& keeping);

private:
    SessionLoadResult loadSession(bool mayChangeDisk) const;

    std::filesystem::path m_directory;
    bool m_primaryIsGood = false;
    int m_lockFD = -1;
};

} // namespace vendrix
