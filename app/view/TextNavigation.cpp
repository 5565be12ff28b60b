#include "app/view/TextNavigation.h"

#include "core/common/TextSource.h"
#include "core/text/LineIndex.h"

#include <QChar>
#include <QString>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace vendrix::app {
namespace {

/// Clusters longer than this are cut (a pathological stack of combining marks).
constexpr std::int64_t kWindow = 96;

QString readWindow(const TextSource& text, TextRange range) {
    QString window(static_cast<qsizetype>(range.length), Qt::Uninitialized);
    text.copyUnits(range, reinterpret_cast<char16_t*>(window.data()));
    return window;
}

} // namespace

std::int64_t TextNavigation::nextCharacter(std::int64_t offset) const {
    const std::int64_t length = m_text.length();
    if (offset >= length)
        return length;
    TextRange line = m_lines.range(m_lines.lineNumber(offset));
    if (offset >= line.end())
        return std::min(offset + 1, length); // the LF
    std::int64_t end = std::min(line.end(), offset + kWindow);
    QString window = readWindow(m_text, {offset, end - offset});
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, window);
    finder.setPosition(0);
    qsizetype next = finder.toNextBoundary();
    return next < 0 ? end : offset + next;
}

std::int64_t TextNavigation::previousCharacter(std::int64_t offset) const {
    if (offset <= 0)
        return 0;
    offset = std::min(offset, m_text.length());
    TextRange line = m_lines.range(m_lines.lineNumber(offset));
    if (offset <= line.location)
        return offset - 1; // back over the LF
    std::int64_t start = std::max(line.location, offset - kWindow);
    QString window = readWindow(m_text, {start, offset - start});
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, window);
    finder.setPosition(window.size());
    qsizetype previous = finder.toPreviousBoundary();
    return previous < 0 ? start : start + previous;
}

std::int64_t TextNavigation::snapToCharacter(std::int64_t offset) const {
    offset = std::clamp<std::int64_t>(offset, 0, m_text.length());
    TextRange line = m_lines.range(m_lines.lineNumber(offset));
    if (offset <= line.location || offset >= line.end())
        return offset;
    std::int64_t start = std::max(line.location, offset - kWindow);
    std::int64_t end = std::min(line.end(), offset + kWindow);
    QString window = readWindow(m_text, {start, end - start});
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, window);
    finder.setPosition(offset - start);
    if (finder.isAtBoundary())
        return offset;
    qsizetype previous = finder.toPreviousBoundary();
    return previous < 0 ? start : start + previous;
}

TextNavigation::CharClass TextNavigation::classAt(std::int64_t offset, std::int64_t* next) const {
    char16_t units[2] = {0, 0};
    std::int64_t available = std::min<std::int64_t>(2, m_text.length() - offset);
    m_text.copyUnits({offset, available}, units);
    char32_t code = units[0];
    *next = offset + 1;
    if (QChar::isHighSurrogate(units[0]) && available == 2 && QChar::isLowSurrogate(units[1])) {
        code = QChar::surrogateToUcs4(units[0], units[1]);
        *next = offset + 2;
    }
    if (code == u'\n')
        return CharClass::lineBreak;
    if (QChar::isSpace(code))
        return CharClass::space;
    if (QChar::isLetterOrNumber(code) || code == u'_' || QChar::isMark(code))
        return CharClass::word;
    return CharClass::punctuation;
}

TextNavigation::CharClass TextNavigation::classBefore(std::int64_t offset,
                                                      std::int64_t* previous) const {
    std::int64_t start = offset - 1;
    if (start > 0) {
        char16_t units[2];
        m_text.copyUnits({start - 1, 2}, units);
        if (QChar::isHighSurrogate(units[0]) && QChar::isLowSurrogate(units[1]))
            start -= 1;
    }
    std::int64_t ignored = 0;
    *previous = start;
    return classAt(start, &ignored);
}

std::int64_t TextNavigation::nextWordEnd(std::int64_t offset) const {
    const std::int64_t length = m_text.length();
    if (offset >= length)
        return length;
    std::int64_t next = 0;
    CharClass kind = classAt(offset, &next);
    if (kind == CharClass::lineBreak)
        return next;
    // Skip white space (within the line), then one run of the class found there.
    while (kind == CharClass::space && next < length) {
        offset = next;
        kind = classAt(offset, &next);
    }
    if (kind == CharClass::space || kind == CharClass::lineBreak)
        return offset;
    const CharClass run = kind;
    while (offset < length) {
        kind = classAt(offset, &next);
        if (kind != run)
            break;
        offset = next;
    }
    return snapToCharacter(offset);
}

std::int64_t TextNavigation::previousWordStart(std::int64_t offset) const {
    if (offset <= 0)
        return 0;
    std::int64_t previous = 0;
    CharClass kind = classBefore(offset, &previous);
    if (kind == CharClass::lineBreak)
        return previous;
    while (kind == CharClass::space && previous > 0) {
        offset = previous;
        kind = classBefore(offset, &previous);
    }
    if (kind == CharClass::space)
        return previous;
    if (kind == CharClass::lineBreak)
        return offset;
    const CharClass run = kind;
    while (offset > 0) {
        kind = classBefore(offset, &previous);
        if (kind != run)
            break;
        offset = previous;
    }
    return snapToCharacter(offset);
}

TextRange TextNavigation::wordRange(std::int64_t offset) const {
    const std::int64_t length = m_text.length();
    if (length == 0)
        return {0, 0};
    TextRange line = m_lines.range(m_lines.lineNumber(offset));
    if (line.length == 0)
        return {line.location, 0};
    offset = std::clamp(offset, line.location, line.end() - 1);
    std::int64_t next = 0;
    const CharClass run = classAt(offset, &next);
    std::int64_t end = next;
    while (end < line.end()) {
        std::int64_t after = 0;
        if (classAt(end, &after) != run)
            break;
        end = after;
    }
    std::int64_t start = offset;
    while (start > line.location) {
        std::int64_t before = 0;
        if (classBefore(start, &before) != run)
            break;
        start = before;
    }
    start = snapToCharacter(start);
    end = end >= line.end() ? end : snapToCharacter(end);
    return {start, end - start};
}

TextRange TextNavigation::lineRangeWithBreak(std::int64_t offset) const {
    TextRange line = m_lines.range(m_lines.lineNumber(offset));
    std::int64_t end = std::min(line.end() + 1, m_text.length());
    return {line.location, end - line.location};
}

} // namespace vendrix::app
