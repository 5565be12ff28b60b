#include "core/text/TextFileSaver.h"

#include "core/text/TextFileEncoder.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vendrix::TextFileSaver {

namespace {

using Progress = std::function<void(std::size_t done, std::size_t total)>;

/// Encodes on a helper thread while the calling thread writes, so that the encoding hides
/// behind the copying into the file: the pieces pass through a small ring of buffers. Returns
/// what a content producer returns (false: the sink stopped, or the encoder failed).
bool producePipelined(TextFileEncoder& encoder, const UserFileContent::Sink& sink,
                      const Progress& progress) {
    constexpr std::size_t kBuffers = 3;
    struct Ready {
        std::size_t buffer;
        std::size_t size;
        std::size_t position;
    };
    std::vector<std::unique_ptr<unsigned char[]>> buffers;
    for (std::size_t k = 0; k < kBuffers; ++k)
        buffers.push_back(std::make_unique<unsigned char[]>(encoder.maxPieceBytes()));
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::size_t> free{0, 1, 2};
    std::deque<Ready> ready;
    bool encoded = false; // the encoder has stopped (finished or failed)
    bool stopped = false; // the writer has stopped

    std::thread encoding([&] {
        for (;;) {
            std::size_t buffer;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stopped || !free.empty(); });
                if (stopped)
                    break;
                buffer = free.front();
                free.pop_front();
            }
            const std::string_view piece = encoder.next(buffers[buffer].get());
            const bool last = piece.empty() || encoder.error();
            std::lock_guard lock(mutex);
            if (last) {
                encoded = true;
                changed.notify_all();
                break;
            }
            ready.push_back({buffer, piece.size(), encoder.position()});
            changed.notify_all();
        }
    });
    bool complete = true;
    for (;;) {
        Ready piece{};
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return encoded || !ready.empty(); });
            if (ready.empty())
                break; // encoded, and everything written
            piece = ready.front();
            ready.pop_front();
        }
        const bool written = sink(
            {reinterpret_cast<const char*>(buffers[piece.buffer].get()), piece.size});
        if (written && progress)
            progress(piece.position, encoder.length());
        std::lock_guard lock(mutex);
        if (!written) {
            stopped = true;
            complete = false;
            changed.notify_all();
            break;
        }
        free.push_back(piece.buffer);
        changed.notify_all();
    }
    encoding.join();
    return complete && !encoder.error();
}

bool produceInline(TextFileEncoder& encoder, const UserFileContent::Sink& sink,
                   const Progress& progress) {
    for (;;) {
        const std::string_view piece = encoder.next();
        if (encoder.error())
            return false;
        if (piece.empty())
            return true;
        if (!sink(piece))
            return false;
        if (progress)
            progress(encoder.position(), encoder.length());
    }
}

std::expected<UserFileWriteResult, TextFileSaveFailure>
saveWith(TextFileEncoder& encoder, const std::filesystem::path& path,
         const UserFileWriteOptions& options, const Progress& progress) {
    // A text of one or two pieces is not worth a thread.
    const bool pipelined = encoder.length() > 2 * TextFileEncoder::defaultPieceUnits;
    const UserFileContent content{[&](const UserFileContent::Sink& sink) {
        encoder.restart();
        return pipelined ? producePipelined(encoder, sink, progress)
                         : produceInline(encoder, sink, progress);
    }};
    auto written = UserFileWriter::write(content, path, options);
    if (written)
        return std::move(*written);
    if (encoder.error())
        return std::unexpected(TextFileSaveFailure{encoder.error(), std::nullopt});
    return std::unexpected(TextFileSaveFailure{std::nullopt, std::move(written.error())});
}

} // namespace

std::expected<UserFileWriteResult, TextFileSaveFailure>
save(std::u16string_view text, TextEncoding encoding, LineEnding lineEnding,
     const std::filesystem::path& path, const UserFileWriteOptions& options,
     const std::function<void(std::size_t done, std::size_t total)>& progress) {
    TextFileEncoder encoder(text, encoding, lineEnding);
    return saveWith(encoder, path, options, progress);
}

std::expected<UserFileWriteResult, TextFileSaveFailure>
save(const TextSource& text, TextEncoding encoding, LineEnding lineEnding,
     const std::filesystem::path& path, const UserFileWriteOptions& options,
     const std::function<void(std::size_t done, std::size_t total)>& progress) {
    TextFileEncoder encoder(text, encoding, lineEnding);
    return saveWith(encoder, path, options, progress);
}

} // namespace vendrix::TextFileSaver
