// The token array and the token pipeline's tokenizing step.
#include "core/formatting/JSONFormatter.h"
#include "core/formatting/JSONScan.h"

#include <cstdint>
#include <cstdlib>
#include <utility>

namespace vendrix {

namespace {

// Tokenizing covers this share of a job's progress in the token pipeline.
constexpr double kTokenPhaseEnd = 0.45;

} // namespace

JSONFormatter::TokenArray::TokenArray(TokenArray&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_capacity(std::exchange(other.m_capacity, 0)) {}

JSONFormatter::TokenArray& JSONFormatter::TokenArray::operator=(TokenArray&& other) noexcept {
    if (this != &other) {
        std::free(m_data);
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

JSONFormatter::TokenArray::~TokenArray() {
    std::free(m_data);
}

bool JSONFormatter::TokenArray::reserve(std::size_t capacity) {
    if (capacity <= m_capacity)
        return true;
    if (capacity > SIZE_MAX / sizeof(Tok))
        return false;
    // Tok is trivially copyable, so realloc may move (or remap) the storage.
    void* grown = std::realloc(m_data, capacity * sizeof(Tok));
    if (grown == nullptr)
        return false;
    m_data = static_cast<Tok*>(grown);
    m_capacity = capacity;
    return true;
}

std::expected<JSONFormatter::TokenArray, FormatError> JSONFormatter::tokenize(std::string_view bytes,
                                                                              ProgressToken* progress) {
    if (bytes.size() > maxInputBytes)
        return std::unexpected(FormatError::unpositioned(u"Girdi çok büyük"));
    // Reserved for one token per six bytes.
    jsonScan::TokenArraySink sink;
    if (!sink.tokens.reserve(bytes.size() / 6 + 16))
        return std::unexpected(sink.failure());
    if (auto failure = jsonScan::scan(bytes, sink, kTokenPhaseEnd, progress))
        return std::unexpected(std::move(*failure));
    return std::move(sink.tokens);
}

} // namespace vendrix
