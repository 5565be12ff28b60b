#include "core/search/SearchOptions.h"

#include "core/common/Utf8.h"
#include "core/search/SearchFailure.h"

#include <nlohmann/json.hpp>

namespace vendrix {

nlohmann::json SearchOptions::toJSON() const {
    return nlohmann::json{{"query", utf8::encode(query)},
                          {"isRegex", isRegex},
                          {"matchCase", matchCase},
                          {"wholeWord", wholeWord}};
}

std::optional<SearchOptions> SearchOptions::fromJSON(const nlohmann::json& json) {
    if (!json.is_object())
        return std::nullopt;
    auto query = json.find("query");
    auto isRegex = json.find("isRegex");
    auto matchCase = json.find("matchCase");
    auto wholeWord = json.find("wholeWord");
    if (query == json.end() || !query->is_string() || isRegex == json.end() ||
        !isRegex->is_boolean() || matchCase == json.end() || !matchCase->is_boolean() ||
        wholeWord == json.end() || !wholeWord->is_boolean())
        return std::nullopt;
    SearchOptions options;
    options.query = utf8::decode(query->get_ref<const std::string&>());
    options.isRegex = isRegex->get<bool>();
    options.matchCase = matchCase->get<bool>();
    options.wholeWord = wholeWord->get<bool>();
    return options;
}

const char* rawValue(SearchFailure::Kind kind) {
    switch (kind) {
    case SearchFailure::Kind::invalidPattern:
        return "invalidPattern";
    case SearchFailure::Kind::emptyQuery:
        return "emptyQuery";
    case SearchFailure::Kind::timedOut:
        return "timedOut";
    case SearchFailure::Kind::cancelled:
        return "cancelled";
    }
    return "timedOut";
}

} // namespace vendrix
