#pragma once

// Helpers shared by the benchmarks: deterministic generated inputs and a ratio printer.
#include "core/common/Utf8.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>

namespace vendrix::bench {

/// Mostly-ASCII UTF-8 text of about `bytes` bytes in lines of ~80 characters, with a Turkish
/// word now and then, deterministic for a given seed.
inline std::string makeMostlyAsciiText(std::size_t bytes, unsigned seed = 42) {
    static const char* words[] = {"int",   "return", "value", "for",     "while",  "const",
                                  "if",    "else",   "data",  "count",   "index",  "{",
                                  "}",     "();",    "= 0;",  "size",    "string", "loading",
                                  "ğüş",   "çalış"};
    std::mt19937 rng(seed);
    // About one word in fifty is Turkish: source code and logs, mostly ASCII.
    std::uniform_int_distribution<std::size_t> pick(0, std::size(words) - 3);
    std::uniform_int_distribution<int> turkish(0, 49);
    std::string out;
    out.reserve(bytes + 100);
    std::size_t lineLength = 0;
    while (out.size() < bytes) {
        out += turkish(rng) == 0 ? words[std::size(words) - 1 - rng() % 2] : words[pick(rng)];
        lineLength += 6;
        if (lineLength > 74) {
            out += '\n';
            lineLength = 0;
        } else {
            out += ' ';
        }
    }
    return out;
}

/// makeMostlyAsciiText(64 MB) as UTF-16, made on first use and kept for the process: the
/// document the search benchmarks scan.
inline const std::u16string& mostlyAsciiText64() {
    static const std::u16string text = utf8::decode(makeMostlyAsciiText(64u << 20));
    return text;
}

/// Collects per-benchmark seconds and prints "name: X× baseline" lines at exit.
class RatioReport {
public:
    static RatioReport& shared() {
        static RatioReport report;
        return report;
    }
    void record(const std::string& name, double seconds) { m_seconds[name] = seconds; }
    void print(const std::string& baseline) const {
        auto base = m_seconds.find(baseline);
        if (base == m_seconds.end() || base->second <= 0)
            return;
        std::printf("\nRatios against %s (%.3f ms):\n", baseline.c_str(), base->second * 1e3);
        for (const auto& [name, s] : m_seconds)
            std::printf("  %-48s %10.3f ms  %6.2fx\n", name.c_str(), s * 1e3, s / base->second);
    }

private:
    std::map<std::string, double> m_seconds;
};

} // namespace vendrix::bench
