#pragma once

#include "core/persistence/SettingsBacking.h"
#include "core/text/AtomicFile.h"

#include <filesystem>
#include <optional>

namespace vendrix {

/// Settings kept in a property-list file (XML or binary on reading, XML on writing). The file
/// is read once, at creation; every `set` rewrites the whole file atomically with mode 0600.
///
/// The file is never replaced by a store that did not see its content: a file that exists but
/// cannot be read (permissions, I/O error, too large) is left alone and changes stay in memory
/// (each later `set` tries to read it again and merges); a file that exists but does not parse
/// is moved aside to its name plus ".corrupt" before the first write. Only a missing file
/// counts as empty. Failures are never reported as errors — settings fall back to defaults —
/// but `fileState()` and `lastWriteError()` tell a caller that wants to warn.
class FileSettingsBacking final : public SettingsBacking {
public:
    enum class FileState {
        /// The file was read and is what `values()` holds (plus changes written since).
        loaded,
        /// No file yet; the first `set` creates it (and its directory, 0700).
        missing,
        /// The file exists but could not be read; changes stay in memory.
        unreadable,
        /// The file exists but is not a property-list dictionary; moved aside on first `set`.
        damaged,
    };

    explicit FileSettingsBacking(std::filesystem::path url);

    const std::filesystem::path& url() const { return m_url; }
    const SettingsDictionary& values() const { return m_values; }
    FileState fileState() const { return m_fileState; }
    /// The failure of the last attempt to write the file, or none after a successful write.
    const std::optional<AtomicFileError>& lastWriteError() const { return m_lastWriteError; }

    [[nodiscard]] std::optional<SettingsValue> object(std::string_view key) const override;
    void set(const std::optional<SettingsValue>& value, std::string_view key) override;

    /// Parses property-list bytes (XML or binary) whose top level is a dictionary. None for
    /// anything else, including nesting deeper than `maxNestingDepth`.
    [[nodiscard]] static std::optional<SettingsDictionary> parse(std::string_view bytes);
    /// The XML property list (version 1.0) of `values`.
    [[nodiscard]] static std::string serialize(const SettingsDictionary& values);

    static constexpr int maxNestingDepth = 64;

private:
    void readFile();
    bool moveDamagedFileAside();
    void writeFile();

    std::filesystem::path m_url;
    SettingsDictionary m_values;
    /// Changes not yet written because the file could not be read; replayed over its content
    /// once it can be.
    std::map<std::string, std::optional<SettingsValue>> m_unwritten;
    FileState m_fileState = FileState::missing;
    std::optional<AtomicFileError> m_lastWriteError;
};

} // namespace vendrix
