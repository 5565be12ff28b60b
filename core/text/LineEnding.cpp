#include "core/text/LineEnding.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vendrix::lineEnding {

std::u16string_view sequence(LineEnding ending) {
    switch (ending) {
    case LineEnding::lf:
        return u"\n";
    case LineEnding::crlf:
        return u"\r\n";
    case LineEnding::cr:
        return u"\r";
    }
    return u"\n";
}

namespace {

/// True when `text` holds the unit `c`; eight units per step, since files are large and most
/// have no CR at all.
bool containsUnit(std::u16string_view text, char16_t c) {
    size_t i = 0;
    const size_t n = text.size();
#if defined(__SSE2__)
    const __m128i needle = _mm_set1_epi16(static_cast<short>(c));
    for (; i + 32 <= n; i += 32) {
        const auto* p = reinterpret_cast<const __m128i*>(text.data() + i);
        __m128i hit = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(_mm_loadu_si128(p), needle),
                         _mm_cmpeq_epi16(_mm_loadu_si128(p + 1), needle)),
            _mm_or_si128(_mm_cmpeq_epi16(_mm_loadu_si128(p + 2), needle),
                         _mm_cmpeq_epi16(_mm_loadu_si128(p + 3), needle)));
        if (_mm_movemask_epi8(hit) != 0)
            return true;
    }
#endif
    for (; i < n; ++i)
        if (text[i] == c)
            return true;
    return false;
}

} // namespace

std::optional<LineEnding> detect(std::u16string_view text) {
    return survey(text).dominant;
}

Survey survey(std::u16string_view text) {
    if (!containsUnit(text, u'\r'))
        return {containsUnit(text, u'\n') ? std::optional(LineEnding::lf) : std::nullopt, false};
    std::size_t lf = 0, crlf = 0, cr = 0;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        char16_t c = text[i];
        if (c == u'\r') {
            if (i + 1 < n && text[i + 1] == u'\n') {
                ++crlf;
                ++i;
            } else {
                ++cr;
            }
        } else if (c == u'\n') {
            ++lf;
        }
    }
    Survey result;
    result.mixed = (lf > 0) + (crlf > 0) + (cr > 0) > 1;
    if (lf >= crlf && lf >= cr)
        result.dominant = LineEnding::lf;
    else if (cr > crlf)
        result.dominant = LineEnding::cr;
    else
        result.dominant = LineEnding::crlf;
    return result;
}

bool needsNormalization(std::u16string_view text) { return containsUnit(text, u'\r'); }

std::u16string normalizeToLF(std::u16string_view text) {
    std::size_t firstCR = text.find(u'\r');
    if (firstCR == std::u16string_view::npos)
        return std::u16string(text);
    std::u16string out;
    out.reserve(text.size());
    out.append(text.substr(0, firstCR));
    const std::size_t n = text.size();
    for (std::size_t i = firstCR; i < n; ++i) {
        char16_t c = text[i];
        if (c == u'\r') {
            out.push_back(u'\n');
            if (i + 1 < n && text[i + 1] == u'\n')
                ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::u16string apply(LineEnding ending, std::u16string_view text) {
    if (ending == LineEnding::lf)
        return std::u16string(text);
    std::u16string_view seq = sequence(ending);
    std::size_t lfCount = static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n'));
    std::u16string out;
    out.reserve(text.size() + lfCount * (seq.size() - 1));
    for (char16_t c : text) {
        if (c == u'\n')
            out.append(seq);
        else
            out.push_back(c);
    }
    return out;
}

} // namespace vendrix::lineEnding
