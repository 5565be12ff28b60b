#include "core/syntax/HighlightEngine.h"

#include "core/syntax/LanguageCatalog.h"

#include <algorithm>

namespace vendrix {

std::unique_ptr<HighlightEngine> HighlightEngine::create(std::string_view languageID,
                                                         std::int64_t lineCount,
                                                         std::int64_t maxLineLength) {
    const LanguageDefinition* definition = LanguageCatalog::definition(languageID);
    if (!definition || !definition->tokenizer)
        return nullptr;
    return std::make_unique<HighlightEngine>(definition->id, definition->tokenizer, lineCount,
                                             maxLineLength);
}

HighlightEngine::HighlightEngine(std::string languageID,
                                 std::shared_ptr<const SyntaxTokenizer> tokenizer,
                                 std::int64_t lineCount, std::int64_t maxLineLength)
    : m_languageID(std::move(languageID)), m_tokenizer(std::move(tokenizer)),
      m_maxLineLength(std::max<std::int64_t>(maxLineLength, 0)),
      m_lineCount(std::max<std::int64_t>(lineCount, 1)) {}

void HighlightEngine::reset(std::int64_t lineCount) {
    m_states.reset();
    m_validCount = 1;
    m_breaks.clear();
    m_lineCount = std::max<std::int64_t>(lineCount, 1);
}

std::pair<std::int64_t, std::int64_t>
HighlightEngine::readLine(std::int64_t line, const TextSource& text, const LineIndex& lineIndex) {
    TextRange range = lineIndex.range(line);
    // Never read past the text, even when the index and the text disagree.
    const std::int64_t textLength = text.length();
    std::int64_t start = std::clamp<std::int64_t>(range.location, 0, textLength);
    std::int64_t count = std::clamp<std::int64_t>(range.length, 0, textLength - start);
    count = std::min(count, m_maxLineLength);
    const auto needed = static_cast<std::size_t>(std::max<std::int64_t>(count, 256));
    if (m_buffer.size() < needed)
        m_buffer.resize(needed);
    if (count > 0)
        text.copyUnits(TextRange{start, count}, m_buffer.data());
    return {start, count};
}

std::int64_t HighlightEngine::breakContaining(std::int64_t line) const {
    auto it = std::upper_bound(
        m_breaks.begin(), m_breaks.end(), line,
        [](std::int64_t value, const LineSpan& span) { return value < span.lower; });
    if (it == m_breaks.begin())
        return -1;
    --it;
    return line < it->upper ? it - m_breaks.begin() : -1;
}

void HighlightEngine::storeState(std::int64_t k, std::uint32_t state) {
    if (k < m_validCount)
        return;
    const auto known = m_states.size();
    if (k == known) {
        m_states.pushBack(state);
        m_validCount = k + 1;
        return;
    }
    if (k > known) {
        // Callers store consecutive lines; a gap would leave unknown entries behind.
        m_states.splice(known, 0, k - known);
        m_states.pushBack(state);
        m_validCount = k + 1;
        return;
    }
    const std::int64_t holder = breakContaining(k);
    if (holder < 0 && m_states[k] == state) {
        // Converged: the remembered states agree with the text up to the next break.
        auto next = std::upper_bound(
            m_breaks.begin(), m_breaks.end(), k,
            [](std::int64_t value, const LineSpan& span) { return value < span.lower; });
        std::int64_t limit = next == m_breaks.end() ? known : next->lower;
        m_validCount = std::max(k + 1, limit);
        return;
    }
    m_states.set(k, state);
    if (holder >= 0) {
        LineSpan span = m_breaks[static_cast<std::size_t>(holder)];
        m_breaks.erase(m_breaks.begin() + holder);
        if (k + 1 < span.upper)
            m_breaks.insert(m_breaks.begin() + holder, LineSpan{k + 1, span.upper});
        if (span.lower < k)
            m_breaks.insert(m_breaks.begin() + holder, LineSpan{span.lower, k});
    }
    m_validCount = k + 1;
}

void HighlightEngine::catchUp(std::int64_t line, const TextSource& text,
                              const LineIndex& lineIndex) {
    while (m_validCount <= line) {
        const std::int64_t from = m_validCount - 1;
        auto [start, count] = readLine(from, text, lineIndex);
        (void)start;
        std::uint32_t next =
            m_tokenizer->tokenizeLine(m_buffer.data(), count, m_states[from], TokenEmitter{});
        ++m_linesScanned;
        storeState(from + 1, next);
    }
}

void HighlightEngine::markFrontier() {
    if (m_validCount < m_states.size() && breakContaining(m_validCount) < 0) {
        m_breaks.push_back(LineSpan{m_validCount, m_validCount + 1});
        normaliseBreaks();
    }
}

void HighlightEngine::normaliseBreaks() {
    std::erase_if(m_breaks, [](const LineSpan& span) { return span.upper <= span.lower; });
    std::sort(m_breaks.begin(), m_breaks.end(),
              [](const LineSpan& a, const LineSpan& b) { return a.lower < b.lower; });
    std::vector<LineSpan> merged;
    merged.reserve(m_breaks.size());
    for (const LineSpan& span : m_breaks) {
        if (!merged.empty() && span.lower <= merged.back().upper)
            merged.back().upper = std::max(merged.back().upper, span.upper);
        else
            merged.push_back(span);
    }
    m_breaks = std::move(merged);
}

void HighlightEngine::clampBreaks() {
    const auto known = m_states.size();
    for (LineSpan& span : m_breaks)
        span.upper = std::min(span.upper, known);
    std::erase_if(m_breaks, [](const LineSpan& span) { return span.upper <= span.lower; });
}

void HighlightEngine::checkLineCount(const LineIndex& lineIndex) {
    const std::int64_t n = lineIndex.lineCount();
    if (n != m_lineCount || n < m_states.size())
        reset(n);
}

void HighlightEngine::noteEdit(TextRange editedRange, const LineIndex& lineIndex) {
    const std::int64_t n = lineIndex.lineCount();
    const std::int64_t delta = n - m_lineCount;
    m_lineCount = n;

    const std::int64_t textLength = lineIndex.length();
    const std::int64_t location = std::clamp<std::int64_t>(editedRange.location, 0, textLength);
    const std::int64_t end = std::clamp<std::int64_t>(
        editedRange.location + std::max<std::int64_t>(editedRange.length, 0), location, textLength);
    const std::int64_t s = lineIndex.lineNumber(location);
    const std::int64_t e = lineIndex.lineNumber(end);
    const std::int64_t eOld = e - delta;
    if (eOld < s) {
        // The report does not fit what the engine saw before (an edit went unreported);
        // nothing remembered can be trusted.
        reset(n);
        return;
    }
    const std::int64_t h = s + 1;
    const std::int64_t g = eOld + 1;
    m_validCount = std::min(m_validCount, h);

    auto known = m_states.size();
    if (h >= known) {
        std::erase_if(m_breaks, [h](const LineSpan& span) { return span.lower >= h; });
        return;
    }
    if (g >= known) {
        m_states.truncate(h);
        std::erase_if(m_breaks, [h](const LineSpan& span) { return span.lower >= h; });
        clampBreaks();
        return;
    }

    // states[h ... g] become e - s + 1 placeholders for states[h ... e + 1].
    const std::int64_t removed = g - h + 1;
    const std::int64_t inserted = e - s + 1;
    m_states.splice(h, removed, inserted);

    // Breaks keep the parts outside the replaced entries: the part below h as it is and the
    // part after g moved by delta. (Dropping a break that straddles the edit would let later
    // placeholders pass for trusted states.)
    std::vector<LineSpan> rebuilt;
    rebuilt.reserve(m_breaks.size() + 2);
    for (const LineSpan& span : m_breaks) {
        if (span.lower < h)
            rebuilt.push_back(LineSpan{span.lower, std::min(span.upper, h)});
        if (span.upper > g + 1) {
            std::int64_t lower = std::max(span.lower, g + 1);
            rebuilt.push_back(LineSpan{lower + delta, span.upper + delta});
        }
    }
    rebuilt.push_back(LineSpan{h, e + 2});
    m_breaks = std::move(rebuilt);
    normaliseBreaks();
    clampBreaks();
}

template <typename Visit>
void HighlightEngine::forEachToken(std::int64_t firstLine, std::int64_t lastLine,
                                   const TextSource& text, const LineIndex& lineIndex,
                                   Visit&& visit) {
    checkLineCount(lineIndex);
    const std::int64_t n = lineIndex.lineCount();
    if (lastLine < firstLine)
        return;
    const std::int64_t first = std::clamp<std::int64_t>(firstLine, 0, n - 1);
    const std::int64_t last = std::max(first, std::min(n - 1, lastLine));
    catchUp(first, text, lineIndex);
    for (std::int64_t i = first; i <= last; ++i) {
        auto [start, count] = readLine(i, text, lineIndex);
        auto emit = [&, lineStart = start](std::int64_t location, std::int64_t length,
                                           TokenKind kind) {
            if (length > 0)
                visit(Token(lineStart + location, length, kind));
        };
        std::uint32_t next =
            m_tokenizer->tokenizeLine(m_buffer.data(), count, m_states[i], TokenEmitter(emit));
        ++m_linesScanned;
        if (i + 1 < n)
            storeState(i + 1, next);
    }
    markFrontier();
}

std::vector<Token> HighlightEngine::tokens(std::int64_t firstLine, std::int64_t lastLine,
                                           const TextSource& text, const LineIndex& lineIndex) {
    std::vector<Token> result;
    forEachToken(firstLine, lastLine, text, lineIndex,
                 [&](const Token& token) { result.push_back(token); });
    return result;
}

void HighlightEngine::visitTokens(std::int64_t firstLine, std::int64_t lastLine,
                                  const TextSource& text, const LineIndex& lineIndex,
                                  const TokenVisitor& visit) {
    forEachToken(firstLine, lastLine, text, lineIndex, visit);
}

std::vector<Token> HighlightEngine::tokens(TextRange range, const TextSource& text,
                                           const LineIndex& lineIndex) {
    std::vector<Token> result;
    if (range.length <= 0)
        return result;
    const std::int64_t firstLine = lineIndex.lineNumber(range.location);
    const std::int64_t lastLine = lineIndex.lineNumber(range.location + range.length - 1);
    forEachToken(firstLine, lastLine, text, lineIndex, [&](const Token& token) {
        auto overlap = token.range.intersection(range);
        if (overlap && overlap->length > 0)
            result.emplace_back(overlap->location, overlap->length, token.kind);
    });
    return result;
}

std::uint32_t HighlightEngine::state(std::int64_t line, const TextSource& text,
                                     const LineIndex& lineIndex) {
    checkLineCount(lineIndex);
    const std::int64_t target = std::clamp<std::int64_t>(line, 0, lineIndex.lineCount() - 1);
    catchUp(target, text, lineIndex);
    markFrontier();
    return m_states[target];
}

std::vector<Token> HighlightEngine::tokenize(std::u16string_view text,
                                             std::string_view languageID) {
    LineIndex index(text);
    auto engine = create(languageID, index.lineCount(), 20000);
    if (!engine)
        return {};
    StringTextSource source(text);
    return engine->tokens(0, index.lineCount() - 1, source, index);
}

} // namespace vendrix
