#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

/// A 128-bit universally unique identifier. Its textual form is the canonical 36-character
/// "8-4-4-4-12" hexadecimal layout in upper case; parsing accepts either letter case.
struct Uuid {
    std::array<std::uint8_t, 16> bytes{};

    /// A fresh random (version 4) identifier.
    [[nodiscard]] static Uuid random();
    /// Parses exactly 36 characters: hexadecimal digits of either case with hyphens after
    /// the 8th, 12th, 16th and 20th digit. Anything else gives none.
    [[nodiscard]] static std::optional<Uuid> parse(std::string_view text);
    /// The canonical upper-case textual form.
    [[nodiscard]] std::string uuidString() const;

    friend bool operator==(const Uuid&, const Uuid&) = default;
    friend auto operator<=>(const Uuid&, const Uuid&) = default;
};

} // namespace vendrix

template <> struct std::hash<vendrix::Uuid> {
    std::size_t operator()(const vendrix::Uuid& uuid) const noexcept {
        std::uint64_t a = 0, b = 0;
        for (int i = 0; i < 8; ++i) {
            a = (a << 8) | uuid.bytes[static_cast<std::size_t>(i)];
            b = (b << 8) | uuid.bytes[static_cast<std::size_t>(i + 8)];
        }
        return std::hash<std::uint64_t>{}(a ^ (b * 0x9E3779B97F4A7C15ull));
    }
};
