// The streaming JSON formatter and the file-bytes entry point against the token pipeline and
// the decoding path: the same bytes and the same errors for generated documents.
#include "core/formatting/FormatText.h"
#include "core/formatting/JSONFormatter.h"

#include "support/JSONDocuments.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace vendrix {
namespace {

// What the command-line tool did before it had a byte path: decode (invalid bytes replaced),
// format the text, encode the result.
std::expected<std::string, FormatError> throughText(std::string_view bytes,
                                                    std::optional<FormatIndent> indent,
                                                    bool sortKeys) {
    const std::u16string text = FormatText::fromUTF8(bytes);
    auto result = indent ? JSONFormatter::pretty(text, *indent, sortKeys)
                         : JSONFormatter::minify(text, sortKeys);
    if (!result)
        return std::unexpected(result.error());
    return FormatText::toUTF8(*result);
}

TEST(JSONStreamTest, GeneratedDocumentsGiveTheTokenPipelinesBytesAndErrors) {
    test::JSONDocuments documents(20261207);
    int valid = 0;
    for (int round = 0; round < 10000; ++round) {
        const std::string input = documents.next();
        const std::string disagreement = test::streamDisagreement(input);
        ASSERT_EQ(disagreement, "") << "input: " << input;
        valid += JSONFormatter::validateUTF8(input).has_value();
        // The file-bytes entry point, sorted or not, against decode-format-encode.
        const bool sortKeys = round % 4 == 0;
        const auto indent = round % 2 ? std::optional(FormatIndent::spaces(2)) : std::nullopt;
        ASSERT_EQ(JSONFormatter::formatFileBytes(input, indent, sortKeys),
                  throughText(input, indent, sortKeys))
            << "input: " << input;
    }
    EXPECT_GT(valid, 3000);
    EXPECT_LT(valid, 9000);
}

TEST(JSONStreamTest, OutputLimitFailsAtTheSameTokenUnlessAnEarlierFaultWins) {
    // Deep nesting with a wide indent passes the 64 MiB output limit; a tokenizer error
    // anywhere, or a grammar error before the limit, is reported instead.
    const std::string deep = std::string(3000, '[') + "1" + std::string(3000, ']');
    for (const std::string& input : {deep, deep + " @", deep + "1", "[}" + deep, deep + "\"x"}) {
        const auto wide = FormatIndent::spaces(40);
        const auto streamed = JSONFormatter::streamUTF8(input, wide);
        ASSERT_FALSE(streamed);
        EXPECT_EQ(streamed, JSONFormatter::formatTokensUTF8(input, wide, false));
        EXPECT_TRUE(JSONFormatter::streamUTF8(input, std::nullopt) ==
                    JSONFormatter::formatTokensUTF8(input, std::nullopt, false));
    }
    EXPECT_EQ(JSONFormatter::streamUTF8(deep, FormatIndent::spaces(40)).error().message,
              u"Çıktı çok büyük (aşırı iç içe yapı); Küçült kullanılabilir");
}

} // namespace
} // namespace vendrix
