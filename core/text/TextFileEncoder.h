#pragma once

#include "core/common/TextSource.h"
#include "core/text/LineEnding.h"
#include "core/text/TextEncoding.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

/// Encodes an LF-normalised text into a file's bytes piece by piece, so that a save never
/// holds a second, encoded copy of a large document: the line ending is applied while
/// encoding and each piece goes straight to the file. The concatenated pieces are exactly
/// what TextFileCodec::encode returns for the same text, encoding and line ending, and a
/// failure is the same error (the offset of an unencodable character counts UTF-16 units of
/// the text with its line ending applied).
///
/// Mostly-ASCII text takes a vectorised path (sixteen units narrowed at a time, CR written in
/// place of LF, CR LF inserted between copied runs). Not thread-safe; the text must stay
/// unchanged while the encoder reads it.
class TextFileEncoder {
public:
    /// Units of text encoded per piece unless a test asks for another size.
    static constexpr std::size_t defaultPieceUnits = std::size_t{1} << 18;

    TextFileEncoder(std::u16string_view text, TextEncoding encoding, LineEnding lineEnding,
                    std::size_t pieceUnits = defaultPieceUnits);
    /// Reads a text kept in any form (a snapshot of chunks, say) a piece at a time.
    TextFileEncoder(const TextSource& source, TextEncoding encoding, LineEnding lineEnding,
                    std::size_t pieceUnits = defaultPieceUnits);
    ~TextFileEncoder();
    TextFileEncoder(const TextFileEncoder&) = delete;
    TextFileEncoder& operator=(const TextFileEncoder&) = delete;

    /// The next piece (the byte order mark comes with the first), valid until the next call;
    /// empty once everything was encoded. Stops for good at the first unencodable character,
    /// returning the bytes before it, after which error() holds the failure and every later
    /// call returns empty.
    [[nodiscard]] std::string_view next();
    /// The same into `out`, which holds at least maxPieceBytes() (for a ring of buffers
    /// handed to another thread).
    [[nodiscard]] std::string_view next(unsigned char* out);
    /// The most bytes one piece can take.
    [[nodiscard]] std::size_t maxPieceBytes() const;
    /// True once every unit was encoded without an error.
    [[nodiscard]] bool finished() const { return m_position == length() && !m_error; }
    [[nodiscard]] const std::optional<TextEncodingError>& error() const { return m_error; }
    /// Units of the text encoded so far (for progress).
    [[nodiscard]] std::size_t position() const { return m_position; }
    [[nodiscard]] std::size_t length() const {
        return m_source ? static_cast<std::size_t>(m_source->length()) : m_text.size();
    }
    /// Starts again from the first unit (a dry run that measured the size, then the write).
    void restart();

private:
    TextFileEncoder(const TextSource* source, std::u16string_view text, TextEncoding encoding,
                    LineEnding lineEnding, std::size_t pieceUnits);
    // Encode the first `count` units of m_piece into `out`; return the bytes written.
    std::size_t encodeUTF8(std::size_t count, unsigned char* out);
    std::size_t encodeUTF16(std::size_t count, unsigned char* out);
    /// Sets `done` to the units encoded before an unencodable character.
    std::size_t encodeSingleByte(std::size_t count, unsigned char* out, std::size_t& done);

    const TextSource* m_source = nullptr;
    std::u16string_view m_text;
    /// The units being encoded (in the text, or copied from the source into m_window).
    std::u16string_view m_piece;
    std::u16string m_window;
    TextEncoding m_encoding;
    LineEnding m_lineEnding;
    std::size_t m_pieceUnits;
    std::size_t m_position = 0;
    /// CR units the line ending inserted before m_position (for error offsets).
    std::int64_t m_insertedUnits = 0;
    bool m_wroteBOM = false;
    std::optional<TextEncodingError> m_error;
    std::unique_ptr<unsigned char[]> m_buffer;
    /// Code point (below U+10000) -> byte + 1 for the single-byte encodings; 0: none.
    std::unique_ptr<std::array<std::uint8_t, 65536>> m_inverse;
};

} // namespace vendrix
