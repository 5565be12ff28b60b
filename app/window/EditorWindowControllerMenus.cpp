// The built-in items of the application, File, Edit and Window menus.
#include "app/window/EditorWindowController.h"

#include "app/settings/ViewOptionsController.h"

#include "app/context/MenuActionTarget.h"
#include "app/context/MenuBuilder.h"
#include "app/document/EditorDocument.h"
#include "app/session/RecentMenuDelegate.h"
#include "app/view/EditorTextView.h"

#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QUndoStack>

namespace vendrix::app {
namespace {

enum class EditCommand { undo, redo, cut, copy, paste, deleteSelection, selectAll };

/// Runs an Edit-menu command on the focused widget: a line or text field edits itself, the
/// text view (or no text field at all) edits the active document.
void runEditCommand(EditCommand command, EditorTextView* textView) {
    QWidget* focus = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        switch (command) {
        case EditCommand::undo: line->undo(); break;
        case EditCommand::redo: line->redo(); break;
        case EditCommand::cut: line->cut(); break;
        case EditCommand::copy: line->copy(); break;
        case EditCommand::paste: line->paste(); break;
        case EditCommand::deleteSelection: line->del(); break;
        case EditCommand::selectAll: line->selectAll(); break;
        }
        return;
    }
    auto runOnTextEdit = [command](auto* edit) {
        switch (command) {
        case EditCommand::undo: edit->undo(); break;
        case EditCommand::redo: edit->redo(); break;
        case EditCommand::cut: edit->cut(); break;
        case EditCommand::copy: edit->copy(); break;
        case EditCommand::paste: edit->paste(); break;
        case EditCommand::deleteSelection: edit->textCursor().removeSelectedText(); break;
        case EditCommand::selectAll: edit->selectAll(); break;
        }
    };
    if (auto* edit = qobject_cast<QPlainTextEdit*>(focus)) {
        runOnTextEdit(edit);
        return;
    }
    if (auto* edit = qobject_cast<QTextEdit*>(focus)) {
        runOnTextEdit(edit);
        return;
    }
    switch (command) {
    case EditCommand::undo: textView->undo(); break;
    case EditCommand::redo: textView->redo(); break;
    case EditCommand::cut: textView->cut(); break;
    case EditCommand::copy: textView->copy(); break;
    case EditCommand::paste: textView->paste(); break;
    case EditCommand::deleteSelection: textView->deleteSelection(); break;
    case EditCommand::selectAll: textView->selectAll(); break;
    }
}

/// Whether an Edit-menu command can run: always for a focused text field (it validates
/// itself), otherwise the text view's rule, which asks its input handlers (column selection).
bool canRunEditCommand(TextCommand command, EditorTextView* textView) {
    QWidget* focus = QApplication::focusWidget();
    if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus) ||
        qobject_cast<QTextEdit*>(focus))
        return true;
    return textView && textView->canPerform(command);
}

QKeySequence keys(QKeyCombination combination) {
    return QKeySequence(combination);
}

} // namespace

