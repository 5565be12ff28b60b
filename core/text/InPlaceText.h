#pragma once

#include "core/text/TextFileCodec.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace vendrix {

/// Told on the decoding thread that the first `finalUnits` units at `text` are decoded and
/// final (the counts grow call by call). A text that needs its line breaks normalised after
/// decoding is told only the units before its first CR; UTF-16 is told nothing. The units stay
/// at `text` when the text is handed over as DecodedText (the buffer moves, it is not copied).
/// A call with `finalUnits` 0 withdraws everything told before (the bytes turned out not to be
/// what decoding took them for, or the text is dropped): the callee must have stopped reading
/// the units when it returns, and nothing more is told.
using DecodedPrefix = std::function<void(const char16_t* text, std::size_t finalUnits)>;

/// One buffer that first holds a file's bytes at its end and then, decoded in place, its
/// text at its front: opening a file costs the memory of its text and nothing more, and the
/// bytes are gone once decoded. Capacity is left for a text storage's editing gap.
///
/// Decoding may start while the bytes are still arriving (decodeArrived()): from the first
/// kSampleSize bytes it takes the encoding detection would find unless a later byte says
/// otherwise (UTF-8 for a file whose sample has no byte order mark and does not look binary).
/// When a later byte is not UTF-8 after all, decode() turns the text decoded so far back into
/// its bytes, in place, and decodes those as the single-byte encoding detection picks.
class InPlaceText {
public:
    /// Memory for a file of `byteCount` bytes; may throw std::bad_alloc.
    explicit InPlaceText(std::uint64_t byteCount);
    /// Where the file's bytes go: `byteCount` writable bytes.
    char* bytes();
    /// Faults in the pages in front of the bytes, where most of the text will go. Run on
    /// another thread while the bytes are read, it overlaps the two kinds of page faults.
    void touchTextPages();
    /// Decodes the bytes among the first `arrived` (placed and final) that have not been
    /// decoded yet, `blockBytes` at a time, telling `prefix` after each block. Returns false
    /// when nothing more will be decoded before decode(): UTF-16, or bytes that are not UTF-8.
    bool decodeArrived(std::uint64_t arrived, const DecodedPrefix& prefix = {},
                       std::size_t blockBytes = kBlockBytes);
    /// Decodes the first `count` bytes placed (fewer than `byteCount` when the file ended
    /// early) exactly as TextFileCodec::decode() would, going on from what decodeArrived()
    /// did, and hands the buffer over as the text.
    DecodedText decode(std::uint64_t count, const DecodedPrefix& prefix = {},
                       std::size_t blockBytes = kBlockBytes) &&;
    /// Whether `prefix` was told some units that it was not told to forget.
    bool hasTold() const { return m_told > 0; }
    /// The front of the text, where the units told are.
    const char16_t* text() const { return m_buffer.data(); }

    static constexpr std::size_t kBlockBytes = std::size_t{4} << 20;

private:
    enum class Guess : std::uint8_t { undecided, utf8, utf8BOM, binary, utf16, notUTF8 };

    /// Decodes up to byte `end`; the bytes stop there for good when `last`.
    bool advance(std::uint64_t end, bool last, const DecodedPrefix& prefix, std::size_t blockBytes);
    /// Decodes bytes of the block at `block` from `from` to `to` as UTF-8; false at an
    /// invalid sequence, with what came before it decoded.
    bool decodeUTF8(const char* block, std::size_t from, std::size_t to);
    void tell(const DecodedPrefix& prefix);
    /// Redecodes the first `count` bytes as the single-byte encoding detection picks for
    /// data that is not UTF-8; returns it.
    TextEncoding redoAsSingleByte(std::uint64_t count);

    std::u16string m_buffer;
    std::uint64_t m_byteCount = 0;
    Guess m_guess = Guess::undecided;
    std::uint64_t m_decodedBytes = 0; // bytes decoded, from the first (a byte order mark included)
    std::size_t m_units = 0;          // the units they made
    std::size_t m_told = 0;
    bool m_hasBOM = false;
    bool m_sawCR = false; // among the decoded bytes
    bool m_sawNul = false; // among the bytes looked at by the UTF-8 decoding
};

} // namespace vendrix
