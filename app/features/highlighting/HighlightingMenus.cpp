// The highlighting feature's commands: the Language menu, comment toggling and the colouring
// toggles of the View menu.
#include "app/context/EditorContext.h"
#include "app/context/MenuBuilder.h"
#include "app/document/EditorDocument.h"
#include "app/features/highlighting/HighlightingFeature.h"
#include "app/view/EditorTextView.h"
#include "core/syntax/CommentToggler.h"
#include "core/syntax/LanguageCatalog.h"
#include "core/text/TextStorage.h"

namespace vendrix::app {

void HighlightingFeature::contributeMenus(MenuBuilder& builder) {
    builder.addSeparator(MenuID::edit);
    builder.addItem(MenuID::edit, MenuCommand{commentActionName,
                                              [this] { toggleComment(); },
                                              {QKeySequence(Qt::CTRL | Qt::Key_Slash)}});

    auto languageOf = [this]() -> std::optional<std::string> {
        EditorDocument* document = m_context ? m_context->activeDocument() : nullptr;
        return document ? document->languageID() : std::nullopt;
    };
    auto hasDocument = [this] { return m_context && m_context->activeDocument(); };
    builder.addItem(MenuID::language,
                    MenuCommand{QStringLiteral("Otomatik Algıla"),
                                [this] { detectLanguageAgain(); },
                                {},
                                hasDocument,
                                [this] {
                                    EditorDocument* document =
                                        m_context ? m_context->activeDocument() : nullptr;
                                    return document && !m_chosenByHand.contains(document->id());
                                }});
    builder.addSeparator(MenuID::language);
    builder.addItem(
        MenuID::language,
        MenuCommand{QStringLiteral("Düz Metin"),
                    [this] { chooseLanguage("plain"); },
                    {},
                    hasDocument,
                    [languageOf] { return !LanguageCatalog::definition(languageOf()); }});
    for (const LanguageDefinition& definition : LanguageCatalog::all()) {
        const std::string id = definition.id;
        builder.addItem(MenuID::language,
                        MenuCommand{QString::fromStdString(definition.name),
                                    [this, id] { chooseLanguage(id); },
                                    {},
                                    hasDocument,
                                    [languageOf, id] { return languageOf() == id; }});
    }

    builder.addSeparator(MenuID::view);
    builder.addItem(MenuID::view, MenuCommand{QStringLiteral("Sözdizimi Renklendirme"),
                                              [this] { setColoringEnabled(!m_coloringEnabled); },
                                              {},
                                              {},
                                              [this] { return m_coloringEnabled; }});
    builder.addItem(MenuID::view,
                    MenuCommand{QStringLiteral("Geçerli Satırı Vurgula"),
                                [this] { setHighlightsCurrentLine(!m_highlightsCurrentLine); },
                                {},
                                {},
                                [this] { return m_highlightsCurrentLine; }});
}

void HighlightingFeature::toggleComment() {
    if (!m_context)
        return;
    EditorDocument* document = m_context->activeDocument();
    const LanguageDefinition* definition =
        document ? LanguageCatalog::definition(document->languageID()) : nullptr;
    std::optional<CommentToggler::Edit> edit;
    if (document && !document->isReadOnly() && document->isLoaded() && definition) {
        // A column selection comments every line its rectangle covers.
        const auto column = m_context->columnSelection();
        const TextRange selection = column                           ? column->bounds
                                    : m_view->document() == document ? m_view->selectedRange()
                                                                     : document->selection();
        edit = CommentToggler::toggle(*document->storage(), selection, definition->lineComment,
                                      definition->blockComment);
    }
    if (!edit) {
        m_context->showMessage(noCommentMessage, 4);
        return;
    }
    if (m_context->applyEdits(*document, {edit->range}, {edit->replacement}, commentActionName))
        m_context->select(edit->selection);
}

} // namespace vendrix::app
