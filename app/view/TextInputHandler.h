#pragma once

class QInputMethodEvent;
class QKeyEvent;
class QMouseEvent;
class QString;

namespace vendrix::app {

/// Editing commands of the text view that a handler may take before the view performs them.
enum class TextCommand {
    copy,
    cut,
    paste,
    /// The Edit menu's "Sil": deletes the selection.
    deleteSelection,
    deleteBackward,     ///< Backspace
    deleteForward,      ///< Delete
    deleteWordBackward, ///< Ctrl+Backspace
    deleteWordForward,  ///< Ctrl+Delete
    selectAll,
};

/// A hook into the text view's input (column selection uses it). Handlers are asked in the
/// order they were added, before the view's own handling; a call that returns true takes the
/// input: later handlers and the view do nothing with it. The defaults take nothing.
///
/// Keys: every key press reaches keyPress first, Tab and Backtab included (the view keeps them
/// from moving the focus). A key the handlers leave is then turned by the view into a caret
/// move, a TextCommand (asked of the handlers again through command()) or typed text (asked
/// through typedText()). Keys bound to window actions (Ctrl+Z, Ctrl+C, ...) never arrive here:
/// the actions call the view's commands, which ask command().
///
/// Mouse: presses, moves and releases of every button, in viewport coordinates; a double or
/// triple click arrives as a press. The middle button pastes the primary selection on release
/// when the mouse stayed within the drag distance and no handler took the release, so a
/// handler can turn a middle drag into a gesture of its own by taking its moves and release.
class TextInputHandler {
public:
    virtual ~TextInputHandler() = default;

    virtual bool mousePress(QMouseEvent&) { return false; }
    virtual bool mouseMove(QMouseEvent&) { return false; }
    virtual bool mouseRelease(QMouseEvent&) { return false; }
    virtual bool keyPress(QKeyEvent&) { return false; }
    /// Text typed at the keyboard or committed by an input method, about to replace the
    /// selection (one key or one commit at a time).
    virtual bool typedText(const QString&) { return false; }
    /// An input-method event (text being composed, a commit, a replacement) before the view
    /// applies it; a commit the handlers leave is offered to typedText() as well.
    virtual bool inputMethod(QInputMethodEvent&) { return false; }
    virtual bool command(TextCommand) { return false; }
};

} // namespace vendrix::app
