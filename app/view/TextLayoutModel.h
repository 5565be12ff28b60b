#pragma once

#include "core/editing/LineSegmentation.h"
#include "core/text/RowIndex.h"
#include "core/common/TextRange.h"

#include <QFont>
#include <QString>
#include <QTextLayout>
#include <QTextOption>

#include <cstdint>
#include <memory>
#include <unordered_map>

namespace vendrix::app {

class EditorDocument;

/// Lays out only what is needed: a line (or, for a long line, one segment of it) becomes a
/// cached QTextLayout when it is drawn or hit-tested. Knows the geometry of the whole text
/// without laying it out: without wrapping every line is one row and a segment's x comes from
/// its visual start column; with wrapping the rows of lines not yet laid out are estimated
/// from their length and corrected as they are laid out, and a long line's segments begin at
/// row starts of the whole line (segmentRange differs a little from the segmentation's own).
///
/// Coordinates are in pixels relative to the text's top-left corner (no insets, no scroll).
class TextLayoutModel {
public:
    /// A laid-out segment. Positions inside `layout` are relative to `range.location`, with
    /// the pre-edit text (if any) inserted at `preeditPosition`.
    struct Segment {
        QTextLayout layout;
        TextRange range;
        int rows = 1;
        int preeditPosition = -1;
        int preeditLength = 0;
        int tabPhase = 0;
        std::uint64_t lastUse = 0;

        /// Layout position of a document offset inside this segment.
        int toLayout(std::int64_t offset) const;
        /// Document offset of a layout position.
        std::int64_t fromLayout(int position) const;
    };

    TextLayoutModel();

    void setDocument(const EditorDocument* document);
    void setFont(const QFont& font);
    void setTabWidth(int tabWidth);
    /// Wrapping width in pixels; 0 or less turns wrapping off.
    void setWrapWidth(qreal width);
    /// Text being composed by an input method, shown at `offset` (empty text: none).
    void setPreedit(std::int64_t offset, const QString& text, int cursor);

    const QFont& font() const { return m_font; }
    qreal advance() const { return m_advance; }
    qreal lineHeight() const { return m_lineHeight; }
    qreal ascent() const { return m_ascent; }
    int tabWidth() const { return m_tabWidth; }
    bool wraps() const { return m_wrapWidth > 0; }
    qreal wrapWidth() const { return m_wrapWidth; }
    std::int64_t preeditOffset() const { return m_preeditOffset; }
    const QString& preeditText() const { return m_preeditText; }
    int preeditCursor() const { return m_preeditCursor; }

    // Lines and segments.
    std::int64_t lineCount() const;
    TextRange lineRange(std::int64_t line) const;
    std::int64_t lineOf(std::int64_t offset) const;
    int segmentCount(std::int64_t line);
    TextRange segmentRange(std::int64_t line, int segment);
    /// The segment holding `offset`; at a boundary, the later one (the line's end: the last).
    int segmentAt(std::int64_t line, std::int64_t offset);
    /// Without wrapping: the x where the segment begins.
    qreal segmentX(std::int64_t line, int segment);
    /// Without wrapping: the segment under x.
    int segmentAtX(std::int64_t line, qreal x);
    /// The laid-out segment (cached).
    Segment& layout(std::int64_t line, int segment);

    // Vertical geometry.
    qreal lineTop(std::int64_t line);
    int lineRows(std::int64_t line);
    /// The line at y (clamped to the text).
    std::int64_t lineAtY(qreal y);
    /// Rows of the line above a segment.
    int rowsBeforeSegment(std::int64_t line, int segment);
    /// The segment of a line holding the row `row` of that line.
    int segmentAtRow(std::int64_t line, int row);
    qreal contentHeight() const;
    qreal contentWidth() const;

    /// Follows a change of the text: `editedRange` holds the new text, `changeInLength` is
    /// new minus old length, `oldLineCount` the line count before the change.
    void textChanged(TextRange editedRange, std::int64_t changeInLength, std::int64_t oldLineCount);
    /// Drops every layout and estimate (font, tab or wrap change, another document).
    void invalidateAll();
    /// Forgets the least recently used layouts beyond the cache's limit. Call between frames:
    /// references returned by layout() stay valid until then.
    void trimCache();

    /// Characters laid out so far (a measure of work for tests and benchmarks).
    std::uint64_t laidOutCharacters() const { return m_laidOutCharacters; }
    std::size_t cachedLayoutCount() const { return m_cache.size(); }

private:
    struct Key {
        std::int64_t line;
        int segment;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            return std::hash<std::int64_t>()(k.line * 1048583 + k.segment);
        }
    };

    LineSegmentation* segmentation(std::int64_t line);
    QTextOption textOption() const;
    /// Wrapped: where segment `segment` of a long line begins, the start of the line's own row
    /// that holds the segment's start (measured once, then kept in the segment).
    std::int64_t wrapStart(std::int64_t line, LineSegmentation& segments, int segment);
    /// Lays the line out from `from`, a row start, to find the row start of `segment`.
    std::int64_t measureWrapStart(std::int64_t line, LineSegmentation& segments, int segment,
                                  std::int64_t from);
    /// Wrapped: measures the row starts of the segments an edit changed (and of the one
    /// before) again. True when the rows meet the old ones again at the first segment after
    /// the change, so that the segments after it keep their rows and layouts.
    bool realignWrapStarts(std::int64_t line, LineSegmentation& segments,
                           const LineSegmentation::Change& change);
    int estimateRows(std::int64_t length) const;
    /// A line's rows before it is laid out (a long line: the sum over its segments).
    std::int32_t lineRowEstimate(std::int64_t line) const;
    void rebuildRows();
    void refreshLineRows(std::int64_t line);
    void evictIfNeeded();
    void dropLayouts(std::int64_t firstLine, std::int64_t lastLine);
    QString displayText(TextRange range) const;

    const EditorDocument* m_document = nullptr;
    QFont m_font;
    qreal m_advance = 8;
    qreal m_lineHeight = 16;
    qreal m_ascent = 12;
    int m_tabWidth = 4;
    qreal m_wrapWidth = 0;
    std::int64_t m_preeditOffset = -1;
    QString m_preeditText;
    int m_preeditCursor = 0;
    std::int64_t m_longestLine = 0;

    std::unordered_map<std::int64_t, LineSegmentation> m_long;
    std::unordered_map<Key, std::unique_ptr<Segment>, KeyHash> m_cache;
    RowIndex m_rows; // only while wrapping
    std::uint64_t m_useCounter = 0;
    std::uint64_t m_laidOutCharacters = 0;
};

} // namespace vendrix::app
