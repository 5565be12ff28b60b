// The JSON writer: copies token bytes in input or sorted order and adds only white space and,
// when sorting, commas.
//
// The writing loops keep the output's position and capacity in local variables: byte stores
// may alias any object in memory, so state held in members would be reloaded after each store.
#include "core/formatting/FormatProgress.h"
#include "core/formatting/JSONFormatter.h"

#include <algorithm>
#include <cstring>

namespace vendrix {

namespace {

using Kind = JSONFormatter::Kind;
using Tok = JSONFormatter::Tok;

constexpr double kWriteFrom = 0.55;
constexpr double kWriteTo = 1.0;
// Room ensured before each token for its punctuation, a pending space and a short token copy.
constexpr std::size_t kSlack = 64;
// Line breaks with indentation up to this length are written with one fixed-size copy.
constexpr std::size_t kShortLine = 32;
// Tokens longer than this are copied in slices, checking for cancellation between them.
constexpr std::size_t kSlice = 1 << 20;

const char16_t* const kTooLarge = u"Çıktı çok büyük (aşırı iç içe yapı); Küçült kullanılabilir";

// Grows the output storage to hold at least `need` bytes; returns its new data pointer.
[[gnu::noinline]] char* growOutput(std::string& storage, std::size_t need) {
    storage.resize(std::max(storage.size() * 2, need));
    return storage.data();
}

// Builds "\n" and repeated indent units, at least twice `indentBytes` of them, by doubling;
// padded to kShortLine bytes. Returns the number of real bytes.
[[gnu::noinline]] std::size_t regrowLineRun(std::string& lineRun, const std::string& unit,
                                            std::uint64_t indentBytes) {
    const std::uint64_t target = 2 * indentBytes;
    std::string run = unit;
    run.reserve(target);
    while (run.size() < target)
        run.append(run, 0, std::min<std::uint64_t>(run.size(), target - run.size()));
    lineRun = "\n" + run;
    const std::size_t usable = lineRun.size();
    lineRun.resize(std::max<std::size_t>(usable, kShortLine), ' ');
    return usable;
}

std::expected<std::string, FormatError> writeMinified(std::string_view input,
                                                      std::span<const Tok> tokenSpan,
                                                      ProgressToken* progress) {
    // Minified output never exceeds the input, so the buffer is sized once; the loop keeps its
    // positions in locals because byte stores may alias any member.
    std::string out;
    out.resize(input.size() + 16);
    char* const dst = out.data();
    const char* const src = input.data();
    const std::size_t inputSize = input.size();
    const std::size_t count = tokenSpan.size();
    const Tok* const tokens = tokenSpan.data();
    std::size_t size = 0;
    FormatProgress::WindowCheckpoints checkpoint(progress, static_cast<std::int64_t>(count), kWriteFrom,
                                                kWriteTo);
    for (std::size_t index = 0; index < count; ++index) {
        if (!checkpoint(static_cast<std::int64_t>(index)))
            return std::unexpected(FormatProgress::cancelledError());
        const Tok tok = tokens[index];
        if (tok.kind == Kind::lineComment || tok.kind == Kind::blockComment)
            continue;
        const std::size_t length = tok.end - tok.start;
        if (length <= 16 && tok.start + 16 <= inputSize) {
            std::memcpy(dst + size, src + tok.start, 16);
        } else {
            // Long tokens go in slices so that cancellation is noticed.
            for (std::size_t done = 0; done < length; done += kSlice) {
                std::memcpy(dst + size + done, src + tok.start + done,
                            std::min(kSlice, length - done));
                if (length - done > kSlice && FormatProgress::isCancelled(progress))
                    return std::unexpected(FormatProgress::cancelledError());
            }
        }
        size += length;
    }
    out.resize(size);
    return out;
}

template <bool Pretty, typename Order>
std::expected<std::string, FormatError> writeOrdered(std::string_view input,
                                                     std::span<const Tok> tokens,
                                                     const std::string& unit, std::size_t count,
                                                     Order order, ProgressToken* progress) {
    enum class Pending : std::uint8_t { none, space, newline };
    const std::uint64_t limit =
        std::max<std::uint64_t>(16 * static_cast<std::uint64_t>(input.size()), 67108864);
    std::string storage;
    storage.resize(std::max<std::size_t>(Pretty ? input.size() + input.size() / 2 : input.size(),
                                          kSlack));
    char* data = storage.data();
    std::size_t size = 0;
    std::size_t capacity = storage.size();
    std::string lineRun = std::string("\n") + std::string(kShortLine - 1, ' ');
    std::uint64_t lineRunUsable = 1;
    std::uint64_t depth = 0;
    Pending pending = Pending::none;
    const char* const src = input.data();

    auto ensure = [&](std::size_t more) {
        if (size + more > capacity) {
            data = growOutput(storage, size + more);
            capacity = storage.size();
        }
    };
    auto tooLarge = [&](std::size_t at) {
        return std::unexpected(FormatError::at(input, static_cast<std::int64_t>(at), kTooLarge));
    };
    // A line feed and `depth` indent units; false when that alone would pass the limit.
    auto newline = [&]() {
        const std::uint64_t lineBytes = 1 + depth * unit.size();
        if (size + lineBytes > limit)
            return false;
        if (lineRunUsable < lineBytes)
            lineRunUsable = regrowLineRun(lineRun, unit, lineBytes - 1);
        ensure(lineBytes + kSlack);
        if (lineBytes <= kShortLine)
            std::memcpy(data + size, lineRun.data(), kShortLine);
        else
            std::memcpy(data + size, lineRun.data(), lineBytes);
        size += lineBytes;
        return true;
    };
    auto flush = [&]() {
        if (pending == Pending::space) {
            data[size++] = ' ';
        } else if (pending == Pending::newline) {
            if (!newline())
                return false;
        }
        pending = Pending::none;
        return true;
    };
    // False when cancelled while copying a long token.
    auto copy = [&](const Tok& tok) {
        const std::size_t length = tok.end - tok.start;
        if (length <= 16 && tok.start + 16 <= input.size()) {
            std::memcpy(data + size, src + tok.start, 16);
            size += length;
            return true;
        }
        ensure(length + kSlack);
        for (std::size_t done = 0; done < length; done += kSlice) {
            std::memcpy(data + size + done, src + tok.start + done, std::min(kSlice, length - done));
            if (length - done > kSlice && FormatProgress::isCancelled(progress))
                return false;
        }
        size += length;
        return true;
    };

    FormatProgress::WindowCheckpoints checkpoint(progress, static_cast<std::int64_t>(count), kWriteFrom,
                                                kWriteTo);
    for (std::size_t position = 0; position < count; ++position) {
        if (!checkpoint(static_cast<std::int64_t>(position)))
            return std::unexpected(FormatProgress::cancelledError());
        ensure(kSlack);
        const std::int32_t index = order(position);
        if (index < 0) {
            // A comma inserted between sorted members.
            if (!flush())
                return tooLarge(input.size());
            data[size++] = ',';
            pending = Pretty ? Pending::newline : Pending::none;
            continue;
        }
        const Tok tok = tokens[static_cast<std::size_t>(index)];
        switch (tok.kind) {
        case Kind::objOpen:
        case Kind::arrOpen: {
            if (!flush())
                return tooLarge(tok.start);
            data[size++] = src[tok.start];
            const std::int32_t next = position + 1 < count ? order(position + 1) : -1;
            if (next >= 0 && (tokens[static_cast<std::size_t>(next)].kind == Kind::objClose ||
                              tokens[static_cast<std::size_t>(next)].kind == Kind::arrClose)) {
                data[size++] = src[tokens[static_cast<std::size_t>(next)].start];
                ++position;
            } else {
                ++depth;
                pending = Pretty ? Pending::newline : Pending::none;
            }
            break;
        }
        case Kind::objClose:
        case Kind::arrClose:
            --depth;
            if (Pretty ? !newline() : !flush())
                return tooLarge(tok.start);
            data[size++] = src[tok.start];
            pending = Pending::none;
            break;
        case Kind::colon:
            if (!flush())
                return tooLarge(tok.start);
            data[size++] = ':';
            pending = Pretty ? Pending::space : Pending::none;
            break;
        case Kind::comma:
            if (!flush())
                return tooLarge(tok.start);
            data[size++] = ',';
            pending = Pretty ? Pending::newline : Pending::none;
            break;
        case Kind::string:
        case Kind::scalar:
            if (!flush())
                return tooLarge(tok.start);
            if (!copy(tok))
                return std::unexpected(FormatProgress::cancelledError());
            pending = Pending::none;
            break;
        case Kind::lineComment:
        case Kind::blockComment:
            if (!Pretty)
                break;
            if (size == 0) {
                pending = Pending::newline;
            } else if (tok.newlineBefore) {
                if (!newline())
                    return tooLarge(tok.start);
                pending = Pending::newline;
            } else {
                data[size++] = ' ';
                if (tok.kind == Kind::lineComment)
                    pending = Pending::newline;
            }
            if (!copy(tok))
                return std::unexpected(FormatProgress::cancelledError());
            break;
        }
        if (size > limit)
            return tooLarge(tok.start);
    }
    storage.resize(size);
    return storage;
}

} // namespace

std::expected<std::string, FormatError> JSONFormatter::write(
    std::string_view bytes, std::span<const Tok> tokens, std::optional<FormatIndent> indent,
    const std::vector<std::int32_t>* sortedOrder, ProgressToken* progress) {
    const std::string unit = indent ? indent->unit() : std::string();
    if (sortedOrder) {
        auto order = [&](std::size_t i) { return (*sortedOrder)[i]; };
        return indent ? writeOrdered<true>(bytes, tokens, unit, sortedOrder->size(), order,
                                           progress)
                      : writeOrdered<false>(bytes, tokens, unit, sortedOrder->size(), order,
                                            progress);
    }
    if (!indent)
        return writeMinified(bytes, tokens, progress);
    return writeOrdered<true>(
        bytes, tokens, unit, tokens.size(),
        [](std::size_t i) { return static_cast<std::int32_t>(i); }, progress);
}

} // namespace vendrix
