#pragma once

#include "app/context/EditorObservation.h"
#include "app/context/StatusBarField.h"
#include "core/common/TextRange.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QMenu;
class QWidget;

namespace vendrix {
class SettingsBacking;
}

namespace vendrix::app {

class EditorDocument;
class EditorTextView;
class JobRunner;
class Prompter;
class SettingsOwner;

/// What an editor feature may do with the window. The window controller is the only
/// implementation; features never reach past it. Main thread only.
class EditorContext {
public:
    /// A column (rectangular) selection of the active document.
    struct ColumnSelectionInfo {
        /// The smallest range covering every line part.
        TextRange bounds;
        /// Each line's part of the rectangle, top line first (empty where a line is shorter
        /// than the rectangle's left edge, or for a rectangle of zero width).
        std::vector<TextRange> lineParts;
        /// The rectangle has a positive width (not just a column of carets).
        bool hasWidth = false;
    };

    /// Adds items for the text under the pointer to the text area's context menu (a
    /// feature's corrections or commands for one word): called with the menu, the view and
    /// `offset`, the text offset under the pointer (the caret's when the menu was opened from
    /// the keyboard), each time the menu opens. Items added here come first, above the Edit
    /// items; a provider that has nothing to offer adds nothing.
    using ContextMenuProvider =
        std::function<void(QMenu& menu, EditorTextView& view, std::int64_t offset)>;

    virtual ~EditorContext() = default;

    /// The active document, or null.
    virtual EditorDocument* activeDocument() const = 0;
    /// All documents in tab order.
    virtual std::vector<EditorDocument*> documents() const = 0;
    /// The text view that shows the active document.
    virtual EditorTextView* textView() const = 0;
    /// The window, as the parent of dialogs and panels.
    virtual QWidget* window() const = 0;
    /// Every alert and question goes through it (tests answer it).
    virtual Prompter& prompter() = 0;
    /// Runs background work with progress and "Vazgeç" (the window's one job runner).
    virtual JobRunner& jobRunner() = 0;

    /// Registers an event handler.
    virtual EditorObservation observe(EditorObservers::Handler handler) = 0;
    /// A label of at least `minWidth` pixels in the status bar, left of the built-in
    /// line-ending, encoding and language fields.
    virtual std::shared_ptr<StatusBarField> addStatusField(const QString& id, int minWidth) = 0;
    /// A transient status-bar message; a new one replaces the old and restarts the timer.
    virtual void showMessage(const QString& message, double seconds) = 0;
    /// Inserts a full-width bar above the text (below the tab bar) or below it (above the
    /// status bar); removes it again.
    virtual void addAccessory(QWidget* accessory, bool atBottom) = 0;
    virtual void removeAccessory(QWidget* accessory) = 0;

    /// Selects a range of the active document (clamped) and scrolls it into view.
    virtual void select(TextRange range) = 0;
    /// Replaces several ranges of `document` as one undoable action named `actionName`.
    /// Refused (false, nothing changed) when the counts differ, the document is read-only or
    /// cannot be loaded, the ranges are not inside the text, ascending and disjoint, or a
    /// change filter refuses. No ranges: nothing happens, true.
    virtual bool applyEdits(EditorDocument& document, std::vector<TextRange> ranges,
                            std::vector<std::u16string> replacements,
                            const QString& actionName) = 0;
    /// The same for the active document; false when there is none.
    bool applyEdits(std::vector<TextRange> ranges, std::vector<std::u16string> replacements,
                    const QString& actionName) {
        EditorDocument* document = activeDocument();
        return document != nullptr &&
               applyEdits(*document, std::move(ranges), std::move(replacements), actionName);
    }
    /// Changes a document's language (none: plain text); broadcasts languageChanged when the
    /// value differs.
    virtual void setLanguage(std::optional<std::string> languageID, EditorDocument& document) = 0;
    /// Makes `document` the active tab, loading it if needed.
    virtual void activate(EditorDocument& document) = 0;
    /// Loads the pending content of `documents` and then calls `then` (on the main thread,
    /// perhaps before returning). Large files are read on a worker behind a progress panel
    /// that can be cancelled, one after the other, so the window keeps working; `then` gets
    /// false when the user cancelled such a read: the large files not read yet stay pending
    /// (the small ones are loaded all the same). A document that could not be read, or was
    /// closed meanwhile, is simply not loaded: callers check isLoaded() afterwards. Here (test
    /// doubles): each document is loaded at once.
    virtual void loadPending(std::vector<EditorDocument*> documents,
                             std::function<void(bool completed)> then);
    /// Opens the file at `path` as the open command does (a large file is read in the
    /// background behind its progress panel; a file already open is activated), then calls
    /// `then` on the main thread with its document, or null when it could not be opened or
    /// the user cancelled. The document may still be pending: see loadPending. Here (test
    /// doubles): null at once.
    using FileOpened = std::function<void(EditorDocument* document)>;
    virtual void openFile(const QString& path, FileOpened then);
    /// Recomputes the built-in status-bar fields.
    virtual void refreshStatusBar() = 0;
    /// The owner of the editor settings (font, tabs, theme, display options); null where
    /// there is none (test doubles).
    virtual SettingsOwner* viewOptions() { return nullptr; }
    /// The active column selection of the text view, if any.
    virtual std::optional<ColumnSelectionInfo> columnSelection() const;
    /// Where the settings are kept (for values a feature owns, such as "formatting.indent");
    /// null when nothing is kept.
    virtual SettingsBacking* settingsBacking() const { return nullptr; }

    /// Registers a context-menu provider; providers are asked in the order registered. The
    /// token's cancel() removes it (features cancel theirs when they go).
    EditorObservation addContextMenuProvider(ContextMenuProvider provider);
    /// Asks every provider for the menu opened at `offset` in `view` (the window calls it
    /// while building the menu, before its own items).
    void fillContextMenu(QMenu& menu, EditorTextView& view, std::int64_t offset) const;

private:
    using ContextMenuProviders = std::map<std::uint64_t, std::shared_ptr<ContextMenuProvider>>;
    std::shared_ptr<ContextMenuProviders> m_contextMenuProviders =
        std::make_shared<ContextMenuProviders>();
    std::uint64_t m_nextProviderID = 0;
};

} // namespace vendrix::app
