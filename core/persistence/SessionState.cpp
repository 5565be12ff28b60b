#include "core/persistence/SessionState.h"

#include "core/common/Base64.h"

#include "core/persistence/SessionStore.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <unordered_set>

namespace vendrix {

using nlohmann::json;

// MARK: - Sanitising

SessionState SessionState::sanitized() const {
    SessionState result;
    result.version = currentVersion;
    std::unordered_set<Uuid> seen;
    for (const SessionTab& tab : tabs) {
        if (!seen.insert(tab.id).second)
            continue;
        SessionTab kept = tab;
        if (kept.bufferFile && !SessionStore::isValidBufferName(*kept.bufferFile))
            kept.bufferFile.reset();
        kept.selectionLocation = std::max<std::int64_t>(kept.selectionLocation, 0);
        kept.selectionLength = std::max<std::int64_t>(kept.selectionLength, 0);
        if (!kept.diskSize || !kept.diskModified || *kept.diskSize < 0) {
            kept.diskSize.reset();
            kept.diskModified.reset();
        }
        result.tabs.push_back(std::move(kept));
    }
    if (selectedTabID && seen.contains(*selectedTabID))
        result.selectedTabID = selectedTabID;
    else if (!result.tabs.empty())
        result.selectedTabID = result.tabs.front().id;
    return result;
}

// MARK: - Encoding

namespace {

double finiteOrZero(double value) {
    return std::isfinite(value) ? value : 0.0;
}

json encodeTab(const SessionTab& tab) {
    json object = json::object();
    object["id"] = tab.id.uuidString();
    if (tab.untitledNumber)
        object["untitledNumber"] = *tab.untitledNumber;
    if (tab.filePath)
        object["filePath"] = *tab.filePath;
    if (tab.bookmark)
        object["bookmark"] = sessionBase64::encode(*tab.bookmark);
    if (tab.bufferFile)
        object["bufferFile"] = *tab.bufferFile;
    object["selectionLocation"] = tab.selectionLocation;
    object["selectionLength"] = tab.selectionLength;
    object["scrollX"] = finiteOrZero(tab.scrollX);
    object["scrollY"] = finiteOrZero(tab.scrollY);
    if (tab.languageID)
        object["languageID"] = *tab.languageID;
    object["encoding"] = std::string(textEncoding::rawValue(tab.encoding));
    object["lineEnding"] = std::string(lineEnding::rawValue(tab.lineEnding));
    object["isDirty"] = tab.isDirty;
    if (tab.isReadOnly)
        object["isReadOnly"] = *tab.isReadOnly;
    if (tab.diskSize && tab.diskModified) {
        object["diskSize"] = *tab.diskSize;
        object["diskModified"] = *tab.diskModified;
    }
    return object;
}

} // namespace

std::string SessionState::encodedJSON() const {
    json tabArray = json::array();
    for (const SessionTab& tab : tabs)
        tabArray.push_back(encodeTab(tab));
    json document = json::object();
    document["version"] = version;
    document["tabs"] = std::move(tabArray);
    if (selectedTabID)
        document["selectedTabID"] = selectedTabID->uuidString();
    // nlohmann's object is an ordered map, so the keys come out sorted.
    return document.dump(2, ' ', false, json::error_handler_t::replace);
}

// MARK: - Decoding

namespace {

using Kind = SessionDecodeError::Kind;

/// Reads the members of one JSON object, recording the first failure with its key path.
class ObjectReader {
public:
    ObjectReader(const json& object, std::string path)
        : m_object(object), m_path(std::move(path)) {}

    const std::optional<SessionDecodeError>& error() const { return m_error; }

    /// The member's value; none (and an error for required members) when it is absent.
    /// Null counts as absent for optional members and as a wrong type for required ones.
    const json* member(std::string_view key, bool required) {
        if (m_error)
            return nullptr;
        auto it = m_object.find(key);
        if (it == m_object.end()) {
            if (required)
                fail(Kind::missingKey, key);
            return nullptr;
        }
        if (it->is_null()) {
            if (required)
                fail(Kind::wrongType, key);
            return nullptr;
        }
        return &*it;
    }

