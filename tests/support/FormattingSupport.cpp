#include "support/FormattingSupport.h"

#include "support/TestSupport.h"

namespace vendrix::test {

std::string describe(const std::expected<std::u16string, FormatError>& result) {
    if (!result)
        return "error: " + std::to_string(result.error().line) + ":" +
               std::to_string(result.error().column) + ":" + std::to_string(result.error().offset) +
               " " + u8(result.error().message);
    return u8(*result);
}

std::vector<GoldenOutput> goldenOutputs(const std::filesystem::path& dir) {
    std::vector<GoldenOutput> outputs;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string file = entry.path().filename().string();
        const auto firstDot = file.find('.');
        const auto lastDot = file.rfind('.');
        const std::string mode = file.substr(firstDot + 1, lastDot - firstDot - 1);
        if (mode == "in")
            continue;
        const std::string extension = file.substr(lastDot + 1);
        const std::string stem = file.substr(0, firstDot);
        outputs.push_back(GoldenOutput{file, mode, extension,
                                       readFileBytes(dir / (stem + ".in." + extension)),
                                       readFileBytes(entry.path())});
    }
    return outputs;
}

std::optional<FormatIndent> indentForMode(std::string_view mode) {
    if (mode == "pretty-tab")
        return FormatIndent::tab();
    if (mode.starts_with("pretty-"))
        return FormatIndent::spaces(std::stoi(std::string(mode.substr(7))));
    return std::nullopt;
}

} // namespace vendrix::test
