#include "core/text/TextFileLoader.h"

#include <cerrno>

namespace vendrix::TextFileLoader {

std::expected<LoadedTextFile, UserFileError> load(const std::filesystem::path& path,
                                                  UserFileReadOptions options, Progress progress) {
    if (progress)
        options.progress = [&progress](std::uint64_t done, std::uint64_t expected) {
            const double share =
                expected == 0 ? 1.0 : std::min(1.0, static_cast<double>(done) / static_cast<double>(expected));
            return progress(share * kReadFraction);
        };
    auto decoded = UserFileDecoder::read(path, options);
    if (!decoded)
        return std::unexpected(decoded.error());
    const auto cancelled = [&] {
        return std::unexpected(UserFileError{UserFileErrorKind::cancelled, "read", path.string(), ECANCELED});
    };
    if (progress && !progress(kDecodedFraction))
        return cancelled(); // the decoded text goes with `decoded`
    LoadedTextFile loaded{std::move(*decoded), LineIndex()};
    loaded.index = LineIndex(std::u16string_view(loaded.file.decoded.text));
    if (progress && !progress(1.0))
        return cancelled();
    return loaded;
}

} // namespace vendrix::TextFileLoader