void EditorWindowController::attachMenus(MenuBuilder& builder) {
    m_window->setMenuBar(builder.mainMenu());

    // Application menu: About, then the features' items, then Quit.
    builder.addItem(MenuID::app, MenuCommand{QStringLiteral("Vendrix Hakkında"), [this] {
        whilePrompting([&] {
            QMessageBox::about(
                m_window.get(), QStringLiteral("Vendrix Hakkında"),
                QStringLiteral("<b>Vendrix</b> %1<br>Düz metin ve kaynak kodu için sekmeli "
                               "metin düzenleyici.<br><br>Kullanılan kitaplıklar: Qt %2 (LGPL "
                               "3), ICU (Unicode lisansı), nlohmann/json (MIT), libplist "
                               "(LGPL 2.1), libuuid (BSD).")
                    .arg(QApplication::applicationVersion().toHtmlEscaped(),
                         QString::fromLatin1(qVersion())));
            return 0;
        });
    }});
    builder.addSeparator(MenuID::app);
    const int insertIndex = builder.appInsertIndex();
    QMenu* appMenu = builder.menu(MenuID::app);
    appMenu->addSeparator();
    MenuBuilder::addItem(appMenu, MenuCommand{QStringLiteral("Vendrix'ten Çık"),
                                              [this] { requestQuit(); },
                                              {keys(Qt::CTRL | Qt::Key_Q)}});
    builder.setAppInsertIndex(insertIndex);
    // "Ayarlar…" and the View menu's wrapping, invisibles and zoom items.
    m_viewOptions->contributeMenus(builder);

    // File menu.
    auto hasActive = [this] { return activeDocument() != nullptr; };
    builder.addItem(MenuID::file, MenuCommand{QStringLiteral("Yeni"), [this] { newDocument(); },
                                              {keys(Qt::CTRL | Qt::Key_N)}});
    builder.addItem(MenuID::file, MenuCommand{QStringLiteral("Aç…"), [this] { runOpenPanel(); },
                                              {keys(Qt::CTRL | Qt::Key_O)}});
    m_recentMenu = builder.addSubmenu(MenuID::file, QStringLiteral("Son Açılanlar"));
    if (m_recentFiles)
        new RecentMenuDelegate(m_recentMenu, *m_recentFiles,
                               [this](const QString& path) { openFiles({path}); });
    builder.addSeparator(MenuID::file);
    builder.addItem(MenuID::file, MenuCommand{QStringLiteral("Kaydet"), [this] { m_saveFlow->saveActive(); },
                                              {keys(Qt::CTRL | Qt::Key_S)}, hasActive});
    builder.addItem(MenuID::file, MenuCommand{QStringLiteral("Farklı Kaydet…"), [this] {
        if (EditorDocument* document = activeDocument())
            m_saveFlow->saveAs(*document);
    }, {keys(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}, hasActive});
    builder.addItem(MenuID::file, MenuCommand{QStringLiteral("Tümünü Kaydet"), [this] { m_saveFlow->saveAll(); },
                                              {keys(Qt::CTRL | Qt::ALT | Qt::Key_S)}});
    builder.addItem(MenuID::file, MenuCommand{QStringLiteral("Diskten Yeniden Yükle"), [this] {
        if (EditorDocument* document = activeDocument())
            reloadFromDisk(*document);
    }, {}, [this] { return activeDocument() && canReload(*activeDocument()); }});
    builder.addSeparator(MenuID::file);
    QMenu* encodings = builder.addSubmenu(MenuID::file, QStringLiteral("Kodlama"));
    fillEncodingMenu(MenuBuilder::addSubmenu(encodings, QStringLiteral("Dönüştür")), false);
    fillEncodingMenu(MenuBuilder::addSubmenu(encodings, QStringLiteral("Bu Kodlamayla Yeniden Aç")),
                     true);
    fillLineEndingMenu(builder.addSubmenu(MenuID::file, QStringLiteral("Satır Sonu")));
    builder.addSeparator(MenuID::file);
    builder.addItem(MenuID::file, MenuCommand{QStringLiteral("Sekmeyi Kapat"), [this] {
        if (EditorDocument* document = activeDocument())
            closeDocument(*document);
    }, {keys(Qt::CTRL | Qt::Key_W), keys(Qt::CTRL | Qt::Key_F4)}, hasActive});

    // Edit menu: the focused field's own editing, or the active document's.
    auto edit = [this](EditCommand command) {
        return [this, command] { runEditCommand(command, m_textView); };
    };
    auto canUndo = [this](bool redo) {
        return [this, redo] {
            QWidget* focus = QApplication::focusWidget();
            if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus) ||
                qobject_cast<QTextEdit*>(focus))
                return true;
            const EditorDocument* document = m_textView->document();
            return document && m_textView->isEditable() &&
                   (redo ? document->undoStack()->canRedo() : document->undoStack()->canUndo());
        };
    };
    QAction* undo = builder.addItem(MenuID::edit, MenuCommand{QStringLiteral("Geri Al"),
                                                              edit(EditCommand::undo),
                                                              {keys(Qt::CTRL | Qt::Key_Z)},
                                                              canUndo(false)});
    QAction* redo = builder.addItem(
        MenuID::edit,
        MenuCommand{QStringLiteral("Yinele"),
                    edit(EditCommand::redo),
                    {keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), keys(Qt::CTRL | Qt::Key_Y)},
                    canUndo(true)});
    builder.addSeparator(MenuID::edit);
    auto can = [this](TextCommand command) {
        return [this, command] { return canRunEditCommand(command, m_textView); };
    };
    QAction* cut = builder.addItem(
        MenuID::edit, MenuCommand{QStringLiteral("Kes"),
                                  edit(EditCommand::cut),
                                  {keys(Qt::CTRL | Qt::Key_X), keys(Qt::SHIFT | Qt::Key_Delete)},
                                  can(TextCommand::cut)});
    QAction* copy = builder.addItem(
        MenuID::edit, MenuCommand{QStringLiteral("Kopyala"),
                                  edit(EditCommand::copy),
                                  {keys(Qt::CTRL | Qt::Key_C), keys(Qt::CTRL | Qt::Key_Insert)},
                                  can(TextCommand::copy)});
    QAction* paste = builder.addItem(
        MenuID::edit, MenuCommand{QStringLiteral("Yapıştır"),
                                  edit(EditCommand::paste),
                                  {keys(Qt::CTRL | Qt::Key_V), keys(Qt::SHIFT | Qt::Key_Insert)},
                                  can(TextCommand::paste)});
    QAction* erase = builder.addItem(MenuID::edit, MenuCommand{QStringLiteral("Sil"),
                                                               edit(EditCommand::deleteSelection),
                                                               {},
                                                               can(TextCommand::deleteSelection)});
    QAction* selectAll = builder.addItem(MenuID::edit, MenuCommand{QStringLiteral("Tümünü Seç"),
                                                                   edit(EditCommand::selectAll),
                                                                   {keys(Qt::CTRL | Qt::Key_A)}});
    // The text area's context menu: the features' items for the text under the pointer,
    // then these same actions (so their enabled state is the Edit menu's), in three groups.
    m_textMenuItems = {undo, redo, nullptr, cut, copy, paste, erase, nullptr, selectAll};
    m_textView->setContextMenuFiller([this](QMenu& menu, std::int64_t offset) {
        fillContextMenu(menu, *m_textView, offset);
        MenuBuilder::addSeparator(&menu);
        for (const QPointer<QAction>& item : m_textMenuItems) {
            if (!item)
                MenuBuilder::addSeparator(&menu);
            else
                menu.addAction(item);
        }
        MenuActionTarget::watch(&menu);
    });

    // Window menu.
    builder.addItem(MenuID::window, MenuCommand{QStringLiteral("Küçült"),
                                                [this] { m_window->showMinimized(); },
                                                {keys(Qt::CTRL | Qt::Key_M)}});
    builder.addItem(MenuID::window, MenuCommand{QStringLiteral("Yakınlaştır/Uzaklaştır"), [this] {
        m_window->isMaximized() ? m_window->showNormal() : m_window->showMaximized();
    }});
    builder.addSeparator(MenuID::window);
    builder.addItem(MenuID::window, MenuCommand{QStringLiteral("Sonraki Sekme"),
                                                [this] { activateNeighbour(1); },
                                                {keys(Qt::CTRL | Qt::Key_PageDown),
                                                 keys(Qt::CTRL | Qt::Key_Tab)}});
    builder.addItem(MenuID::window, MenuCommand{QStringLiteral("Önceki Sekme"),
                                                [this] { activateNeighbour(-1); },
                                                {keys(Qt::CTRL | Qt::Key_PageUp),
                                                 keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)}});
    auto moveActive = [this](int step) {
        const int active = m_workspace.activeIndex();
        const int target = active + step;
        if (active >= 0 && target >= 0 && target < static_cast<int>(m_workspace.count()))
            moveDocument(static_cast<std::size_t>(active), static_cast<std::size_t>(target));
    };
    builder.addItem(MenuID::window, MenuCommand{QStringLiteral("Sekmeyi Sola Taşı"),
                                                [moveActive] { moveActive(-1); }});
    builder.addItem(MenuID::window, MenuCommand{QStringLiteral("Sekmeyi Sağa Taşı"),
                                                [moveActive] { moveActive(1); }});
    builder.addSeparator(MenuID::window);
}

