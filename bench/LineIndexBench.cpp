// Adding and removing a line break in a text of 12.7 M lines (the line count of a 1 GB file),
// at its start, middle and end, against the memmove a flat table of starts pays for the same
// edit at the start (one entry inserted and erased in a vector of 12.7 M offsets).
#include "core/common/TextSource.h"
#include "core/text/LineIndex.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kLines = 12'700'000;
constexpr std::int64_t kLineUnits = 80; // 79 characters and an LF
constexpr int kRounds = 41;

/// kLines lines of kLineUnits units, optionally with one extra LF at `extraAt`, made up on
/// request so that the 1 GB text never exists in memory.
class SyntheticText final : public vendrix::TextSource {
public:
    explicit SyntheticText(std::int64_t extraAt = -1) : m_extraAt(extraAt) {}
    std::int64_t length() const override { return kLines * kLineUnits + (m_extraAt >= 0); }
    void copyUnits(vendrix::TextRange range, char16_t* out) const override {
        for (std::int64_t i = 0; i < range.length; ++i)
            out[i] = unitAt(range.location + i);
    }

private:
    char16_t unitAt(std::int64_t offset) const {
        if (m_extraAt >= 0 && offset >= m_extraAt) {
            if (offset == m_extraAt)
                return u'\n';
            --offset;
        }
        if (offset % kLineUnits == kLineUnits - 1)
            return u'\n';
        return static_cast<char16_t>(u'a' + offset % 26);
    }
    std::int64_t m_extraAt;
};

double medianMs(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2] * 1e3;
}

/// The first and the median round of inserting an LF at `offset` and removing it again (two
/// updates per round).
std::pair<double, double> enterAndBackspace(vendrix::LineIndex& index, std::int64_t offset) {
    const SyntheticText plain;
    const SyntheticText withBreak(offset);
    std::vector<double> samples;
    for (int round = 0; round < kRounds; ++round) {
        auto start = Clock::now();
        index.update({offset, 1}, 1, withBreak);
        index.update({offset, 0}, -1, plain);
        samples.push_back(std::chrono::duration<double>(Clock::now() - start).count() / 2);
    }
    if (index.lineCount() != kLines + 1 || index.lineStart(kLines) != (kLines) * kLineUnits)
        std::printf("  WRONG RESULT: %lld lines\n", static_cast<long long>(index.lineCount()));
    return {samples.front() * 1e3, medianMs(samples)};
}

} // namespace

int main() {
    std::vector<double> samples;
    std::vector<std::int64_t> flat(static_cast<size_t>(kLines + 1));
    for (size_t i = 0; i < flat.size(); ++i)
        flat[i] = static_cast<std::int64_t>(i) * kLineUnits;
    for (int round = 0; round < kRounds; ++round) {
        auto start = Clock::now();
        flat.insert(flat.begin() + 1, 1);
        flat.erase(flat.begin() + 1);
        samples.push_back(std::chrono::duration<double>(Clock::now() - start).count() / 2);
    }
    const double baseline = medianMs(samples);

    // The bulk build from a contiguous text, against copying that text.
    std::u16string text(64u << 20, u'x');
    for (size_t i = kLineUnits - 1; i < text.size(); i += kLineUnits)
        text[i] = u'\n';
    std::u16string copy(text.size(), u' ');
    std::vector<double> copySamples, buildSamples;
    for (int round = 0; round < 9; ++round) {
        auto start = Clock::now();
        std::memcpy(copy.data(), text.data(), text.size() * sizeof(char16_t));
        copySamples.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        start = Clock::now();
        vendrix::LineIndex built(text);
        buildSamples.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        if (built.lineCount() != static_cast<std::int64_t>(text.size() / kLineUnits) + 1)
            std::printf("  WRONG RESULT: %lld lines\n", static_cast<long long>(built.lineCount()));
    }
    std::printf("LineIndex build of 64 Mi units: %.1f ms, %.2fx a copy of the text (%.1f ms)\n",
                medianMs(buildSamples), medianMs(buildSamples) / medianMs(copySamples),
                medianMs(copySamples));
    text = {};
    copy = {};

    auto start = Clock::now();
    vendrix::LineIndex index{SyntheticText()};
    const double buildMs = std::chrono::duration<double>(Clock::now() - start).count() * 1e3;
    std::printf("LineIndex of %lld lines built in %.0f ms (through a generated source)\n",
                static_cast<long long>(index.lineCount()), buildMs);
    std::printf("Line break added and removed, median of %d, per update:\n", kRounds);
    std::printf("  %-40s %9.1f us  1.00x\n", "flat table, at the start (baseline)",
                baseline * 1e3);
    const std::pair<const char*, std::int64_t> places[] = {
        {"LineIndex, at the start", 0},
        {"LineIndex, in the middle", kLines / 2 * kLineUnits + 5},
        {"LineIndex, at the end", kLines * kLineUnits},
    };
    for (const auto& [name, offset] : places) {
        // The first edit at a new place moves the gap there; the median shows the keystrokes
        // that follow.
        const auto [first, ms] = enterAndBackspace(index, offset);
        std::printf("  %-40s %9.1f us  %.4fx (target <= 2 ms; first edit there %.1f ms)\n",
                    name, ms * 1e3, ms / baseline, first);
    }
    return 0;
}
