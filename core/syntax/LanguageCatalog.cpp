#include "core/syntax/LanguageCatalog.h"

#include "core/common/Utf8.h"
#include "core/syntax/CSSTokenizer.h"
#include "core/syntax/CodeTokenizer.h"
#include "core/syntax/LanguageID.h"
#include "core/syntax/MarkdownTokenizer.h"
#include "core/syntax/MarkupTokenizer.h"
#include "core/syntax/SyntaxUnicode.h"
#include "core/syntax/YAMLTokenizer.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <memory>
#include <unordered_map>

namespace vendrix {

using syntax_detail::lowercased;

namespace {

std::shared_ptr<const SyntaxTokenizer> code(const CodeSyntax& syntax) {
    return std::make_shared<CodeTokenizer>(syntax);
}

std::optional<BlockComment> block(std::u16string open, std::u16string close) {
    return BlockComment{std::move(open), std::move(close)};
}

std::vector<LanguageDefinition> makeDefinitions() {
    const std::optional<std::u16string> noLine;
    const std::optional<BlockComment> noBlock;
    auto slashes = block(u"/*", u"*/");
    auto markup = block(u"<!--", u"-->");
    auto id = [](std::string_view value) { return std::string(value); };
    return {
        {id(LanguageID::json),
         "JSON",
         {"json", "jsonc", "json5", "geojson", "webmanifest", "har"},
         {".babelrc", ".eslintrc", ".prettierrc"},
         u"//",
         slashes,
         code(CodeSyntax::json())},
        {id(LanguageID::xml),
         "XML",
         {"xml",    "xsd",   "xsl",     "xslt",   "svg",  "plist", "csproj", "vbproj",
          "fsproj", "props", "targets", "config", "resx", "xaml",  "nuspec", "storyboard",
          "xib",    "rss",   "atom",    "wsdl",   "kml",  "gpx"},
         {},
         noLine,
         markup,
         std::make_shared<MarkupTokenizer>(false)},
        {id(LanguageID::html),
         "HTML",
         {"html", "htm", "xhtml", "shtml", "cshtml", "razor", "vue"},
         {},
         noLine,
         markup,
         std::make_shared<MarkupTokenizer>(true)},
        {id(LanguageID::javascript),
         "JavaScript",
         {"js", "mjs", "cjs", "jsx"},
         {},
         u"//",
         slashes,
         code(CodeSyntax::javascript())},
        {id(LanguageID::typescript),
         "TypeScript",
         {"ts", "tsx", "mts", "cts"},
         {},
         u"//",
         slashes,
         code(CodeSyntax::typescript())},
        {id(LanguageID::swift),
         "Swift",
         {"swift", "swiftinterface"},
         {},
         u"//",
         slashes,
         code(CodeSyntax::swift())},
        {id(LanguageID::csharp),
         "C#",
         {"cs", "csx"},
         {},
         u"//",
         slashes,
         code(CodeSyntax::csharp())},
        {id(LanguageID::python),
         "Python",
         {"py", "pyw", "pyi", "pyx"},
         {"sconstruct", "sconscript"},
         u"#",
         noBlock,
         code(CodeSyntax::python())},
        {id(LanguageID::sql),
         "SQL",
         {"sql", "ddl", "dml", "psql", "pgsql", "mysql"},
         {},
         u"--",
         slashes,
         code(CodeSyntax::sql())},
        {id(LanguageID::markdown),
         "Markdown",
         {"md", "markdown", "mdown", "mkd", "mkdn", "mdx"},
         {},
         noLine,
         markup,
         std::make_shared<MarkdownTokenizer>()},
        {id(LanguageID::yaml),
         "YAML",
         {"yaml", "yml"},
         {".clang-format", ".yamllint"},
         u"#",
         noBlock,
         std::make_shared<YAMLTokenizer>()},
        {id(LanguageID::shell),
         "Shell",
         {"sh", "bash", "zsh", "ksh", "command", "bats"},
         {".bashrc", ".bash_profile", ".bash_login", ".bash_logout", ".profile", ".zshrc",
          ".zprofile", ".zshenv", ".zlogin", ".zlogout", ".kshrc"},
         u"#",
         noBlock,
         code(CodeSyntax::shell())},
        {id(LanguageID::css),
         "CSS",
         {"css", "scss", "less"},
         {},
         noLine,
         slashes,
         std::make_shared<CSSTokenizer>()},
    };
}

struct Tables {
    std::unordered_map<std::string, std::size_t> byID;
    std::unordered_map<std::string, std::string> byExtension;
    std::unordered_map<std::string, std::string> byFileName;
};

const Tables& tables() {
    static const Tables built = [] {
        Tables t;
        const auto& all = LanguageCatalog::all();
        for (std::size_t i = 0; i < all.size(); ++i) {
            t.byID.emplace(all[i].id, i);
            for (const auto& ext : all[i].extensions)
                t.byExtension.emplace(ext, all[i].id); // the first definition wins
            for (const auto& name : all[i].fileNames)
                t.byFileName.emplace(name, all[i].id);
        }
        return t;
    }();
    return built;
}

std::string lowerUTF8(std::string_view text) {
    return utf8::encode(lowercased(utf8::decode(text)));
}

std::optional<std::string> lookUp(const std::unordered_map<std::string, std::string>& table,
                                  const std::string& key) {
    auto it = table.find(key);
    if (it == table.end())
        return std::nullopt;
    return it->second;
}

/// The interpreter of a "#!" line mapped to a language.
std::optional<std::string> languageForInterpreter(std::u16string_view name) {
    auto is = [&](std::u16string_view other) { return name == other; };
    if (is(u"sh") || is(u"bash") || is(u"zsh") || is(u"ksh") || is(u"dash") || is(u"ash") ||
        is(u"fish"))
        return std::string(LanguageID::shell);
    if (name.starts_with(u"python"))
        return std::string(LanguageID::python);
    if (is(u"node") || is(u"deno") || is(u"bun"))
        return std::string(LanguageID::javascript);
    if (is(u"ts-node"))
        return std::string(LanguageID::typescript);
    if (is(u"swift"))
        return std::string(LanguageID::swift);
    return std::nullopt;
}

char32_t codePointAt(std::u16string_view text, std::size_t i) {
    UChar32 c;
    U16_GET(text.data(), 0, i, text.size(), c);
    return static_cast<char32_t>(c);
}

bool isLetterChar(char32_t c) {
    return u_isalpha(static_cast<UChar32>(c));
}
bool isNumberChar(char32_t c) {
    auto type = u_charType(static_cast<UChar32>(c));
    return type == U_DECIMAL_DIGIT_NUMBER || type == U_LETTER_NUMBER || type == U_OTHER_NUMBER;
}
bool isWhitespaceChar(char32_t c) {
    return u_isUWhiteSpace(static_cast<UChar32>(c));
}

std::size_t skipWhitespace(std::u16string_view text, std::size_t i) {
    while (i < text.size()) {
        char32_t c = codePointAt(text, i);
        if (!isWhitespaceChar(c))
            break;
        i += U16_LENGTH(c);
    }
    return i;
}

/// The first `count` grapheme clusters of `text`, looking at a bounded prefix only.
std::u16string_view leadingClusters(std::u16string_view text, int count) {
    std::u16string_view chunk = text.substr(0, std::min<std::size_t>(text.size(), 1024));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status))
        return chunk.substr(0, std::min<std::size_t>(chunk.size(), static_cast<size_t>(count)));
    icu::UnicodeString s(false, chunk.data(), static_cast<int32_t>(chunk.size()));
    it->setText(s);
    int32_t end = 0;
    for (int i = 0; i < count; ++i) {
        int32_t next = it->next();
        if (next == icu::BreakIterator::DONE)
            break;
        end = next;
    }
    return chunk.substr(0, static_cast<std::size_t>(end));
}

} // namespace