void EditorWindowController::fillEncodingMenu(QMenu* menu, bool reopen) {
    for (TextEncoding encoding : textEncoding::allCases) {
        const QString title = QString::fromUtf8(textEncoding::displayName(encoding));
        if (reopen) {
            // Offered only for a clean document with a file: the text comes from disk again.
            MenuBuilder::addItem(menu, MenuCommand{title, [this, encoding] {
                if (EditorDocument* document = activeDocument())
                    reopenWithEncoding(*document, encoding);
            }, {}, [this] {
                EditorDocument* document = activeDocument();
                return document && document->fileURL() && !document->isDirty();
            }});
        } else {
            MenuBuilder::addItem(menu, MenuCommand{title, [this, encoding] {
                m_saveFlow->setSaveEncoding(encoding);
            }, {}, [this] {
                EditorDocument* document = activeDocument();
                return document && !document->isReadOnly();
            }, [this, encoding] {
                EditorDocument* document = activeDocument();
                return document && document->encoding() == encoding;
            }});
        }
    }
    MenuActionTarget::watch(menu);
}

void EditorWindowController::fillLineEndingMenu(QMenu* menu) {
    const std::pair<LineEnding, QString> styles[] = {
        {LineEnding::lf, QStringLiteral("LF (Unix/macOS)")},
        {LineEnding::crlf, QStringLiteral("CRLF (Windows)")},
        {LineEnding::cr, QStringLiteral("CR (Klasik Mac)")},
    };
    for (const auto& [ending, title] : styles) {
        MenuBuilder::addItem(menu, MenuCommand{title, [this, ending] { m_saveFlow->setLineEnding(ending); }, {},
            [this] {
                EditorDocument* document = activeDocument();
                return document && !document->isReadOnly();
            },
            [this, ending] {
                EditorDocument* document = activeDocument();
                return document && document->lineEnding() == ending;
            }});
    }
    MenuActionTarget::watch(menu);
}

} // namespace vendrix::app
