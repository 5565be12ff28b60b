#pragma once

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"
#include "core/text/TextStorage.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QTest>

#include <functional>
#include <memory>
#include <string>

namespace vendrix::app::test {

inline std::u16string textOf(const EditorDocument& document) {
    return document.storage()->string();
}

inline std::unique_ptr<EditorDocument> makeDocument(std::u16string_view text,
                                                    bool readOnly = false) {
    auto document = std::make_unique<EditorDocument>(QUuid::createUuid());
    document->setText(std::u16string(text));
    document->setReadOnly(readOnly);
    return document;
}

/// The window's editing actions, as the editor window binds them, on `host`.
inline void addEditingActions(QWidget* host, EditorTextView* view) {
    auto add = [&](QList<QKeySequence> keys, auto slot) {
        auto* action = new QAction(host);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        QObject::connect(action, &QAction::triggered, view, slot);
        host->addAction(action);
    };
    add({QKeySequence(Qt::CTRL | Qt::Key_Z)}, [view] { view->undo(); });
    add({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
        [view] { view->redo(); });
    add({QKeySequence(Qt::CTRL | Qt::Key_X)}, [view] { view->cut(); });
    add({QKeySequence(Qt::CTRL | Qt::Key_C)}, [view] { view->copy(); });
    add({QKeySequence(Qt::CTRL | Qt::Key_V)}, [view] { view->paste(); });
    add({QKeySequence(Qt::CTRL | Qt::Key_A)}, [view] { view->selectAll(); });
}

/// A shown text view of a fixed size over one document, focused for key events, with the
/// window's editing actions bound on it.
/// A text view whose drags a test answers (the offscreen platform has none): `drop` gets the
/// drag and returns what the drop did.
class DragTestView final : public EditorTextView {
public:
    std::function<Qt::DropAction(QDrag& drag, Qt::DropActions actions)> drop;

protected:
    Qt::DropAction runDrag(QDrag& drag, Qt::DropActions actions,
                           Qt::DropAction defaultAction) override {
        if (!drop)
            return EditorTextView::runDrag(drag, actions, defaultAction);
        const Qt::DropAction done = drop(drag, actions);
        drag.deleteLater(); // QDrag::exec leaves that to the drag manager
        return done;
    }
};

struct ViewFixture {
    explicit ViewFixture(std::u16string_view text, bool readOnly = false, QSize size = {400, 300})
        : document(makeDocument(text, readOnly)), view(std::make_unique<DragTestView>()) {
        view->resize(size);
        addEditingActions(view.get(), view.get());
        view->setDocument(document.get());
        view->show();
        view->activateWindow();
        view->setFocus();
        QApplication::processEvents();
    }
    /// The text with the selection marked, as vendrix::test::formatMarked writes it.
    std::string marked() const {
        return vendrix::test::formatMarked(textOf(*document), view->selectedRange());
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(view.get(), key, modifiers);
    }
    /// Types `text` one character (code point) per key press, as a keyboard would.
    void type(const QString& text) {
        for (qsizetype i = 0; i < text.size();) {
            qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text.mid(i, length));
            QApplication::sendEvent(view.get(), &press);
            i += length;
        }
    }
    QPoint pointOf(std::int64_t offset) {
        QRectF rect = view->rectForOffset(offset);
        return QPoint(static_cast<int>(rect.left()) + 1, static_cast<int>(rect.center().y()));
    }

    std::unique_ptr<EditorDocument> document;
    std::unique_ptr<EditorTextView> view;
};

} // namespace vendrix::app::test
