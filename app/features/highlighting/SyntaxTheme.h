#pragma once

#include "core/syntax/TokenKind.h"

#include <QColor>
#include <QString>

class QPalette;

namespace vendrix::app {

/// The editor's colours: one per token kind and the current-line, bracket and selected-word
/// marks, each with a light and a dark variant. The dark variant applies while the effective
/// palette is dark (its window colour darker than its text).
class SyntaxTheme {
public:
    /// The colour's name: "vendrix.syntax." and the kind's raw value.
    static QString colorName(TokenKind kind);
    static QColor color(TokenKind kind, bool dark);
    static QColor currentLine(bool dark);
    static QColor bracketMatch(bool dark);
    static QColor bracketMismatch(bool dark);
    static QColor selectedWord(bool dark);
    /// True when the palette's window colour is darker than its window text.
    static bool isDark(const QPalette& palette);
};

} // namespace vendrix::app
