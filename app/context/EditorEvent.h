#pragma once

#include "core/common/TextRange.h"

#include <cstdint>

namespace vendrix::app {

class EditorDocument;

/// Something that happened in the editor window, broadcast to every observer on the main
/// thread. Every kind but appearanceChanged names the document concerned.
struct EditorEvent {
    enum class Kind {
        /// A tab became the active one (also on the first activation of a new tab).
        activeDocumentChanged,
        /// A document was added to the window (new, opened, restored).
        documentOpened,
        /// A document's pending content was loaded into its text storage.
        documentLoaded,
        /// A document was removed from the window; it is destroyed after the broadcast.
        documentClosed,
        /// A document was written to its file.
        documentSaved,
        /// The characters of a document changed (editedRange holds the new text).
        textChanged,
        /// The selection of the active document changed.
        selectionChanged,
        /// A document's language was set to a different value.
        languageChanged,
        /// The editor font or the effective line wrapping changed.
        appearanceChanged,
    };

    Kind kind = Kind::appearanceChanged;
    EditorDocument* document = nullptr;
    /// For textChanged: the range of the new text, in UTF-16 units.
    TextRange editedRange;
    /// For textChanged: new length minus old length.
    std::int64_t changeInLength = 0;

    static EditorEvent of(Kind kind, EditorDocument* document) { return {kind, document, {}, 0}; }
    static EditorEvent textChanged(EditorDocument* document, TextRange range,
                                   std::int64_t changeInLength) {
        return {Kind::textChanged, document, range, changeInLength};
    }
};

} // namespace vendrix::app
