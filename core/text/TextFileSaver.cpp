#include "core/text/TextFileSaver.h"

#include "core/text/TextFileEncoder.h"

namespace vendrix::TextFileSaver {

namespace {

std::expected<UserFileWriteResult, TextFileSaveFailure>
saveWith(TextFileEncoder& encoder, const std::filesystem::path& path,
         const UserFileWriteOptions& options,
         const std::function<void(std::size_t done, std::size_t total)>& progress) {
    const UserFileContent content{[&](const UserFileContent::Sink& sink) {
        encoder.restart();
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
