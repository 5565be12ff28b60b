#include "app/features/highlighting/SyntaxTheme.h"

#include <QPalette>

#include <array>

namespace vendrix::app {

namespace {

struct Variants {
    QRgb light;
    QRgb dark;
};

// In TokenKind order.
constexpr std::array<Variants, allTokenKinds.size()> kKindColors{{
    {0x9B2393, 0xFC5FA3}, // keyword
    {0x0B4F79, 0x5DD8FF}, // type
    {0x326D74, 0x67B7A4}, // function
    {0xC41A16, 0xFC6A5D}, // string
    {0x1C00CF, 0xD0BF69}, // number
    {0x6C36A9, 0xA167E6}, // constant
    {0x5D6C79, 0x7F8C98}, // comment
    {0x643820, 0xFD8F3F}, // preprocessor
    {0x815F03, 0xBF8555}, // attribute
    {0x0F68A0, 0x41A1C0}, // property
    {0x3E8087, 0x9EF1DD}, // variable
    {0x1F5BA8, 0xFF8170}, // tag
    {0x707070, 0xA0A0A0}, // punctuation
    {0x1F5BA8, 0x6BAAF0}, // heading
    {0x7A3E9D, 0xD9A2F2}, // emphasis
    {0xB4451F, 0xF2A35E}, // strong
    {0x0E64C8, 0x6BB7FF}, // link
}};

QColor pick(Variants variants, bool dark, double alpha = 1.0) {
    QColor color(dark ? variants.dark : variants.light);
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

} // namespace

QString SyntaxTheme::colorName(TokenKind kind) {
    const std::string_view raw = rawValue(kind);
    return QStringLiteral("vendrix.syntax.") +
           QString::fromLatin1(raw.data(), static_cast<qsizetype>(raw.size()));
}

QColor SyntaxTheme::color(TokenKind kind, bool dark) {
    const auto index = static_cast<std::size_t>(kind);
    if (index >= kKindColors.size())
        return {};
    return pick(kKindColors[index], dark);
}

QColor SyntaxTheme::currentLine(bool dark) {
    return pick({0x000000, 0xFFFFFF}, dark, 0.055);
}

QColor SyntaxTheme::bracketMatch(bool dark) {
    return pick({0x2F7DF6, 0x4C8DFF}, dark, 0.3);
}

QColor SyntaxTheme::bracketMismatch(bool dark) {
    return pick({0xE5383B, 0xFF5C5C}, dark, 0.4);
}

QColor SyntaxTheme::selectedWord(bool dark) {
    return pick({0xF5C518, 0xB8860B}, dark, dark ? 0.45 : 0.35);
}

bool SyntaxTheme::isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightnessF() <
           palette.color(QPalette::WindowText).lightnessF();
}

} // namespace vendrix::app