    std::optional<std::int64_t> integer(std::string_view key, bool required) {
        const json* value = member(key, required);
        if (!value)
            return std::nullopt;
        if (value->is_number_unsigned()) {
            auto raw = value->get<std::uint64_t>();
            if (raw <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                return static_cast<std::int64_t>(raw);
        } else if (value->is_number_integer()) {
            return value->get<std::int64_t>();
        } else if (value->is_number_float()) {
            // A whole number written with a fraction or exponent ("3.0", "1e3") is accepted;
            // 2^63 itself is outside the range.
            double raw = value->get<double>();
            if (std::isfinite(raw) && raw == std::trunc(raw) && raw >= -9223372036854775808.0 &&
                raw < 9223372036854775808.0)
                return static_cast<std::int64_t>(raw);
        }
        fail(Kind::wrongType, key);
        return std::nullopt;
    }

    std::optional<double> real(std::string_view key, bool required) {
        const json* value = member(key, required);
        if (!value)
            return std::nullopt;
        if (value->is_number()) {
            double raw = value->get<double>();
            if (std::isfinite(raw))
                return raw;
        }
        fail(Kind::wrongType, key);
        return std::nullopt;
    }

    std::optional<std::string> string(std::string_view key, bool required) {
        const json* value = member(key, required);
        if (!value)
            return std::nullopt;
        if (value->is_string())
            return value->get<std::string>();
        fail(Kind::wrongType, key);
        return std::nullopt;
    }

    std::optional<bool> boolean(std::string_view key, bool required) {
        const json* value = member(key, required);
        if (!value)
            return std::nullopt;
        if (value->is_boolean())
            return value->get<bool>();
        fail(Kind::wrongType, key);
        return std::nullopt;
    }

    std::optional<Uuid> uuid(std::string_view key, bool required) {
        auto text = string(key, required);
        if (!text)
            return std::nullopt;
        auto parsed = Uuid::parse(*text);
        if (!parsed)
            fail(Kind::invalidValue, key);
        return parsed;
    }

    void fail(Kind kind, std::string_view key) {
        if (!m_error)
            m_error = SessionDecodeError{kind, m_path.empty() ? std::string(key)
                                                              : m_path + "." + std::string(key)};
    }

private:
    const json& m_object;
    std::string m_path;
    std::optional<SessionDecodeError> m_error;
};

std::expected<SessionTab, SessionDecodeError> decodeTab(const json& object, std::string path) {
    if (!object.is_object())
        return std::unexpected(SessionDecodeError{Kind::wrongType, path});
    ObjectReader reader(object, std::move(path));
    SessionTab tab;
    auto id = reader.uuid("id", true);
    tab.untitledNumber = reader.integer("untitledNumber", false);
    tab.filePath = reader.string("filePath", false);
    if (auto bookmark = reader.string("bookmark", false)) {
        tab.bookmark = sessionBase64::decode(*bookmark);
        if (!tab.bookmark)
            reader.fail(Kind::invalidValue, "bookmark");
    }
    tab.bufferFile = reader.string("bufferFile", false);
    auto selectionLocation = reader.integer("selectionLocation", true);
    auto selectionLength = reader.integer("selectionLength", true);
    auto scrollX = reader.real("scrollX", true);
    auto scrollY = reader.real("scrollY", true);
    tab.languageID = reader.string("languageID", false);
    std::optional<TextEncoding> encoding;
    if (auto raw = reader.string("encoding", true)) {
        encoding = textEncoding::fromRawValue(*raw);
        if (!encoding)
            reader.fail(Kind::invalidValue, "encoding");
    }
    std::optional<LineEnding> ending;
    if (auto raw = reader.string("lineEnding", true)) {
        ending = lineEnding::fromRawValue(*raw);
        if (!ending)
            reader.fail(Kind::invalidValue, "lineEnding");
    }
    auto isDirty = reader.boolean("isDirty", true);
    tab.isReadOnly = reader.boolean("isReadOnly", false);
    if (reader.error())
        return std::unexpected(*reader.error());
    // The disk stamp came later than the other keys: a reader that cannot use it goes on
    // without it instead of refusing the whole session.
    ObjectReader stampReader(object, {});
    tab.diskSize = stampReader.integer("diskSize", false);
    tab.diskModified = stampReader.integer("diskModified", false);
    if (stampReader.error()) {
        tab.diskSize.reset();
        tab.diskModified.reset();
    }
    tab.id = *id;
    tab.selectionLocation = *selectionLocation;
    tab.selectionLength = *selectionLength;
    tab.scrollX = *scrollX;
    tab.scrollY = *scrollY;
    tab.encoding = *encoding;
    tab.lineEnding = *ending;
    tab.isDirty = *isDirty;
    return tab;
}

} // namespace

std::expected<SessionState, SessionDecodeError> SessionState::decodeJSON(std::string_view utf8) {
    // The parser works with an explicit stack and the value is destroyed iteratively, so a
    // deeply nested document cannot exhaust the call stack.
    json document = json::parse(utf8.begin(), utf8.end(), nullptr, /*allow_exceptions=*/false);
    if (document.is_discarded())
        return std::unexpected(SessionDecodeError{Kind::malformedJSON, {}});
    if (!document.is_object())
        return std::unexpected(SessionDecodeError{Kind::wrongType, {}});
    ObjectReader reader(document, {});
    auto version = reader.integer("version", true);
    const json* tabArray = reader.member("tabs", true);
    if (tabArray && !tabArray->is_array())
        reader.fail(Kind::wrongType, "tabs");
    auto selected = reader.uuid("selectedTabID", false);
    if (reader.error())
        return std::unexpected(*reader.error());
    if (*version > currentVersion)
        return std::unexpected(SessionDecodeError{Kind::unsupportedVersion, "version"});

    SessionState state;
    state.version = *version;
    state.selectedTabID = selected;
    state.tabs.reserve(tabArray->size());
    for (std::size_t i = 0; i < tabArray->size(); ++i) {
        auto tab = decodeTab((*tabArray)[i], "tabs[" + std::to_string(i) + "]");
        if (!tab)
            return std::unexpected(tab.error());
        state.tabs.push_back(std::move(*tab));
    }
    return state.sanitized();
}

// MARK: - Base64

namespace sessionBase64 {

std::string encode(const std::vector<std::uint8_t>& bytes) {
    return base64::encode(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::optional<std::vector<std::uint8_t>> decode(std::string_view text) {
    auto bytes = base64::decode(text);
    if (!bytes)
        return std::nullopt;
    return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
}

} // namespace sessionBase64

} // namespace vendrix
