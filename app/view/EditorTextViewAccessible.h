#pragma once

#include <QAccessibleWidget>
#include <QPointer>

#include <cstdint>

namespace vendrix::app {

class EditorTextView;

/// What assistive technology (a screen reader over AT-SPI, a magnifier) sees of the text
/// view: an editable, multi-line text object named after the document, with its text, caret,
/// selections (a column selection as one selection per line), character boxes and colours,
/// and edits that go through the view and the document like typing does (a read-only
/// document refuses them). It has no children: the viewport, the scroll bars and the
/// line-number ruler are not shown to assistive technology.
///
/// Offsets are UTF-16 units (as QString counts). Every request is bounded by what it asks:
/// pieces of text are read through AccessibleTextSegments (small windows around the offset),
/// and a request for a range longer than kMaxRequest units (a "whole text" request of a huge
/// document) is answered with its first kMaxRequest units, which costs a few milliseconds
/// instead of freezing the window for a copy of the whole document. Character boxes are given
/// for the rows on screen only (an empty box otherwise), so nothing is laid out to answer.
class EditorTextViewAccessible final : public QAccessibleWidget,
                                       public QAccessibleTextInterface,
                                       public QAccessibleEditableTextInterface {
public:
    static constexpr int kMaxRequest = 1 << 20;

    explicit EditorTextViewAccessible(EditorTextView* view);

    /// Registers the factory that gives every EditorTextView this interface (once).
    static void install();

    // QAccessibleInterface.
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text kind) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTextInterface.
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int* startOffset, int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int* startOffset, int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    // QAccessibleEditableTextInterface.
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString& text) override;
    void replaceText(int startOffset, int endOffset, const QString& text) override;

private:
    enum class Side { before, at, after };
    EditorTextView* view() const;
    QString piece(int offset, QAccessible::TextBoundaryType boundaryType, Side side,
                  int* startOffset, int* endOffset) const;
    /// The units of [start, end) of the shown text, at most kMaxRequest of them (never ending
    /// inside a surrogate pair).
    QString read(std::int64_t start, std::int64_t end) const;
};

} // namespace vendrix::app
