// The streaming JSON formatter with its output handed over in blocks.
#include "core/formatting/JSONBlockStream.h"

#include "core/formatting/JSONFormatter.h"
#include "core/formatting/JSONScan.h"
#include "core/formatting/JSONStreamSink.h"

namespace vendrix {

namespace {

template <bool Pretty>
std::optional<FormatError> writeBlocks(std::string_view bytes, std::string_view unit,
                                       const JSONBlockStream::Consumer& consumer,
                                       std::size_t blockBytes) {
    JSONStreamSink<char, Pretty> sink(bytes, unit);
    sink.streamTo(consumer, blockBytes);
    if (auto failure = jsonScan::scan(bytes, sink, 1.0))
        return failure;
    if (auto finished = sink.finish(); !finished)
        return std::move(finished.error());
    return std::nullopt;
}

} // namespace

JSONBlockStream::Check JSONBlockStream::check(std::string_view bytes,
                                              std::optional<FormatIndent> indent) {
    if (bytes.size() > JSONFormatter::maxInputBytes)
        return FormatError::unpositioned(u"Girdi çok büyük");
    jsonScan::GrammarSink sink(bytes);
    if (auto failure = jsonScan::scan(bytes, sink, 1.0))
        return std::move(*failure);
    if (sink.grammarError)
        return std::move(*sink.grammarError);
    auto summary = sink.grammar.finish(bytes);
    if (!summary)
        return std::move(summary.error());
    if (!indent)
        return Fits{}; // minified output is never longer than the input
    // The output is the tokens' bytes (at most the input) and, before each token, at most a
    // line break with the indentation of the deepest level.
    const std::uint64_t n = bytes.size();
    const std::uint64_t limit = std::max<std::uint64_t>(16 * n, 67108864);
    const std::uint64_t perToken =
        1 + static_cast<std::uint64_t>(summary->maxDepth) * indent->unit().size();
    if (perToken > limit || sink.tokens > (limit - n) / perToken)
        return MayNotFit{};
    return Fits{};
}

std::optional<FormatError> JSONBlockStream::write(std::string_view bytes,
                                                  std::optional<FormatIndent> indent,
                                                  const Consumer& consumer,
                                                  std::size_t blockBytes) {
    if (bytes.size() > JSONFormatter::maxInputBytes)
        return FormatError::unpositioned(u"Girdi çok büyük");
    if (indent)
        return writeBlocks<true>(bytes, indent->unit(), consumer, blockBytes);
    return writeBlocks<false>(bytes, std::string_view(), consumer, blockBytes);
}

} // namespace vendrix
