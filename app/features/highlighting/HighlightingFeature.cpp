#include "app/features/highlighting/HighlightingFeature.h"

#include "app/context/EditorContext.h"
#include "app/document/EditorDocument.h"
#include "app/features/highlighting/SyntaxTheme.h"
#include "app/view/EditorTextView.h"
#include "core/syntax/LanguageCatalog.h"
#include "core/text/TextStorage.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMetaObject>

namespace vendrix::app {

namespace {

/// How much of the text language detection looks at (first line and content prefix).
constexpr std::int64_t kDetectionPrefix = 4096;

} // namespace

HighlightingFeature::HighlightingFeature(QObject* parent) : QObject(parent) {
    m_catchUpTimer.setSingleShot(true);
    m_catchUpTimer.setInterval(0);
    connect(&m_catchUpTimer, &QTimer::timeout, this, &HighlightingFeature::continueCatchUp);
}

HighlightingFeature::~HighlightingFeature() {
    for (EditorObservation& observation : m_observations)
        observation.cancel();
    if (m_view)
        m_view->removeEventFilter(this);
}

void HighlightingFeature::attach(EditorContext& context) {
    m_context = &context;
    m_view = context.textView();
    m_dark = SyntaxTheme::isDark(m_view->palette());
    m_statusField = context.addStatusField(QStringLiteral("highlighting"), 0);
    if (m_statusField && m_statusField->label) {
        m_statusField->label->setText(statusText);
        m_statusField->label->setToolTip(statusToolTip);
        m_statusField->label->setVisible(false);
    }
    m_observations.push_back(context.observe([this](const EditorEvent& event) { handle(event); }));
    connect(m_view, &EditorTextView::viewChanged, this, [this] { scheduleColoring(); });
    m_view->installEventFilter(this);
}

void HighlightingFeature::handle(const EditorEvent& event) {
    EditorDocument* document = event.document;
    using Kind = EditorEvent::Kind;
    switch (event.kind) {
    case Kind::documentOpened:
    case Kind::documentLoaded:
        if (document)
            decideLanguage(*document, false);
        break;
    case Kind::documentSaved:
        if (document)
            noticeRename(*document);
        break;
    case Kind::documentClosed:
        if (document)
            documentClosed(*document);
        break;
    case Kind::textChanged:
        if (document)
            textChanged(*document, event.editedRange);
        break;
    case Kind::selectionChanged:
        scheduleBracket();
        updateCurrentLine();
        break;
    case Kind::activeDocumentChanged:
        if (document)
            noticeRename(*document);
        clearColoring();
        m_bracketMatch.reset();
        m_view->clearBackgroundLayer(BackgroundLayer::bracketPair);
        scheduleColoring();
        scheduleBracket();
        updateCurrentLine();
        break;
    case Kind::languageChanged:
        if (document == m_context->activeDocument()) {
            scheduleColoring();
            scheduleBracket();
        }
        break;
    case Kind::appearanceChanged:
        scheduleColoring();
        updateCurrentLine();
        break;
    }
}

void HighlightingFeature::textChanged(EditorDocument& document, TextRange editedRange) {
    ++m_generation;
    auto found = m_engines.find(document.id());
    if (found != m_engines.end()) {
        QElapsedTimer timer;
        timer.start();
        if (document.length() > coloringLimit)
            m_engines.erase(found);
        else
            found->second->noteEdit(editedRange, document.lineIndex());
        m_pendingEditMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    }
    if (&document == m_context->activeDocument()) {
        scheduleColoring();
        scheduleBracket();
        updateCurrentLine();
    }
}

void HighlightingFeature::documentClosed(const EditorDocument& document) {
    // Keyed by id, so a later document created at the same address starts afresh.
    m_engines.erase(document.id());
    m_knownURLs.erase(document.id());
    m_chosenByHand.erase(document.id());
    if (m_colored && m_colored->document == document.id())
        m_colored.reset();
    if (m_catchUpDocument == document.id()) {
        m_catchUpTimer.stop();
        m_catchUpDocument = QUuid();
    }
}

void HighlightingFeature::decideLanguage(EditorDocument& document, bool force) {
    const QUuid id = document.id();
    const bool decided = m_knownURLs.contains(id);
    if (!force && (decided || document.languageID().has_value())) {
        // A language restored with the session, or decided earlier, stays.
        if (!decided)
            m_knownURLs[id] = document.fileURL();
        return;
    }
    if (!document.isLoaded() &&
        document.pending().kind != EditorDocument::PendingContent::Kind::empty)
        return; // decided once the content is there (documentLoaded)
    std::string fileName;
    if (document.fileURL())
        fileName = QFileInfo(*document.fileURL()).fileName().toStdString();
    std::u16string prefix;
    if (const TextStorage* storage = document.storage())
        prefix = storage->substring({0, std::min(storage->length(), kDetectionPrefix)});
    m_knownURLs[id] = document.fileURL();
    m_context->setLanguage(LanguageCatalog::detect(fileName, prefix), document);
}

void HighlightingFeature::noticeRename(EditorDocument& document) {
    auto known = m_knownURLs.find(document.id());
    if (known == m_knownURLs.end() || known->second == document.fileURL())
        return;
    if (m_chosenByHand.contains(document.id())) {
        known->second = document.fileURL();
        return;
    }
    decideLanguage(document, true);
}

void HighlightingFeature::chooseLanguage(std::optional<std::string> languageID) {
    EditorDocument* document = m_context ? m_context->activeDocument() : nullptr;
    if (!document)
        return;
    m_chosenByHand.insert(document->id());
    m_knownURLs[document->id()] = document->fileURL();
    m_context->setLanguage(languageID ? std::move(languageID) : std::optional<std::string>("plain"),
                           *document);
}

void HighlightingFeature::detectLanguageAgain() {
    EditorDocument* document = m_context ? m_context->activeDocument() : nullptr;
    if (!document)
        return;
    m_chosenByHand.erase(document->id());
    decideLanguage(*document, true);
}

HighlightingFeature::ColoringStatus
HighlightingFeature::coloringStatus(const EditorDocument& document) const {
    if (!document.isLoaded())
        return ColoringStatus::noStorage;
    if (!m_coloringEnabled)
        return ColoringStatus::off;
    if (!LanguageCatalog::definition(document.languageID()))
        return ColoringStatus::noLanguage;
    if (document.length() > coloringLimit)
        return ColoringStatus::tooLarge;
    return ColoringStatus::color;
}

HighlightEngine* HighlightingFeature::engine(const EditorDocument& document) const {
    auto found = m_engines.find(document.id());
    return found == m_engines.end() ? nullptr : found->second.get();
}

HighlightEngine* HighlightingFeature::engineFor(EditorDocument& document) {
    if (coloringStatus(document) != ColoringStatus::color) {
        m_engines.erase(document.id());
        return nullptr;
    }
    std::unique_ptr<HighlightEngine>& slot = m_engines[document.id()];
    if (!slot || slot->languageID() != *document.languageID())
        slot = HighlightEngine::create(*document.languageID(), document.lineIndex().lineCount(),
                                       maxLineLength);
    if (!slot) {
        m_engines.erase(document.id());
        return nullptr;
    }
    return slot.get();
}

void HighlightingFeature::setColoringEnabled(bool enabled) {
    if (m_coloringEnabled == enabled)
        return;
    m_coloringEnabled = enabled;
    if (!enabled)
        m_engines.clear();
    scheduleColoring();
    scheduleBracket();
}

void HighlightingFeature::setHighlightsCurrentLine(bool enabled) {
    m_highlightsCurrentLine = enabled;
    updateCurrentLine();
}

bool HighlightingFeature::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view && event->type() == QEvent::PaletteChange)
        paletteChanged();
    return QObject::eventFilter(watched, event);
}

void HighlightingFeature::paletteChanged() {
    const bool dark = SyntaxTheme::isDark(m_view->palette());
    if (dark == m_dark)
        return;
    m_dark = dark;
    // Every colour drawn so far belongs to the other variant.
    clearColoring();
    m_bracketMatch.reset();
    scheduleColoring();
    scheduleBracket();
    updateCurrentLine();
}

std::unique_ptr<EditorFeature> makeHighlightingFeature() {
    return std::make_unique<HighlightingFeature>();
}

void HighlightingFeature::addSample(double ms) {
    ++m_sampleCount;
    m_sampleMax = std::max(m_sampleMax, ms);
    m_samples.push_back(ms);
    while (m_samples.size() > 500)
        m_samples.pop_front();
}

} // namespace vendrix::app