const std::vector<LanguageDefinition>& LanguageCatalog::all() {
    static const std::vector<LanguageDefinition> definitions = makeDefinitions();
    return definitions;
}

const LanguageDefinition* LanguageCatalog::definition(std::optional<std::string_view> id) {
    if (!id)
        return nullptr;
    const auto& byID = tables().byID;
    auto it = byID.find(std::string(*id));
    return it == byID.end() ? nullptr : &all()[it->second];
}

std::optional<std::string> LanguageCatalog::name(std::optional<std::string_view> id) {
    if (!id || *id == LanguageID::plainText)
        return std::nullopt;
    if (const LanguageDefinition* found = definition(id))
        return found->name;
    return std::string(*id);
}

std::optional<std::string> LanguageCatalog::languageForExtension(std::string_view ext) {
    return lookUp(tables().byExtension, lowerUTF8(ext));
}

std::optional<std::string> LanguageCatalog::languageForFileName(std::string_view name) {
    const std::string lower = lowerUTF8(name);
    if (auto hit = lookUp(tables().byFileName, lower))
        return hit;
    std::string_view component = lower;
    if (auto slash = component.rfind('/'); slash != std::string_view::npos)
        component = component.substr(slash + 1);
    auto dot = component.rfind('.');
    // A leading dot names a hidden file; it does not start an extension.
    if (dot == std::string_view::npos || dot == 0)
        return std::nullopt;
    std::string_view extension = component.substr(dot + 1);
    if (extension.empty())
        return std::nullopt;
    return lookUp(tables().byExtension, std::string(extension));
}

