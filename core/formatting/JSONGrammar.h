#pragma once

#include "core/formatting/FormatError.h"
#include "core/formatting/JSONFormatter.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

namespace vendrix {

/// The JSON grammar as a state machine over significant tokens (comments are not given to it),
/// shared by the token validator and the streaming formatter so that both accept and reject
/// exactly the same inputs with the same messages.
class JSONGrammar {
public:
    using Kind = JSONFormatter::Kind;

    /// Takes the next significant token: the failure message for it, or null when it fits.
    [[gnu::always_inline]] const char16_t* take(Kind kind) {
        bool valueDone = false;
        switch (m_state) {
        case State::done:
            return u"Fazladan içerik (tek bir kök değer bekleniyordu)";
        case State::valueOrClose:
            if (kind == Kind::arrClose) {
                m_stack.pop_back();
                valueDone = true;
                break;
            }
            if (kind == Kind::objClose || kind == Kind::colon || kind == Kind::comma)
                return u"Değer bekleniyordu";
            [[fallthrough]];
        case State::value:
            switch (kind) {
            case Kind::objOpen:
            case Kind::arrOpen:
                m_stack.push_back(kind == Kind::objOpen);
                m_summary.maxDepth =
                    std::max(m_summary.maxDepth, static_cast<std::int64_t>(m_stack.size()));
                m_state = kind == Kind::objOpen ? State::keyOrClose : State::valueOrClose;
                break;
            case Kind::string:
            case Kind::scalar:
                valueDone = true;
                break;
            case Kind::objClose:
            case Kind::arrClose:
                if (!m_stack.empty() && m_previous == Kind::comma)
                    return u"Sondaki virgül";
                return u"Değer bekleniyordu";
            default:
                return u"Değer bekleniyordu";
            }
            break;
        case State::key:
            if (kind == Kind::string)
                m_state = State::colon;
            else if (kind == Kind::objClose)
                return u"Sondaki virgül";
            else
                return u"Anahtar (çift tırnaklı dize) bekleniyordu";
            break;
        case State::keyOrClose:
            if (kind == Kind::string) {
                m_state = State::colon;
            } else if (kind == Kind::objClose) {
                m_stack.pop_back();
                valueDone = true;
            } else {
                return u"Anahtar (çift tırnaklı dize) bekleniyordu";
            }
            break;
        case State::colon:
            if (kind != Kind::colon)
                return u"':' bekleniyordu";
            m_state = State::value;
            break;
        case State::afterValue: {
            const bool inObject = m_stack.back();
            if (kind == Kind::comma) {
                m_state = inObject ? State::key : State::value;
            } else if (kind == (inObject ? Kind::objClose : Kind::arrClose)) {
                m_stack.pop_back();
                valueDone = true;
            } else {
                return inObject ? u"',' ya da '}' bekleniyordu" : u"',' ya da ']' bekleniyordu";
            }
            break;
        }
        }
        if (valueDone) {
            ++m_summary.valueCount;
            m_state = m_stack.empty() ? State::done : State::afterValue;
        }
        m_previous = kind;
        m_anySignificant = true;
        return nullptr;
    }

    /// Notes a comment for the summary.
    void sawComment() { m_summary.hasComments = true; }

    /// The end of the input `bytes` (UTF-8, or UTF-16 units): the summary when one complete root value was read, else
    /// "Boş girdi" or the unclosed-end failure positioned at the end.
    template <class View = std::string_view>
    [[nodiscard]] std::expected<JSONFormatter::Summary, FormatError> finish(View bytes) const {
        if (m_state == State::done)
            return m_summary;
        if (!m_anySignificant)
            return std::unexpected(FormatError::unpositioned(u"Boş girdi"));
        return std::unexpected(FormatError::at(bytes, static_cast<std::int64_t>(bytes.size()),
                                               m_stack.back() ? u"Beklenmeyen son (kapanmamış '{')"
                                                              : u"Beklenmeyen son (kapanmamış '[')"));
    }

private:
    enum class State : std::uint8_t { value, valueOrClose, key, keyOrClose, colon, afterValue, done };
    JSONFormatter::Summary m_summary;
    std::vector<std::uint8_t> m_stack; // 1 for an object
    State m_state = State::value;
    Kind m_previous = Kind::comma;
    bool m_anySignificant = false;
};

} // namespace vendrix
