#include "core/persistence/FileSettingsBacking.h"

#include "core/persistence/PosixFiles.h"

#include <plist/plist.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace vendrix {

namespace {

/// Settings files are small; anything larger is not read (and therefore never overwritten).
constexpr std::uint64_t maxSettingsFileSize = 16u << 20;
/// A binary property list with more objects than this is not handed to the parser.
constexpr std::uint64_t maxBinaryObjects = 65536;

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

std::uint64_t readBigEndian(std::string_view bytes, std::size_t offset, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

/// The references held by the container object at `offset` of a binary property list, or none
/// when the object is malformed. Scalars have no references.
std::optional<std::vector<std::uint64_t>>
binaryReferences(std::string_view bytes, std::size_t offset, std::size_t referenceSize) {
    unsigned char marker = static_cast<unsigned char>(bytes[offset]);
    unsigned kind = marker >> 4;
    if (kind != 0xA && kind != 0xC && kind != 0xD)
        return std::vector<std::uint64_t>{};
    std::uint64_t count = marker & 0x0F;
    std::size_t position = offset + 1;
    if (count == 0x0F) {
        // The count follows as an integer object: marker 0x1n, then 2^n bytes.
        if (position >= bytes.size())
            return std::nullopt;
        unsigned char intMarker = static_cast<unsigned char>(bytes[position]);
        std::size_t width = std::size_t{1} << (intMarker & 0x0F);
        if ((intMarker >> 4) != 0x1 || width > 8 || position + 1 + width > bytes.size())
            return std::nullopt;
        count = readBigEndian(bytes, position + 1, width);
        position += 1 + width;
    }
    if (count > bytes.size())
        return std::nullopt;
    std::uint64_t references = kind == 0xD ? count * 2 : count;
    if (references > bytes.size() || position + references * referenceSize > bytes.size())
        return std::nullopt;
    std::vector<std::uint64_t> result;
    result.reserve(static_cast<std::size_t>(references));
    for (std::uint64_t i = 0; i < references; ++i)
        result.push_back(readBigEndian(bytes, position + i * referenceSize, referenceSize));
    return result;
}

/// The parser recurses once per nesting level and expands every reference to a shared object
/// into a copy of its own, so a small binary list can nest deeply or describe an exponentially
/// large tree. Before parsing, the object graph is walked (without recursion) and refused when
/// it is cyclic, nests deeper than the store accepts or expands to too many nodes.
bool binaryListIsAcceptable(std::string_view bytes) {
    constexpr std::size_t headerSize = 8, trailerSize = 32;
    constexpr std::uint64_t maxExpandedNodes = 100000;
    if (bytes.size() < headerSize + trailerSize)
        return false;
    std::size_t trailer = bytes.size() - trailerSize;
    std::size_t offsetSize = static_cast<unsigned char>(bytes[trailer + 6]);
    std::size_t referenceSize = static_cast<unsigned char>(bytes[trailer + 7]);
    std::uint64_t objectCount = readBigEndian(bytes, trailer + 8, 8);
    std::uint64_t top = readBigEndian(bytes, trailer + 16, 8);
    std::uint64_t table = readBigEndian(bytes, trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || referenceSize < 1 || referenceSize > 8 ||
        objectCount == 0 || objectCount > maxBinaryObjects || top >= objectCount ||
        table > trailer || objectCount * offsetSize > trailer - table)
        return false;

    std::vector<std::vector<std::uint64_t>> children(objectCount);
    for (std::uint64_t i = 0; i < objectCount; ++i) {
        std::uint64_t offset = readBigEndian(bytes, table + i * offsetSize, offsetSize);
        if (offset < headerSize || offset >= table)
            return false;
        auto references = binaryReferences(bytes, offset, referenceSize);
        if (!references)
            return false;
        for (std::uint64_t reference : *references)
            if (reference >= objectCount)
                return false;
        children[i] = std::move(*references);
    }

    // Iterative depth-first walk computing, per object, the size and depth of its expansion.
    enum class Mark : std::uint8_t { unvisited, open, done };
    std::vector<Mark> marks(objectCount, Mark::unvisited);
    std::vector<std::uint64_t> size(objectCount, 1), depth(objectCount, 1);
    std::vector<std::pair<std::uint64_t, std::size_t>> stack{{top, 0}};
    marks[top] = Mark::open;
    while (!stack.empty()) {
        auto& [object, next] = stack.back();
        if (next < children[object].size()) {
            std::uint64_t child = children[object][next++];
            if (marks[child] == Mark::open)
                return false; // a cycle
            if (marks[child] == Mark::unvisited) {
                marks[child] = Mark::open;
                stack.emplace_back(child, 0);
            }
            continue;
        }
        for (std::uint64_t child : children[object]) {
            size[object] = std::min(size[object] + size[child], maxExpandedNodes + 1);
            depth[object] = std::max(depth[object], depth[child] + 1);
        }
        marks[object] = Mark::done;
        stack.pop_back();
    }
    return size[top] <= maxExpandedNodes &&
           depth[top] <= static_cast<std::uint64_t>(FileSettingsBacking::maxNestingDepth) + 1;
}

/// Nesting of an XML list is measured before parsing: the deepest run of opened <array> and
/// <dict> elements.
bool nestingIsAcceptable(std::string_view bytes) {
    if (bytes.starts_with("bplist"))
        return binaryListIsAcceptable(bytes);
    int depth = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '<')
            continue;
        std::string_view rest = bytes.substr(i);
        bool opens = rest.starts_with("<array") || rest.starts_with("<dict");
        bool closes = rest.starts_with("</array") || rest.starts_with("</dict");
        if (opens) {
            std::size_t end = rest.find('>');
            if (end != std::string_view::npos && end > 0 && rest[end - 1] == '/')
                continue; // <array/> opens nothing
            if (++depth > FileSettingsBacking::maxNestingDepth + 1)
                return false;
        } else if (closes && depth > 0) {
            --depth;
        }
    }
    return true;
}