std::optional<std::string> LanguageCatalog::languageForFirstLine(std::u16string_view line) {
    if (line.starts_with(u'\uFEFF'))
        line.remove_prefix(1);
    if (!line.starts_with(u"#!"))
        return languageForContentPrefix(line);
    std::vector<std::u16string_view> words;
    std::u16string_view rest = line.substr(2);
    std::size_t i = 0;
    while (i < rest.size()) {
        while (i < rest.size() && (rest[i] == u' ' || rest[i] == u'\t'))
            ++i;
        std::size_t start = i;
        while (i < rest.size() && rest[i] != u' ' && rest[i] != u'\t')
            ++i;
        if (i > start)
            words.push_back(rest.substr(start, i - start));
    }
    if (words.empty())
        return std::nullopt;
    std::u16string_view interpreter = words[0];
    if (auto slash = interpreter.rfind(u'/'); slash != std::u16string_view::npos)
        interpreter = interpreter.substr(slash + 1);
    if (interpreter == u"env") {
        for (std::size_t w = 1; w < words.size(); ++w) {
            if (!words[w].starts_with(u'-')) {
                interpreter = words[w];
                break;
            }
        }
    }
    return languageForInterpreter(interpreter);
}

std::optional<std::string> LanguageCatalog::languageForContentPrefix(std::u16string_view text) {
    if (text.starts_with(u'\uFEFF'))
        text.remove_prefix(1);
    text.remove_prefix(skipWhitespace(text, 0));
    const std::u16string head = lowercased(leadingClusters(text, 16));
    if (head.starts_with(u"<?xml"))
        return std::string(LanguageID::xml);
    if (head.starts_with(u"<!doctype html") || head.starts_with(u"<html"))
        return std::string(LanguageID::html);
    if (text.starts_with(u'<') && text.size() > 1) {
        std::size_t i = 1;
        char32_t first = codePointAt(text, i);
        if (isLetterChar(first) || first == U'_') {
            i += U16_LENGTH(first);
            while (i < text.size()) {
                char32_t c = codePointAt(text, i);
                if (!(isLetterChar(c) || isNumberChar(c) || c == U'_' || c == U'-' || c == U'.' ||
                      c == U':'))
                    break;
                i += U16_LENGTH(c);
            }
            if (i < text.size()) {
                char32_t after = codePointAt(text, i);
                if (isWhitespaceChar(after) || after == U'>' || after == U'/') {
                    std::u16string name = lowercased(text.substr(1, i - 1));
                    bool htmlName =
                        name == u"head" || name == u"body" || name == u"div" || name == u"meta";
                    return std::string(htmlName ? LanguageID::html : LanguageID::xml);
                }
            }
        }
    }
    if (text.empty())
        return std::nullopt;
    if (text[0] == u'{' || text[0] == u'[') {
        std::size_t next = skipWhitespace(text, 1);
        if (next < text.size()) {
            if (text[next] == u'"')
                return std::string(LanguageID::json);
            if (text[0] == u'[' && text[next] == u'{')
                return std::string(LanguageID::json);
        }
    }
    return std::nullopt;
}

std::optional<std::string> LanguageCatalog::detect(std::string_view fileName,
                                                   std::u16string_view text) {
    if (auto slash = fileName.rfind('/'); slash != std::string_view::npos)
        fileName = fileName.substr(slash + 1);
    if (auto byName = languageForFileName(fileName))
        return byName;
    std::u16string_view firstLine = text.substr(0, std::min(text.find(u'\n'), text.size()));
    if (auto byLine = languageForFirstLine(firstLine))
        return byLine;
    return languageForContentPrefix(text);
}

} // namespace vendrix
