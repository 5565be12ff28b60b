#pragma once

#include "core/formatting/FormatError.h"
#include "core/formatting/FormatIndent.h"

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

class ProgressToken;

/// Validates, pretty-prints and minifies JSON, optionally with every object's members sorted
/// by key. Comments (`//` and `/* */`) are accepted, kept when pretty-printing (travelling with
/// their member when sorting) and dropped when minifying.
///
/// No value tree is built: the UTF-8 bytes are tokenized once into 12-byte token records,
/// the token sequence is checked by a state machine, and the output is written by copying the
/// tokens' bytes (strings and numbers are reproduced exactly) and adding white space and, when
/// sorting, commas. Nothing recurses on nesting depth. Inputs are limited to 4294967294 bytes.
/// Re-entrant; every operation reports progress to and observes cancellation through the
/// `progress` token it takes (null: none).
struct JSONFormatter {
    enum class Kind : std::uint8_t {
        objOpen,
        objClose,
        arrOpen,
        arrClose,
        colon,
        comma,
        string,
        scalar,
        lineComment,
        blockComment,
    };

    /// One token: bytes start..<end of the input; `newlineBefore` when a line feed stands
    /// between the previous token and this one.
    struct Tok {
        std::uint32_t start;
        std::uint32_t end;
        Kind kind;
        bool newlineBefore;
    };

    /// The token records of one input. Grows in place (the storage is reallocated, which for
    /// large arrays remaps pages instead of copying them); move-only.
    class TokenArray {
    public:
        TokenArray() = default;
        TokenArray(TokenArray&& other) noexcept;
        TokenArray& operator=(TokenArray&& other) noexcept;
        ~TokenArray();

        /// Makes room for at least `capacity` tokens; false when memory is exhausted.
        [[nodiscard]] bool reserve(std::size_t capacity);
        /// Appends a token; the caller has made room (size() < capacity()).
        void append(const Tok& tok) { m_data[m_size++] = tok; }
        std::size_t size() const { return m_size; }
        std::size_t capacity() const { return m_capacity; }
        const Tok& operator[](std::size_t index) const { return m_data[index]; }
        operator std::span<const Tok>() const { return {m_data, m_size}; }

    private:
        Tok* m_data = nullptr;
        std::size_t m_size = 0;
        std::size_t m_capacity = 0;
    };

    /// What validation found: whether there are comments, the deepest container nesting (0 for
    /// a bare scalar) and the number of values (strings and scalars in value position, and
    /// each container once; object keys are not values).
    struct Summary {
        bool hasComments = false;
        std::int64_t maxDepth = 0;
        std::int64_t valueCount = 0;
        friend bool operator==(const Summary&, const Summary&) = default;
    };

    /// The largest input in bytes.
    static constexpr std::uint64_t maxInputBytes = 4294967294u;

    [[nodiscard]] static std::expected<Summary, FormatError> validate(
        std::u16string_view text, ProgressToken* progress = nullptr);
    [[nodiscard]] static std::expected<std::u16string, FormatError> pretty(
        std::u16string_view text, FormatIndent indent, bool sortKeys,
        ProgressToken* progress = nullptr);
    [[nodiscard]] static std::expected<std::u16string, FormatError> minify(
        std::u16string_view text, bool sortKeys, ProgressToken* progress = nullptr);
    /// Unsorted pretty output, the same as pretty(text, indent, false), with its line starts
    /// in `lineStarts` as LineIndex holds them (0, then the offset after each line feed):
    /// recorded while writing, so a caller indexing the output needs no pass over it. Left
    /// empty when the output was not made that way (or on failure).
    [[nodiscard]] static std::expected<std::u16string, FormatError> pretty(
        std::u16string_view text, FormatIndent indent, std::vector<std::int64_t>& lineStarts,
        ProgressToken* progress = nullptr);

    /// The same operations on UTF-8 bytes; the output bytes are finished (trailing white space
    /// removed, a final line feed kept) but not checked for valid UTF-8. Unsorted output is
    /// streamed (streamUTF8), sorted output goes through the token array (formatTokensUTF8).
    [[nodiscard]] static std::expected<Summary, FormatError> validateUTF8(
        std::string_view bytes, ProgressToken* progress = nullptr);
    [[nodiscard]] static std::expected<std::string, FormatError> formatUTF8(
        std::string_view bytes, std::optional<FormatIndent> indent, bool sortKeys,
        ProgressToken* progress = nullptr);

    /// The operations on a file's bytes read as UTF-8, invalid sequences standing for U+FFFD:
    /// valid UTF-8 is worked on in place, anything else is decoded first. The output is UTF-8,
    /// the same as encoding the result of the text operations on the decoded bytes.
    [[nodiscard]] static std::expected<Summary, FormatError> validateFileBytes(
        std::string_view bytes, ProgressToken* progress = nullptr);
    [[nodiscard]] static std::expected<std::string, FormatError> formatFileBytes(
        std::string_view bytes, std::optional<FormatIndent> indent, bool sortKeys,
        ProgressToken* progress = nullptr);

    /// Unsorted pretty (with an indent) or minified output in one pass with no token array:
    /// the same bytes and the same errors as formatTokensUTF8 with sorting off. Progress
    /// covers 0...1.
    [[nodiscard]] static std::expected<std::string, FormatError> streamUTF8(
        std::string_view bytes, std::optional<FormatIndent> indent,
        ProgressToken* progress = nullptr);
    /// The same on UTF-16 text, UTF-16 out: the result of streamUTF8 on the text's UTF-8 form,
    /// decoded (unpaired surrogates become U+FFFD), and finished. Positions are the same.
    [[nodiscard]] static std::expected<std::u16string, FormatError> streamUTF16(
        std::u16string_view text, std::optional<FormatIndent> indent,
        ProgressToken* progress = nullptr);
    /// The token pipeline: tokenize, validate, (sort,) write, finish.
    [[nodiscard]] static std::expected<std::string, FormatError> formatTokensUTF8(
        std::string_view bytes, std::optional<FormatIndent> indent, bool sortKeys,
        ProgressToken* progress = nullptr);

    /// The token array of `bytes` (progress 0...0.45).
    [[nodiscard]] static std::expected<TokenArray, FormatError> tokenize(
        std::string_view bytes, ProgressToken* progress = nullptr);
    /// Checks the tokens against the grammar (progress 0.45...0.55).
    [[nodiscard]] static std::expected<Summary, FormatError> validateTokens(
        std::string_view bytes, std::span<const Tok> tokens, ProgressToken* progress = nullptr);
    /// Writes validated tokens (progress 0.55...1.0) in input order, or in `sortedOrder` when
    /// given; pretty with an indent, minified without. The output is not yet finished.
    [[nodiscard]] static std::expected<std::string, FormatError> write(
        std::string_view bytes, std::span<const Tok> tokens, std::optional<FormatIndent> indent,
        const std::vector<std::int32_t>* sortedOrder, ProgressToken* progress = nullptr);
    /// The write order with every object's members sorted by key: token indices, -1 for a
    /// comma the writer inserts. Expects tokens that passed validation.
    [[nodiscard]] static std::vector<std::int32_t> sortedWriteOrder(
        std::string_view bytes, std::span<const Tok> tokens, ProgressToken* progress = nullptr);
};

static_assert(sizeof(JSONFormatter::Tok) == 12);

} // namespace vendrix