std::optional<SettingsValue> toValue(plist_t node, int depth);

std::optional<SettingsDictionary> toDictionary(plist_t node, int depth) {
    if (depth > FileSettingsBacking::maxNestingDepth)
        return std::nullopt;
    SettingsDictionary result;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(node, &iterator);
    if (!iterator)
        return result;
    for (;;) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iterator, &key, &item);
        if (!item) {
            std::free(key);
            break;
        }
        std::string name = key ? key : "";
        std::free(key);
        auto converted = toValue(item, depth + 1);
        if (!converted) {
            std::free(iterator);
            return std::nullopt;
        }
        result.insert_or_assign(std::move(name), std::move(*converted));
    }
    std::free(iterator);
    return result;
}

std::optional<SettingsValue> toValue(plist_t node, int depth) {
    if (depth > FileSettingsBacking::maxNestingDepth)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return SettingsValue(value != 0);
    }
    case PLIST_UINT:
    case PLIST_UID: {
        // Integers are signed 64-bit in the file format (a value above 2^63 - 1 comes back
        // negative; such values do not occur in settings).
        std::uint64_t value = 0;
        if (plist_get_node_type(node) == PLIST_UID)
            plist_get_uid_val(node, &value);
        else
            plist_get_uint_val(node, &value);
        return SettingsValue(static_cast<std::int64_t>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return SettingsValue(value);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return SettingsValue(std::string(text ? text : "", text ? length : 0));
    }
    case PLIST_DATA: {
        std::uint64_t length = 0;
        const char* data = plist_get_data_ptr(node, &length);
        SettingsData bytes;
        if (data)
            bytes.bytes.assign(data, data + length);
        return SettingsValue(std::move(bytes));
    }
    case PLIST_DATE: {
        std::int32_t seconds = 0, microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        return SettingsValue(SettingsDate{seconds + microseconds / 1e6});
    }
    case PLIST_ARRAY: {
        SettingsArray items;
        std::uint32_t count = plist_array_get_size(node);
        items.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            auto item = toValue(plist_array_get_item(node, i), depth + 1);
            if (!item)
                return std::nullopt;
            items.push_back(std::move(*item));
        }
        return SettingsValue(std::move(items));
    }
    case PLIST_DICT: {
        auto dictionary = toDictionary(node, depth);
        if (!dictionary)
            return std::nullopt;
        return SettingsValue(std::move(*dictionary));
    }
    default:
        return std::nullopt;
    }
}

