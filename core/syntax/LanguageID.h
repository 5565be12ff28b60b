#pragma once

#include <string_view>

/// The language identifiers stored in documents and sessions. Plain text has an identifier
/// but no catalog entry.
namespace vendrix::LanguageID {

inline constexpr std::string_view plainText = "plain";
inline constexpr std::string_view json = "json";
inline constexpr std::string_view xml = "xml";
inline constexpr std::string_view html = "html";
inline constexpr std::string_view javascript = "javascript";
inline constexpr std::string_view typescript = "typescript";
inline constexpr std::string_view swift = "swift";
inline constexpr std::string_view csharp = "csharp";
inline constexpr std::string_view python = "python";
inline constexpr std::string_view sql = "sql";
inline constexpr std::string_view markdown = "markdown";
inline constexpr std::string_view yaml = "yaml";
inline constexpr std::string_view shell = "shell";
inline constexpr std::string_view css = "css";

} // namespace vendrix::LanguageID
