#pragma once

#include "core/syntax/TokenKind.h"

#include <cstdint>
#include <type_traits>
#include <utility>

namespace vendrix {

/// A non-owning reference to the callback that receives a tokenizer's tokens as
/// (location relative to the line start, length, kind). Empty when default-constructed: the
/// tokenizer then only computes the state. Cheap to copy; never outlives the callable.
class TokenEmitter {
public:
    TokenEmitter() = default;
    template <typename F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, TokenEmitter>)
        TokenEmitter(F&& callable) // implicit by design, like a function reference
        : m_context((void*)&callable),
          m_call([](void* context, std::int64_t location, std::int64_t length, TokenKind kind) {
              (*static_cast<std::remove_reference_t<F>*>(context))(location, length, kind);
          }) {}

    explicit operator bool() const { return m_call != nullptr; }
    void operator()(std::int64_t location, std::int64_t length, TokenKind kind) const {
        m_call(m_context, location, length, kind);
    }
    /// Emits a non-empty token when there is a callback; does nothing otherwise.
    void token(std::int64_t location, std::int64_t length, TokenKind kind) const {
        if (m_call != nullptr && length > 0)
            m_call(m_context, location, length, kind);
    }

private:
    void* m_context = nullptr;
    void (*m_call)(void*, std::int64_t, std::int64_t, TokenKind) = nullptr;
};

/// A line tokenizer: a pure function of (line units, incoming state). Tokens are emitted in
/// increasing location order and never overlap; the returned state is the state at the
/// start of the next line, and it is the same whether or not an emitter is given. State 0 is
/// the state at the start of a document; the meaning of the other values is private to each
/// tokenizer. Implementations are immutable and safe to share between threads.
class SyntaxTokenizer {
public:
    virtual ~SyntaxTokenizer() = default;
    /// Tokenizes `units[0 ..< count]`, one line without its LF.
    [[nodiscard]] virtual std::uint32_t tokenizeLine(const char16_t* units, std::int64_t count,
                                                     std::uint32_t state,
                                                     TokenEmitter emit) const = 0;
};

} // namespace vendrix