plist_t toPlist(const SettingsValue& value) {
    return std::visit(
        [](const auto& v) -> plist_t {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                return plist_new_bool(v ? 1 : 0);
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return plist_new_uint(static_cast<std::uint64_t>(v));
            } else if constexpr (std::is_same_v<T, double>) {
                return plist_new_real(v);
            } else if constexpr (std::is_same_v<T, std::string>) {
                return plist_new_string(v.c_str());
            } else if constexpr (std::is_same_v<T, SettingsData>) {
                return plist_new_data(reinterpret_cast<const char*>(v.bytes.data()),
                                      v.bytes.size());
            } else if constexpr (std::is_same_v<T, SettingsDate>) {
                double whole = std::floor(v.secondsSinceReferenceDate);
                double fraction = v.secondsSinceReferenceDate - whole;
                if (!std::isfinite(whole))
                    whole = 0, fraction = 0;
                whole = std::clamp(whole, -2147483648.0, 2147483647.0);
                return plist_new_date(
                    static_cast<std::int32_t>(whole),
                    static_cast<std::int32_t>(std::lround(fraction * 1e6) % 1000000));
            } else if constexpr (std::is_same_v<T, SettingsArray>) {
                plist_t array = plist_new_array();
                for (const SettingsValue& item : v)
                    plist_array_append_item(array, toPlist(item));
                return array;
            } else {
                plist_t dictionary = plist_new_dict();
                for (const auto& [key, item] : v)
                    plist_dict_set_item(dictionary, key.c_str(), toPlist(item));
                return dictionary;
            }
        },
        value.value);
}

} // namespace

std::optional<SettingsDictionary> FileSettingsBacking::parse(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > maxSettingsFileSize || !nestingIsAcceptable(bytes))
        return std::nullopt;
    plist_t raw = nullptr;
    plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &raw);
    PlistPtr root(raw);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;
    return toDictionary(root.get(), 0);
}

std::string FileSettingsBacking::serialize(const SettingsDictionary& values) {
    PlistPtr root(toPlist(SettingsValue(values)));
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    std::string result(xml ? xml : "", xml ? length : 0);
    plist_to_xml_free(xml);
    return result;
}

FileSettingsBacking::FileSettingsBacking(std::filesystem::path url) : m_url(std::move(url)) {
    readFile();
}

void FileSettingsBacking::readFile() {
    auto bytes = posixFiles::readFile(m_url, /*followFinalLink=*/true, maxSettingsFileSize);
    if (!bytes) {
        bool missing = bytes.error() == ENOENT || bytes.error() == ENOTDIR;
        m_fileState = missing ? FileState::missing : FileState::unreadable;
        return;
    }
    auto values = parse(*bytes);
    if (!values) {
        m_fileState = FileState::damaged;
        return;
    }
    m_values = std::move(*values);
    m_fileState = FileState::loaded;
}

std::optional<SettingsValue> FileSettingsBacking::object(std::string_view key) const {
    auto it = m_values.find(std::string(key));
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

void FileSettingsBacking::set(const std::optional<SettingsValue>& value, std::string_view key) {
    if (value)
        m_values.insert_or_assign(std::string(key), *value);
    else
        m_values.erase(std::string(key));
    m_unwritten.insert_or_assign(std::string(key), value);

    if (m_fileState == FileState::unreadable) {
        // Try again: the file may have become readable. Its content comes first, then every
        // change made since.
        readFile();
        if (m_fileState == FileState::unreadable)
            return;
        if (m_fileState == FileState::missing || m_fileState == FileState::damaged)
            m_values.clear();
        for (const auto& [name, change] : m_unwritten) {
            if (change)
                m_values.insert_or_assign(name, *change);
            else
                m_values.erase(name);
        }
    }
    if (m_fileState == FileState::damaged && !moveDamagedFileAside())
        return;
    writeFile();
}

bool FileSettingsBacking::moveDamagedFileAside() {
    auto aside = m_url;
    aside += ".corrupt";
    if (::rename(m_url.c_str(), aside.c_str()) != 0 && errno != ENOENT)
        return false;
    m_fileState = FileState::missing;
    return true;
}

void FileSettingsBacking::writeFile() {
    std::string xml = serialize(m_values);
    auto written = AtomicFile::write(xml, m_url, 0600);
    if (!written && written.error().operation == "open" && written.error().errnoValue == ENOENT) {
        // First save on this machine: the settings directory does not exist yet.
        if (m_url.has_parent_path() && posixFiles::makeDirectories(m_url.parent_path(), 0700))
            written = AtomicFile::write(xml, m_url, 0600);
    }
    if (!written) {
        m_lastWriteError = written.error();
        return;
    }
    m_lastWriteError.reset();
    m_unwritten.clear();
    m_fileState = FileState::loaded;
}

} // namespace vendrix
