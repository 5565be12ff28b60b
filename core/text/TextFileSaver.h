#pragma once

#include "core/common/TextSource.h"
#include "core/text/LineEnding.h"
#include "core/text/TextEncoding.h"
#include "core/text/UserFileWriter.h"

#include <cstddef>
#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

namespace vendrix {

/// Why saving a text failed: it could not be encoded (nothing was written), or the file could
/// not be written (the old file is as it was, see UserFileWriter), or the save was cancelled.
struct TextFileSaveFailure {
    std::optional<TextEncodingError> encoding;
    std::optional<UserFileError> file;

    [[nodiscard]] bool wasCancelled() const {
        return !encoding && file && file->kind == UserFileErrorKind::cancelled;
    }
};

/// Saves an LF-normalised text to a user's file, encoding it piece by piece straight into the
/// file (see TextFileEncoder) through UserFileWriter's safe write. `progress`, when given, is
/// called after each piece with the units done and the text's length; it runs on the calling
/// thread, which may be a worker: the text must stay unchanged until the call returns.
namespace TextFileSaver {

[[nodiscard]] std::expected<UserFileWriteResult, TextFileSaveFailure>
save(std::u16string_view text, TextEncoding encoding, LineEnding lineEnding,
     const std::filesystem::path& path, const UserFileWriteOptions& options = {},
     const std::function<void(std::size_t done, std::size_t total)>& progress = {});
/// The same for a text kept in any form, read a piece at a time.
[[nodiscard]] std::expected<UserFileWriteResult, TextFileSaveFailure>
save(const TextSource& text, TextEncoding encoding, LineEnding lineEnding,
     const std::filesystem::path& path, const UserFileWriteOptions& options = {},
     const std::function<void(std::size_t done, std::size_t total)>& progress = {});

} // namespace TextFileSaver
} // namespace vendrix
