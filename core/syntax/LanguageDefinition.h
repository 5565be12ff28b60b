#pragma once

#include "core/syntax/SyntaxTokenizer.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vendrix {

/// A block comment's delimiters.
struct BlockComment {
    std::u16string open;
    std::u16string close;
    friend bool operator==(const BlockComment&, const BlockComment&) = default;
};

/// One language the editor knows: identifier, display name, how files are recognised, the
/// comment markers used by comment toggling and the line tokenizer used for highlighting.
/// Immutable; the tokenizer is shared, immutable and thread-safe.
struct LanguageDefinition {
    /// A LanguageID value.
    std::string id;
    /// The display name.
    std::string name;
    /// Lower-case file extensions without the dot.
    std::vector<std::string> extensions;
    /// Lower-case whole file names.
    std::vector<std::string> fileNames;
    std::optional<std::u16string> lineComment;
    std::optional<BlockComment> blockComment;
    std::shared_ptr<const SyntaxTokenizer> tokenizer;
};

} // namespace vendrix
