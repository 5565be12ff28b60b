#include "core/text/UserFileDecoder.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace vendrix {

namespace {

/// Files from this size on have their text pages faulted in on a second thread.
constexpr std::uint64_t kTouchAsideBytes = std::uint64_t{32} << 20;

/// Bytes decoded beside the read between two looks at whether to stop.
constexpr std::uint64_t kStretchBytes = std::uint64_t{32} << 20;

/// Decodes the bytes of an InPlaceText on its own thread as the reader reports them placed,
/// so that decoding runs beside the reading rather than after it.
class AheadDecoder {
public:
    AheadDecoder() = default;
    AheadDecoder(const AheadDecoder&) = delete;
    AheadDecoder& operator=(const AheadDecoder&) = delete;
    ~AheadDecoder() { stop(); }

    void start(InPlaceText& text, const DecodedPrefix& prefix) {
        m_thread = std::thread([this, &text, &prefix] { run(text, prefix); });
    }
    /// From the reading thread: the first `count` bytes are placed.
    void arrived(std::uint64_t count) {
        if (!m_thread.joinable())
            return;
        {
            std::lock_guard lock(m_mutex);
            m_arrived = count;
        }
        m_changed.notify_one();
    }
    /// Waits for the thread, which leaves what it has not decoded yet to InPlaceText::decode().
    void stop() {
        if (!m_thread.joinable())
            return;
        {
            std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_one();
        m_thread.join();
    }

private:
    void run(InPlaceText& text, const DecodedPrefix& prefix) {
        std::uint64_t done = 0;
        for (;;) {
            std::uint64_t arrived = 0;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_stopped || m_arrived > done; });
                if (m_stopped)
                    return;
                arrived = m_arrived;
            }
            // A bounded stretch at a time, so that a stop waits for little.
            const std::uint64_t upTo = std::min(arrived, done + kStretchBytes);
            if (!text.decodeArrived(upTo, prefix))
                return; // nothing more to do before all the bytes are in
            done = upTo;
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uint64_t m_arrived = 0;
    bool m_stopped = false;
    std::thread m_thread;
};

} // namespace

namespace UserFileDecoder {

std::expected<DecodedUserFile, UserFileError> read(const std::filesystem::path& path,
                                                   UserFileReadOptions options,
                                                   const DecodedPrefix& prefix) {
    if (options.memoryPerByte == 0)
        options.memoryPerByte = kMemoryPerByte;
    std::optional<InPlaceText> text;
    // Both joined before `text` goes.
    std::jthread toucher;
    AheadDecoder ahead;
    const auto progress = std::move(options.progress);
    options.progress = [&](std::uint64_t done, std::uint64_t size) {
        if (progress && !progress(done, size))
            return false;
        ahead.arrived(done);
        return true;
    };
    auto placed = UserFileReader::readInto(path, options, [&](std::uint64_t size) {
        text.emplace(size);
        // One read chunk or less leaves nothing to decode beside the reading. Decoding beside
        // it, the decoder faults the text's pages in itself, each just before it writes there
        // (a page touched aside long before has left the cache by then: 1 GB opened in
        // 0.72 s against 0.80 s with them touched aside, on two cores). Otherwise a large
        // file's text pages are faulted in beside the read instead of after it.
        if (size > options.chunkSize)
            ahead.start(*text, prefix);
        else if (size >= kTouchAsideBytes)
            toucher = std::jthread([&text] { text->touchTextPages(); });
        return text->bytes();
    });
    ahead.stop();
    if (toucher.joinable())
        toucher.join();
    const auto drop = [&] {
        if (text && text->hasTold() && prefix)
            prefix(text->text(), 0);
        text.reset();
    };
    if (!placed) {
        drop();
        return std::unexpected(placed.error());
    }
    if (placed->grew) {
        // Appended to while being read: read it the general way, which follows growth.
        drop();
        auto contents = UserFileReader::read(path, options);
        if (!contents)
            return std::unexpected(contents.error());
        return DecodedUserFile{TextFileCodec::decode(contents->bytes), contents->stamp,
                               contents->endedEarly};
    }
    return DecodedUserFile{std::move(*text).decode(placed->size, prefix), placed->stamp,
                           placed->endedEarly};
}

} // namespace UserFileDecoder
} // namespace vendrix
