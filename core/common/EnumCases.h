#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

namespace vendrix {

/// One case of an enumeration and its raw value, the identifier it is stored and named by.
template <typename E> struct EnumCase {
    E value;
    std::string_view raw;
};

/// The one list of an enumeration's cases with their raw values, from which its case list,
/// raw values and parsing come. The list must name every case once, in declaration order, for
/// an enumeration numbered from zero (the compiler refuses another order), so that a case's
/// raw value is found by its number.
template <typename E, std::size_t N> class EnumCases {
public:
    consteval EnumCases(const EnumCase<E> (&list)[N]) {
        for (std::size_t i = 0; i < N; ++i) {
            if (std::to_underlying(list[i].value) != static_cast<std::underlying_type_t<E>>(i))
                throw "the cases must be listed once each, in declaration order";
            for (std::size_t j = 0; j < i; ++j)
                if (list[j].raw == list[i].raw)
                    throw "raw values must be distinct";
            m_values[i] = list[i].value;
            m_raw[i] = list[i].raw;
        }
    }

    /// Every case, in declaration order.
    constexpr const std::array<E, N>& all() const { return m_values; }
    /// The raw values, in declaration order.
    constexpr const std::array<std::string_view, N>& rawValues() const { return m_raw; }
    constexpr std::string_view rawValue(E value) const {
        const auto index = static_cast<std::size_t>(std::to_underlying(value));
        return index < N ? m_raw[index] : std::string_view();
    }
    /// Exact, case-sensitive.
    constexpr std::optional<E> fromRawValue(std::string_view raw) const {
        for (std::size_t i = 0; i < N; ++i)
            if (m_raw[i] == raw)
                return m_values[i];
        return std::nullopt;
    }
    /// The case's position in the list.
    constexpr std::size_t indexOf(E value) const {
        return static_cast<std::size_t>(std::to_underlying(value));
    }

private:
    std::array<E, N> m_values{};
    std::array<std::string_view, N> m_raw{};
};

/// `EnumCases` with the count taken from the list:
///   inline constexpr auto cases = enumCases<LineEnding>({{LineEnding::lf, "lf"}, ...});
template <typename E, std::size_t N>
consteval EnumCases<E, N> enumCases(const EnumCase<E> (&list)[N]) {
    return EnumCases<E, N>(list);
}

} // namespace vendrix
