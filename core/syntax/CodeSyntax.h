#pragma once

#include "core/syntax/KeywordTable.h"
#include "core/syntax/TokenKind.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vendrix {

/// One kind of string literal of a code syntax.
struct StringRule {
    /// Opening and closing delimiters; never empty.
    std::u16string open;
    std::u16string close;
    /// The escape character; 0 when the rule has none.
    char16_t escape = 0;
    /// A closer written twice in a row is one literal closer and does not end the string.
    bool doubledCloseEscapes = false;
    /// An unterminated literal continues on the next line.
    bool multiline = false;
    TokenKind kind = TokenKind::string;
    /// The opener begins with "#", which may be repeated (raw strings): the closer then needs
    /// as many "#" after its first unit's run, and the escape character counts only when
    /// followed by as many "#". A multi-line literal keeps the count in the line state.
    bool hashDelimited = false;
    /// The unit that, right after an escape, opens an interpolation running to its matching
    /// ")"; string literals inside it are skipped whole, so their quotes do not end the
    /// outer literal. 0 = none.
    char16_t interpolation = 0;
    /// "${...}" and "$(...)" inside the literal are skipped whole, with their own quotes.
    bool nestedExpansions = false;
};

/// The table that drives the code tokenizer for one C-like or script language: comment
/// markers, string rules, keywords and a handful of switches. The built-in syntaxes are
/// built once, on first use, and shared (thread-safe static initialisation).
struct CodeSyntax {
    /// The string literal rule, also reachable as CodeSyntax::StringRule.
    using StringRule = vendrix::StringRule;

    /// How a "#" outside comments and strings is treated.
    enum class HashMode : std::uint8_t {
        none,          ///< an ordinary character
        lineDirective, ///< as the first non-blank character, a directive to the end of the line
        identifier,    ///< "#" followed by a name is a directive token
    };

    /// Line comment markers, tried in order.
    std::vector<std::u16string> lineComments;
    /// A line comment marker counts only at the line start or after tab, space, &, (, ; or |.
    bool lineCommentNeedsBoundary = false;
    /// Block comment delimiters; an empty opener means no block comments.
    std::u16string blockOpen;
    std::u16string blockClose;
    bool nestedBlockComments = false;
    /// Tried in order, so longer openers come before their prefixes.
    std::vector<StringRule> strings;
    KeywordTable keywords;
    /// One extra identifier character (0 = none).
    char16_t identifierExtra = 0;
    /// "@name" is an attribute token.
    bool attributes = false;
    HashMode hashMode = HashMode::none;
    /// "$name", "${...}" and "$" with one special character are variable tokens.
    bool dollarVariables = false;
    /// A string followed by ":" is a property.
    bool stringKeys = false;
    /// An identifier followed by "(" is a function.
    bool functionCalls = false;
    /// An unclassified identifier starting with A-Z is a type.
    bool capitalizedTypes = false;
    /// A "/" where an operand is expected starts a regular expression literal (one line).
    bool regexLiterals = false;
    /// "<<WORD" starts a here-document whose body runs until a line holding only WORD.
    bool hereDocuments = false;

    static const CodeSyntax& json();
    static const CodeSyntax& javascript();
    static const CodeSyntax& typescript();
    static const CodeSyntax& swift();
    static const CodeSyntax& csharp();
    static const CodeSyntax& python();
    static const CodeSyntax& sql();
    static const CodeSyntax& shell();
};

} // namespace vendrix
