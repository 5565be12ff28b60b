#include "core/text/TextFileCodec.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace vendrix::TextFileCodec {

namespace {

std::optional<TextEncoding> utf16WithoutBOM(std::string_view sample) {
    if (sample.size() < 4 || sample.size() % 2 != 0)
        return std::nullopt;
    const size_t pairs = sample.size() / 2;
    size_t evenZeros = 0, oddZeros = 0;
    for (size_t i = 0; i < sample.size(); i += 2) {
        evenZeros += sample[i] == 0;
        oddZeros += sample[i + 1] == 0;
    }
    if (oddZeros * 10 >= pairs * 9 && evenZeros * 10 <= pairs)
        return TextEncoding::utf16LENoBOM;
    if (evenZeros * 10 >= pairs * 9 && oddZeros * 10 <= pairs)
        return TextEncoding::utf16BENoBOM;
    return std::nullopt;
}

/// True when the bytes, read in `encoding`, certainly hold no CR: in UTF-8 and the single-byte
/// encodings the byte 0D is CR and nothing else, and the bytes are half the size of the text.
bool bytesRuleOutCR(std::string_view data, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::utf8:
    case TextEncoding::utf8BOM:
    case TextEncoding::windows1254:
    case TextEncoding::isoLatin5:
    case TextEncoding::isoLatin1:
        return std::memchr(data.data(), '\r', data.size()) == nullptr;
    default:
        return false;
    }
}

/// True when the decoded text holds U+0000: in the byte encodings exactly a NUL byte.
bool holdsNul(std::string_view data, std::u16string_view text, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::utf16LE:
    case TextEncoding::utf16BE:
    case TextEncoding::utf16LENoBOM:
    case TextEncoding::utf16BENoBOM:
        return text.find(u'\0') != std::u16string_view::npos;
    default:
        return std::memchr(data.data(), '\0', data.size()) != nullptr;
    }
}

/// LF-normalised text with the line ending found before normalising (`lf` without any), and
/// what the user is told about on opening: mixed line endings, NUL characters.
void normalize(DecodedText& result, std::string_view data) {
    result.holdsNul = !result.isBinary && holdsNul(data, result.text, result.encoding);
    // Without any CR the answer is LF either way, and the text stays as it is.
    if (bytesRuleOutCR(data, result.encoding) || !lineEnding::needsNormalization(result.text)) {
        result.lineEnding = LineEnding::lf;
        return;
    }
    const lineEnding::Survey found = lineEnding::survey(result.text);
    result.lineEnding = found.dominant.value_or(LineEnding::lf);
    result.mixedLineEndings = found.mixed;
    result.text = lineEnding::normalizeToLF(result.text);
}

} // namespace

bool looksBinary(std::string_view sample, size_t nulCount) {
    if (sample.empty())
        return false;
    if (nulCount * 100 >= sample.size())
        return true;
    size_t suspicious = 0;
    for (char ch : sample) {
        auto b = static_cast<unsigned char>(ch);
        if (b < 0x20 && b != 0x09 && b != 0x0A && b != 0x0C && b != 0x0D && b != 0x1B)
            ++suspicious;
    }
    return suspicious * 10 >= sample.size();
}

std::optional<DetectedEncoding> detectFromSample(std::string_view data) {
    const std::string_view sample = data.substr(0, kSampleSize);
    if (sample.starts_with("\xEF\xBB\xBF"))
        return DetectedEncoding{TextEncoding::utf8BOM, false};
    if (sample.starts_with("\xFF\xFE"))
        return DetectedEncoding{TextEncoding::utf16LE, false};
    if (sample.starts_with("\xFE\xFF"))
        return DetectedEncoding{TextEncoding::utf16BE, false};
    // Most samples have no NUL at all: memchr says so at memory speed, where counting them
    // would cost a slow pass over every file opened or searched.
    if (std::memchr(sample.data(), 0, sample.size()) != nullptr) {
        const auto nulCount = static_cast<size_t>(std::count(sample.begin(), sample.end(), '\0'));
        if (auto utf16 = utf16WithoutBOM(sample))
            return DetectedEncoding{*utf16, false};
        if (looksBinary(sample, nulCount))
            return DetectedEncoding{TextEncoding::isoLatin1, true};
    }
    return std::nullopt;
}

bool hasWindows1254Byte(std::string_view data) {
    for (char ch : data) {
        auto b = static_cast<unsigned char>(ch);
        if ((b >= 0x80 && b <= 0x9F) || b == 0xD0 || b == 0xDD || b == 0xDE || b == 0xF0 ||
            b == 0xFD || b == 0xFE)
            return true;
    }
    return false;
}

namespace {

DetectedEncoding singleByteGuess(std::string_view data) {
    return {hasWindows1254Byte(data) ? TextEncoding::windows1254 : TextEncoding::isoLatin1, false};
}

} // namespace

DetectedEncoding detectEncoding(std::string_view data) {
    if (auto found = detectFromSample(data))
        return *found;
    if (textEncoding::isValidUTF8(data))
        return {TextEncoding::utf8, false};
    return singleByteGuess(data);
}

DecodedText decode(std::string_view data) {
    // Validating UTF-8 and decoding it are one pass; detection would otherwise read the whole
    // file twice.
    std::expected<std::u16string, TextEncodingError> decoded;
    DetectedEncoding detected;
    if (auto found = detectFromSample(data)) {
        detected = *found;
        decoded = textEncoding::decode(detected.encoding, data);
    } else if (auto utf8 = textEncoding::decode(TextEncoding::utf8, data)) {
        detected = {TextEncoding::utf8, false};
        decoded = std::move(utf8);
    } else {
        detected = singleByteGuess(data);
        decoded = textEncoding::decode(detected.encoding, data);
    }
    DecodedText result;
    result.isBinary = detected.isBinary;
    if (!decoded) {
        // ISO-8859-1 maps every byte, so the user always gets a document.
        result.text = textEncoding::decode(TextEncoding::isoLatin1, data).value_or(u"");
        result.encoding = TextEncoding::isoLatin1;
        normalize(result, data);
        return result;
    }
    result.text = std::move(*decoded);
    result.encoding = detected.encoding;
    if (detected.isBinary) {
        result.lineEnding = LineEnding::lf; // binary content is shown exactly as read
        return result;
    }
    normalize(result, data);
    return result;
}

std::expected<DecodedText, TextEncodingError> decode(std::string_view data, TextEncoding encoding) {
    auto decoded = textEncoding::decode(encoding, data);
    if (!decoded)
        return std::unexpected(decoded.error());
    DecodedText result;
    result.text = std::move(*decoded);
    result.encoding = encoding;
    normalize(result, data);
    return result;
}

std::expected<std::string, TextEncodingError> encode(std::u16string_view text,
                                                     TextEncoding encoding, LineEnding ending) {
    if (ending == LineEnding::lf)
        return textEncoding::encode(encoding, text);
    return textEncoding::encode(encoding, lineEnding::apply(ending, text));
}

} // namespace vendrix::TextFileCodec
