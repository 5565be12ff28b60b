#pragma once

#include "core/text/LineIndex.h"
#include "core/text/UserFileDecoder.h"

#include <expected>
#include <filesystem>
#include <functional>

namespace vendrix {

/// A user's file read, decoded and indexed: everything opening it needs before a document
/// takes the text, so that all of it can run away from the thread that paints.
struct LoadedTextFile {
    DecodedUserFile file;
    /// The line index of `file.decoded.text`.
    LineIndex index;
};

/// Reads a user's file through UserFileDecoder and builds its line index, reporting progress
/// as one fraction over the three steps. Runs on any thread.
namespace TextFileLoader {

/// Called on the loading thread with the fraction done (0...1, never going down); returning
/// false cancels the load, which then fails as `cancelled` having freed what it held.
using Progress = std::function<bool(double fraction)>;

/// The share of the fraction the read covers; decoding takes it to kDecodedFraction.
inline constexpr double kReadFraction = 0.75;
inline constexpr double kDecodedFraction = 0.92;

[[nodiscard]] std::expected<LoadedTextFile, UserFileError>
load(const std::filesystem::path& path, UserFileReadOptions options = {}, Progress progress = {});

} // namespace TextFileLoader
} // namespace vendrix
