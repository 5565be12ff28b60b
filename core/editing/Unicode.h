#pragma once

// Unicode helpers for the editing operations: grapheme clusters with an ASCII fast path,
// named property predicates and locale-free case mapping. Thread-safe: every thread uses
// its own break iterator.

#include <cstddef>
#include <string>
#include <string_view>

namespace vendrix::unicode {

/// The code point at `offset` (a lone surrogate is returned as itself) and its length in
/// UTF-16 units.
struct ScalarAt {
    char32_t value;
    std::size_t length;
};
ScalarAt scalarAt(std::u16string_view text, std::size_t offset);

/// The first code point of `text`; U+0000 for an empty text.
char32_t firstScalar(std::u16string_view text);

/// True when `text[offset]` starts a one-unit cluster that needs no segmentation: an ASCII
/// unit other than CR whose next unit (if any) is not above U+02FF, so no combining mark can
/// attach to it.
inline bool isSimpleAsciiUnit(std::u16string_view text, std::size_t offset) {
    char16_t u = text[offset];
    return u < 0x80 && u != u'\r' && (offset + 1 == text.size() || text[offset + 1] <= 0x02FF);
}

/// Extended grapheme cluster boundaries (root locale) over one text. The text must outlive
/// the object. Offsets are UTF-16 units relative to the start of `text`.
class GraphemeClusters {
public:
    explicit GraphemeClusters(std::u16string_view text) : m_text(text) {}
    ~GraphemeClusters();
    GraphemeClusters(const GraphemeClusters&) = delete;
    GraphemeClusters& operator=(const GraphemeClusters&) = delete;

    /// End of the cluster that starts at `offset` (offset < size); at least offset + 1.
    std::size_t clusterEnd(std::size_t offset) const;
    /// Start of the cluster that contains the unit at `offset - 1` (offset > 0).
    std::size_t clusterStart(std::size_t offset) const;
    /// True when a cluster begins (or the text ends) at `offset` (offset <= size).
    bool isBoundary(std::size_t offset) const;

    std::u16string_view text() const { return m_text; }

private:
    std::u16string_view m_text;
};

/// Calls `visit(start, end)` for every grapheme cluster of `text`, in order.
template <typename Visit> void forEachCluster(std::u16string_view text, Visit&& visit) {
    GraphemeClusters clusters(text);
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = isSimpleAsciiUnit(text, at) ? at + 1 : clusters.clusterEnd(at);
        visit(at, end);
        at = end;
    }
}

// Named property predicates, one per wording used by the editing rules.

/// Unicode White_Space property (spaces, tabs, line and paragraph separators, ...).
bool isWhitespace(char32_t c);
/// A letter: general category L.
bool isLetter(char32_t c);
/// A number: any code point with a numeric type (digits, numerals, fractions).
bool isNumber(char32_t c);
/// Alphanumeric in the wide sense used for word deletion: general categories L, M and N.
bool isAlphanumeric(char32_t c);
/// A character of a word for word moves, word selection and word deletion: a letter, a
/// mark, a number or the underscore.
bool isWordCharacter(char32_t c);

/// What a character is to word moves: a word is a run of clusters of one class (white space
/// and LF aside), so "foo();" holds the word "foo" and the punctuation run "();".
enum class WordClass { space, word, punctuation, lineBreak };
WordClass wordClass(char32_t c);

/// Unicode Emoji_Presentation property.
bool hasEmojiPresentation(char32_t c);

/// True when every scalar of `text` is white space (an empty text is).
bool isAllWhitespace(std::u16string_view text);

/// Full Unicode upper-casing in the root locale ("i" becomes "I", never "İ").
std::u16string upperCased(std::u16string_view text);
/// Full Unicode lower-casing in the root locale, after turning every "İ" (U+0130) into a
/// plain "i" so that no combining dot is left behind.
std::u16string lowerCased(std::u16string_view text);

/// True when `text` is already in canonical composition (NFC), so that it is its own
/// canonical form. Fast for texts below U+0300, which always are.
bool isCanonicallyComposed(std::u16string_view text);
/// Canonical composition (NFC): two texts are canonically equivalent exactly when their
/// compositions are equal.
std::u16string canonicalComposition(std::u16string_view text);

} // namespace vendrix::unicode
