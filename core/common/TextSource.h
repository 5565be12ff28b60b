#pragma once

#include "core/common/TextRange.h"

#include <cstdint>
#include <string_view>

namespace vendrix {

/// Read access to a UTF-16 text that need not be stored contiguously (the editor keeps its
/// text in a gap buffer). Core algorithms that walk a document take this interface and read
/// it in chunks, so they never force the storage to become one string.
class TextSource {
public:
    virtual ~TextSource() = default;
    /// Length in UTF-16 code units.
    virtual std::int64_t length() const = 0;
    /// Copies the units of `range` to `out`; the range must fit the text.
    virtual void copyUnits(TextRange range, char16_t* out) const = 0;
};

/// A TextSource over a contiguous string; it does not own the characters.
class StringTextSource final : public TextSource {
public:
    explicit StringTextSource(std::u16string_view text) : m_text(text) {}
    std::int64_t length() const override { return static_cast<std::int64_t>(m_text.size()); }
    void copyUnits(TextRange range, char16_t* out) const override {
        m_text.copy(out, static_cast<size_t>(range.length), static_cast<size_t>(range.location));
    }
    std::u16string_view view() const { return m_text; }

private:
    std::u16string_view m_text;
};

} // namespace vendrix
