#include "core/text/TextFileLoader.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace vendrix::TextFileLoader {

namespace {

/// Builds the table of line starts on a second thread, following the decoder through the
/// units it reports final, so that the index is ready about when the text is.
class FollowingIndexer {
public:
    explicit FollowingIndexer(std::uint64_t expectedUnits) {
        m_starts.reserve(static_cast<std::size_t>(expectedUnits / 64 + 16));
        m_starts.push_back(0);
        m_thread = std::thread([this] { run(); });
    }
    ~FollowingIndexer() { finish(); }

    /// From the decoding thread.
    void decoded(const char16_t* text, std::size_t finalUnits) {
        std::lock_guard lock(m_mutex);
        m_text = text;
        m_ready = finalUnits;
        m_changed.notify_one();
    }
    /// Waits for the thread; the starts then cover the first scanned() units.
    void finish() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
            m_changed.notify_one();
        }
        if (m_thread.joinable())
            m_thread.join();
    }
    std::size_t scanned() const { return m_scanned; }
    std::vector<std::int64_t> takeStarts() { return std::move(m_starts); }

private:
    void run() {
        for (;;) {
            const char16_t* text = nullptr;
            std::size_t ready = 0;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_done || m_ready > m_scanned; });
                if (m_ready == m_scanned)
                    return; // done, and everything told was scanned
                text = m_text;
                ready = m_ready;
            }
            LineIndex::appendLineStarts(std::u16string_view(text + m_scanned, ready - m_scanned),
                                        static_cast<std::int64_t>(m_scanned), m_starts);
            m_scanned = ready;
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    const char16_t* m_text = nullptr;
    std::size_t m_ready = 0;
    bool m_done = false;
    // Only the indexing thread touches these until it is joined.
    std::size_t m_scanned = 0;
    std::vector<std::int64_t> m_starts;
    std::thread m_thread;
};

} // namespace

std::expected<LoadedTextFile, UserFileError> load(const std::filesystem::path& path,
                                                  UserFileReadOptions options, Progress progress) {
    // Told from the loading thread only, never lower than before (a file read again after it
    // grew starts its read over).
    double reported = 0;
    const auto report = [&](double fraction) {
        reported = std::max(reported, fraction);
        return !progress || progress(reported);
    };
    std::atomic<std::uint64_t> expected = 0;
    options.progress = [&](std::uint64_t done, std::uint64_t size) {
        expected = size;
        const double share =
            size == 0 ? 1.0 : std::min(1.0, static_cast<double>(done) / static_cast<double>(size));
        return report(share * kReadFraction);
    };
    const std::thread::id loading = std::this_thread::get_id();
    std::optional<FollowingIndexer> indexer;
    bool withdrawn = false;
    bool stopped = false;
    auto decoded = UserFileDecoder::read(path, options, [&](const char16_t* text, std::size_t units) {
        if (units == 0) {
            // What was told is no longer the text: the index is made afresh below.
            indexer.reset();
            withdrawn = true;
            return;
        }
        if (!indexer)
            indexer.emplace(expected);
        indexer->decoded(text, units);
        // Decoding beside the read is shown by the read's progress; what is left after it,
        // here. Units stand in for bytes: close enough for a bar. Decoding itself goes on
        // after a cancel; its result is dropped below.
        const std::uint64_t size = expected;
        if (std::this_thread::get_id() == loading && progress && !stopped && size > 0) {
            const double share = std::min(1.0, static_cast<double>(units) / static_cast<double>(size));
            stopped = !report(kReadFraction + share * (kDecodedFraction - kReadFraction));
        }
    });
    if (indexer)
        indexer->finish();
    if (!decoded)
        return std::unexpected(decoded.error());
    const auto cancelled = [&] {
        return std::unexpected(UserFileError{UserFileErrorKind::cancelled, "read", path.string(), ECANCELED});
    };
    if (stopped || !report(kDecodedFraction))
        return cancelled(); // the decoded text goes with `decoded`
    LoadedTextFile loaded{std::move(*decoded), LineIndex()};
    const std::u16string& text = loaded.file.decoded.text;
    const std::size_t scanned = indexer && !withdrawn ? indexer->scanned() : 0;
    if (scanned > 0 && scanned <= text.size()) {
        // The units told are the text's first; those after them (normalised, or decoded
        // after the last report) are indexed here.
        std::vector<std::int64_t> starts = indexer->takeStarts();
        LineIndex::appendLineStarts(std::u16string_view(text).substr(scanned),
                                    static_cast<std::int64_t>(scanned), starts);
        loaded.index = LineIndex(std::move(starts), static_cast<std::int64_t>(text.size()));
    } else { // UTF-16, or read again: indexed here
        loaded.index = LineIndex(std::u16string_view(text));
    }
    if (!report(1.0))
        return cancelled();
    return loaded;
}

} // namespace vendrix::TextFileLoader
