#pragma once

#include "core/common/Uuid.h"
#include "core/text/LineEnding.h"
#include "core/text/TextEncoding.h"

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

/// One persisted tab of the session file. Offsets and lengths are UTF-16 code units of the
/// tab's LF-normalised text; scroll values are view points.
struct SessionTab {
    Uuid id;
    std::optional<std::int64_t> untitledNumber;
    /// Absolute file-system path, UTF-8.
    std::optional<std::string> filePath;
    /// Persistent file reference; never created on Linux but carried through unchanged.
    std::optional<std::vector<std::uint8_t>> bookmark;
    /// Name of the tab's buffer file in the session's buffers directory.
    std::optional<std::string> bufferFile;
    std::int64_t selectionLocation = 0;
    std::int64_t selectionLength = 0;
    double scrollX = 0;
    double scrollY = 0;
    std::optional<std::string> languageID;
    TextEncoding encoding = TextEncoding::utf8;
    LineEnding lineEnding = LineEnding::lf;
    bool isDirty = false;
    std::optional<bool> isReadOnly;
    /// The file's size in bytes and modification time (nanoseconds since the epoch) when the
    /// tab's text was last read from or written to it, so that a tab restored with unsaved
    /// text can tell at its lazy load whether the file changed meanwhile. Optional keys
    /// "diskSize" and "diskModified": both or neither; a value of the wrong type reads as
    /// absent rather than making the session unreadable.
    std::optional<std::int64_t> diskSize;
    std::optional<std::int64_t> diskModified;

    friend bool operator==(const SessionTab&, const SessionTab&) = default;
};

/// Why a session document could not be read. `key` names the offending member (dotted, with
/// tab indices, e.g. "tabs[2].scrollY"); it is diagnostic data, not a message.
struct SessionDecodeError {
    enum class Kind { malformedJSON, missingKey, wrongType, invalidValue, unsupportedVersion };
    Kind kind = Kind::malformedJSON;
    std::string key;

    friend bool operator==(const SessionDecodeError&, const SessionDecodeError&) = default;
};

/// The whole persisted session: the tabs in tab-bar order and the selected tab.
struct SessionState {
    static constexpr std::int64_t currentVersion = 1;

    std::int64_t version = currentVersion;
    std::vector<SessionTab> tabs;
    std::optional<Uuid> selectedTabID;

    SessionState() = default;
    SessionState(std::vector<SessionTab> tabs_, std::optional<Uuid> selectedTabID_)
        : tabs(std::move(tabs_)), selectedTabID(selectedTabID_) {}

    /// A cleaned copy: version 1, duplicate tab identifiers dropped (first wins), invalid
    /// buffer file names cleared, negative selections raised to 0, a disk stamp with a
    /// negative size or only one of its two keys dropped, and a selected tab that
    /// names a kept tab (else the first tab, else none).
    [[nodiscard]] SessionState sanitized() const;

    /// The session document: UTF-8 JSON, keys sorted, one member per line, optional fields
    /// that hold nothing left out. Non-finite scroll values are written as 0 (JSON has no
    /// representation for them). Never fails: text that is not valid UTF-8 is written with
    /// U+FFFD in place of the bad bytes.
    [[nodiscard]] std::string encodedJSON() const;

    /// Reads a session document strictly: every required member must be present with the
    /// right type, optional members may be absent or null, unknown members are ignored, and
    /// a version above `currentVersion` is refused. The state comes back sanitised.
    [[nodiscard]] static std::expected<SessionState, SessionDecodeError>
    decodeJSON(std::string_view utf8);

    friend bool operator==(const SessionState&, const SessionState&) = default;
};

/// The strict Base64 used for `SessionTab::bookmark`: standard alphabet, padded, no
/// whitespace.
namespace sessionBase64 {
[[nodiscard]] std::string encode(const std::vector<std::uint8_t>& bytes);
[[nodiscard]] std::optional<std::vector<std::uint8_t>> decode(std::string_view text);
} // namespace sessionBase64

} // namespace vendrix
