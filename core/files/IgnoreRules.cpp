#include "core/files/IgnoreRules.h"

#include "core/text/UserFileReader.h"

namespace vendrix {

IgnoreRules IgnoreRules::parse(std::string_view text) {
    IgnoreRules rules;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        if (auto pattern = IgnorePattern::parse(line))
            rules.add(std::move(*pattern));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return rules;
}

IgnoreRules IgnoreRules::readFile(const std::string& path) {
    // An ignore file larger than this is no list of patterns anyone wrote.
    UserFileReadOptions options;
    options.maxSize = std::uint64_t{16} << 20;
    auto contents = UserFileReader::read(path, options);
    if (!contents)
        return {};
    std::string_view text = contents->bytes;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    return parse(text);
}

bool IgnoreRules::hasPositivePattern() const {
    for (const IgnorePattern& pattern : m_patterns)
        if (!pattern.negated())
            return true;
    return false;
}

IgnoreRules::Decision IgnoreRules::decide(std::string_view relativePath, bool isDir) const {
    for (auto it = m_patterns.rbegin(); it != m_patterns.rend(); ++it)
        if (it->matches(relativePath, isDir))
            return it->negated() ? Decision::include : Decision::ignore;
    return Decision::none;
}

} // namespace vendrix
