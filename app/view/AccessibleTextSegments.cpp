#include "app/view/AccessibleTextSegments.h"

#include "core/common/TextSource.h"
#include "core/editing/TextNavigation.h"
#include "core/editing/Unicode.h"
#include "core/text/LineIndex.h"

#include <QString>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <string>

namespace vendrix::app {

TextRange AccessibleTextSegments::at(std::int64_t offset, Kind kind) const {
    const std::int64_t length = m_text.length();
    offset = std::clamp<std::int64_t>(offset, 0, length);
    if (kind == Kind::line)
        return line(offset);
    if (offset >= length)
        return {length, 0};
    switch (kind) {
    case Kind::character: {
        const TextNavigation navigation(m_text, m_lines);
        const std::int64_t start = navigation.snapToCharacter(offset);
        return {start, navigation.nextCharacter(start) - start};
    }
    case Kind::word:
        return word(offset);
    case Kind::sentence:
        return sentence(offset);
    case Kind::line:
        break;
    }
    return line(offset);
}

TextRange AccessibleTextSegments::before(std::int64_t offset, Kind kind) const {
    const TextRange current = at(offset, kind);
    if (current.location <= 0)
        return {0, 0};
    return at(current.location - 1, kind);
}

TextRange AccessibleTextSegments::after(std::int64_t offset, Kind kind) const {
    const std::int64_t length = m_text.length();
    const TextRange current = at(offset, kind);
    if (current.empty() || current.end() >= length)
        return {length, 0};
    return at(current.end(), kind);
}

bool AccessibleTextSegments::isSpaceAt(std::int64_t offset) const {
    const std::int64_t count = std::min<std::int64_t>(2, m_text.length() - offset);
    if (count <= 0)
        return false;
    char16_t units[2] = {};
    m_text.copyUnits({offset, count}, units);
    const std::u16string_view view(units, static_cast<std::size_t>(count));
    return unicode::wordClass(unicode::scalarAt(view, 0).value) == unicode::WordClass::space;
}

TextRange AccessibleTextSegments::word(std::int64_t offset) const {
    const TextRange lineRange = m_lines.range(m_lines.lineNumber(offset));
    if (offset >= lineRange.end())
        return {offset, 1}; // the LF
    const TextNavigation navigation(m_text, m_lines);
    const TextRange run = navigation.wordRange(offset);
    if (isSpaceAt(run.location)) {
        // White space belongs to the word before it on the line.
        if (run.location <= lineRange.location)
            return run;
        const TextRange previous = navigation.wordRange(run.location - 1);
        return {previous.location, run.end() - previous.location};
    }
    std::int64_t end = run.end();
    if (end < lineRange.end() && isSpaceAt(end))
        end = navigation.wordRange(end).end();
    return {run.location, end - run.location};
}

TextRange AccessibleTextSegments::sentence(std::int64_t offset) const {
    const TextRange lineRange = m_lines.range(m_lines.lineNumber(offset));
    if (offset >= lineRange.end())
        return {offset, 1}; // the LF
    const TextNavigation navigation(m_text, m_lines);
    const std::int64_t half = kSentenceWindow / 2;
    const std::int64_t start =
        navigation.snapToCharacter(std::max(lineRange.location, offset - half));
    const std::int64_t end = std::min(lineRange.end(), offset + half);
    QString window(static_cast<qsizetype>(end - start), Qt::Uninitialized);
    m_text.copyUnits({start, end - start}, reinterpret_cast<char16_t*>(window.data()));
    QTextBoundaryFinder finder(QTextBoundaryFinder::Sentence, window);
    const auto local = static_cast<qsizetype>(offset - start);
    finder.setPosition(local);
    qsizetype from = finder.isAtBoundary() ? local : finder.toPreviousBoundary();
    finder.setPosition(local);
    qsizetype to = finder.toNextBoundary();
    if (from < 0)
        from = 0;
    if (to < 0 || to <= local)
        to = window.size();
    return {start + from, static_cast<std::int64_t>(to - from)};
}

TextRange AccessibleTextSegments::line(std::int64_t offset) const {
    const std::int64_t length = m_text.length();
    const TextRange lineRange = m_lines.range(m_lines.lineNumber(offset));
    const std::int64_t fullEnd = std::min(lineRange.end() + 1, length);
    if (lineRange.length <= kLinePiece)
        return {lineRange.location, fullEnd - lineRange.location};
    const TextNavigation navigation(m_text, m_lines);
    auto pieceStart = [&](std::int64_t piece) {
        return piece == 0 ? lineRange.location
                          : navigation.snapToCharacter(lineRange.location + piece * kLinePiece);
    };
    auto pieceEnd = [&](std::int64_t piece) {
        const std::int64_t nominal = lineRange.location + (piece + 1) * kLinePiece;
        return nominal >= lineRange.end() ? fullEnd : navigation.snapToCharacter(nominal);
    };
    std::int64_t piece = (offset - lineRange.location) / kLinePiece;
    // Starts move back to cluster boundaries, so an offset just before a nominal start may
    // lie in the piece before it, and one just before the next start in the next piece.
    if (offset < pieceStart(piece))
        --piece;
    else if (offset >= pieceEnd(piece) && pieceEnd(piece) < fullEnd)
        ++piece;
    const std::int64_t start = pieceStart(piece);
    return {start, pieceEnd(piece) - start};
}

} // namespace vendrix::app
