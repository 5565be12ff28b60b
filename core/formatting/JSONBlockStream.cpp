// The streaming JSON formatter with its output handed over in blocks.
#include "core/formatting/JSONBlockStream.h"

#include "core/formatting/FormatProgress.h"
#include "core/formatting/JSONFormatter.h"
#include "core/formatting/JSONScan.h"
#include "core/formatting/JSONStreamSink.h"

#include <cstring>
#include <vector>

namespace vendrix {

namespace {

FormatError writeFailure() {
    return FormatError::unpositioned(u"Çıktı yazılamadı");
}

template <bool Pretty>
JSONBlockStream::Result writeBlocks(std::string_view bytes, std::string_view unit,
                                    const JSONBlockStream::Consumer& consumer,
                                    std::size_t blockBytes, ProgressToken* progress) {
    JSONStreamSink<char, Pretty> sink(bytes, unit, progress);
    sink.streamTo(consumer, blockBytes, true);
    if (auto failure = jsonScan::scan(bytes, sink, 1.0, progress))
        return std::move(*failure);
    if (auto finished = sink.finish(); !finished)
        return std::move(finished.error());
    return JSONBlockStream::Done{};
}

JSONBlockStream::Result minify(std::string_view bytes, const JSONBlockStream::Consumer& consumer,
                               std::size_t blockBytes, ProgressToken* progress) {
    jsonScan::RunSink sink(bytes);
    // Runs beyond one per 32 input bytes cost more memory than a second pass costs time.
    sink.maxRuns = bytes.size() / 32 + 64;
    if (auto failure = jsonScan::scan(bytes, sink, 0.5, progress))
        return std::move(*failure);
    if (sink.grammarError)
        return std::move(*sink.grammarError);
    if (auto summary = sink.grammar.finish(bytes); !summary)
        return std::move(summary.error());
    if (sink.tooMany)
        return writeBlocks<false>(bytes, {}, consumer, blockBytes, progress);
    sink.runs.push_back({sink.runStart, sink.runEnd});
    std::string block;
    block.reserve(blockBytes);
    for (const jsonScan::RunSink::Run& run : sink.runs) {
        for (std::uint32_t at = run.start; at < run.end;) {
            const std::size_t take = std::min<std::size_t>(run.end - at, blockBytes - block.size());
            block.append(bytes.data() + at, take);
            at += static_cast<std::uint32_t>(take);
            if (block.size() == blockBytes) {
                if (!consumer(block))
                    return writeFailure();
                block.clear();
                if (FormatProgress::isCancelled(progress))
                    return FormatProgress::cancelledError();
            }
        }
    }
    if (!bytes.empty() && bytes.back() == '\n')
        block.push_back('\n');
    if (!block.empty() && !consumer(block))
        return writeFailure();
    return JSONBlockStream::Done{};
}

} // namespace

JSONBlockStream::Result JSONBlockStream::format(std::string_view bytes,
                                                std::optional<FormatIndent> indent,
                                                const Consumer& consumer, std::size_t blockBytes,
                                                ProgressToken* progress) {
    if (bytes.size() > JSONFormatter::maxInputBytes)
        return FormatError::unpositioned(u"Girdi çok büyük");
    blockBytes = std::max<std::size_t>(blockBytes, 1);
    if (!indent)
        return minify(bytes, consumer, blockBytes, progress);
    jsonScan::GrammarSink sink(bytes);
    if (auto failure = jsonScan::scan(bytes, sink, 0.5, progress))
        return std::move(*failure);
    if (sink.grammarError)
        return std::move(*sink.grammarError);
    auto summary = sink.grammar.finish(bytes);
    if (!summary)
        return std::move(summary.error());
    // The output is the tokens' bytes (at most the input) and, before each token, at most a
    // line break with the indentation of the deepest level.
    const std::string unit = indent->unit();
    const std::uint64_t n = bytes.size();
    const std::uint64_t limit = std::max<std::uint64_t>(16 * n, 67108864);
    const std::uint64_t perToken = 1 + static_cast<std::uint64_t>(summary->maxDepth) * unit.size();
    if (perToken > limit || sink.tokens > (limit - n) / perToken)
        return MayNotFit{};
    return writeBlocks<true>(bytes, unit, consumer, blockBytes, progress);
}

} // namespace vendrix
