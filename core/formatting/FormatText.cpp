#include "core/formatting/FormatText.h"

#include "core/common/Utf8.h"
#include "core/formatting/FormatProgress.h"
#include "core/text/TextEncoding.h"

#include <algorithm>

namespace vendrix {

namespace {

// Slices between cancellation checks while converting large texts.
constexpr std::size_t kSlice = 1 << 20;
// Output up to this size is decoded in one call when it is valid UTF-8.
constexpr std::size_t kWholeDecode = std::size_t{256} << 20;

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

} // namespace

std::string FormatText::toUTF8(std::u16string_view text) {
    return utf8::encode(text);
}

std::u16string FormatText::fromUTF8(std::string_view bytes) {
    return utf8::decode(bytes);
}

bool FormatText::isValidUTF8(std::string_view bytes) {
    return textEncoding::isValidUTF8(bytes);
}

std::expected<std::string, FormatError> FormatText::inputBytes(std::u16string_view text,
                                                               ProgressToken* progress) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t i = 0;
    while (i < text.size()) {
        if (FormatProgress::isCancelled(progress))
            return std::unexpected(FormatProgress::cancelledError());
        std::size_t end = std::min(text.size(), i + kSlice);
        // Never split a surrogate pair between slices.
        if (end < text.size() && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF)
            ++end;
        utf8::append(out, text.substr(i, end - i));
        i = end;
    }
    return out;
}

void FormatText::finishBytes(std::string& output, std::string_view input) {
    std::size_t end = output.size();
    while (end > 0 && (output[end - 1] == ' ' || output[end - 1] == '\t' || output[end - 1] == '\n'))
        --end;
    output.resize(end);
    if (!input.empty() && input.back() == '\n')
        output.push_back('\n');
}

std::expected<std::u16string, FormatError> FormatText::finish(std::string output,
                                                              std::string_view input,
                                                              ProgressToken* progress) {
    finishBytes(output, input);
    // Valid UTF-8 of a size that converts well within a second goes through the file
    // decoder's vectorised pass in one piece (it would drop a leading byte-order mark, so such
    // output takes the sliced path).
    if (output.size() <= kWholeDecode && !output.starts_with("\xEF\xBB\xBF")) {
        if (FormatProgress::isCancelled(progress))
            return std::unexpected(FormatProgress::cancelledError());
        if (auto decoded = textEncoding::decode(TextEncoding::utf8, output))
            return std::move(*decoded);
    }
    std::u16string text;
    text.reserve(output.size());
    std::string_view bytes = output;
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (FormatProgress::isCancelled(progress))
            return std::unexpected(FormatProgress::cancelledError());
        std::size_t end = std::min(bytes.size(), i + kSlice);
        // Cut only before a lead byte so that no character is split between slices.
        while (end < bytes.size() && end > i && isContinuation(static_cast<unsigned char>(bytes[end])))
            --end;
        if (end == i)
            end = std::min(bytes.size(), i + kSlice);
        utf8::appendDecoded(text, bytes.substr(i, end - i));
        i = end;
    }
    return text;
}

} // namespace vendrix
