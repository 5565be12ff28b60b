#include "app/features/search/SearchFeature.h"

#include "app/context/MenuBuilder.h"
#include "app/context/SettingsOwner.h"
#include "app/document/EditorDocument.h"
#include "app/features/search/FindBar.h"
#include "app/features/search/FindController.h"
#include "app/features/search/GoToLineBar.h"
#include "app/features/search/SearchResultsView.h"
#include "app/features/search/SearchText.h"
#include "app/view/EditorTextView.h"
#include "core/search/WordHighlight.h"

#include <QLineEdit>

#include <functional>

namespace vendrix::app {

SearchFeature::SearchFeature() {
    wordWork.setSingleShot(true);
    connect(&wordWork, &QTimer::timeout, this, &SearchFeature::updateWordHighlight);
}

SearchFeature::~SearchFeature() {
    m_observation.cancel();
    disconnect(m_viewConnection);
    // The bars belong to the window's layout; take them out before the controller goes.
    if (ctx) {
        for (QWidget* bar :
             {static_cast<QWidget*>(m_findBar.data()), static_cast<QWidget*>(m_goToLineBar.data()),
              static_cast<QWidget*>(m_results.data())})
            if (bar) {
                ctx->removeAccessory(bar);
                delete bar;
            }
    }
}

void SearchFeature::attach(EditorContext& context) {
    ctx = &context;
    if (SettingsOwner* options = context.viewOptions())
        connect(options, &SettingsOwner::settingsChanged, this,
                &SearchFeature::scheduleWordHighlight);
    find = std::make_unique<FindController>(context);
    connect(find.get(), &FindController::resultsFound, this, &SearchFeature::showResults);
    m_observation = context.observe([this](const EditorEvent& event) { handle(event); });
    if (EditorTextView* view = context.textView())
        m_viewConnection = connect(view, &EditorTextView::selectionChanged, this,
                                   &SearchFeature::scheduleWordHighlight);
}

void SearchFeature::handle(const EditorEvent& event) {
    if (!ctx || !find)
        return;
    switch (event.kind) {
    case EditorEvent::Kind::activeDocumentChanged:
        // Marks of the previous tab mean nothing in this one.
        find->highlighter().clear();
        find->scheduleCount(FindController::queryCountDelayMs);
        find->activeDocumentChanged();
        refreshGoToLineRange();
        scheduleWordHighlight();
        break;
    case EditorEvent::Kind::textChanged:
        if (event.document == ctx->activeDocument()) {
            find->scheduleCount(FindController::textCountDelayMs);
            find->refreshPosition();
            refreshGoToLineRange();
            scheduleWordHighlight();
        }
        break;
    case EditorEvent::Kind::documentLoaded:
        if (event.document == ctx->activeDocument())
            refreshGoToLineRange();
        break;
    case EditorEvent::Kind::selectionChanged:
        find->refreshPosition();
        scheduleWordHighlight();
        break;
    default:
        break;
    }
}

bool SearchFeature::highlightsSelectedWord() const {
    // The settings have one owner: read and change them through it.
    const SettingsOwner* options = ctx ? ctx->viewOptions() : nullptr;
    return options ? options->settings().highlightSelectedWord : m_ownHighlightSelectedWord;
}

void SearchFeature::toggleHighlightSelectedWord() {
    const bool on = !highlightsSelectedWord();
    if (SettingsOwner* options = ctx ? ctx->viewOptions() : nullptr) {
        EditorSettings settings = options->settings();
        settings.highlightSelectedWord = on;
        options->changeSettings(settings);
    } else {
        m_ownHighlightSelectedWord = on;
    }
    updateWordHighlight();
}

bool SearchFeature::activeIsEditable() const {
    EditorDocument* document = ctx ? ctx->activeDocument() : nullptr;
    return document && !document->isReadOnly();
}

void SearchFeature::contributeMenus(MenuBuilder& builder) {
    auto keys = [](std::initializer_list<QKeySequence> list) { return QList<QKeySequence>(list); };
    auto canReplace = [this] { return activeIsEditable() && find && !find->query().isEmpty(); };
    auto add = [&builder](QString title, std::function<void()> action,
                          QList<QKeySequence> shortcuts = {}, std::function<bool()> enabled = {},
                          std::function<bool()> checked = {}) {
        builder.addItem(MenuID::search,
                        MenuCommand{std::move(title), std::move(action), std::move(shortcuts),
                                    std::move(enabled), std::move(checked)});
    };
    add(
        QStringLiteral("Bul…"), [this] { showFindBar(false); },
        keys({QKeySequence(Qt::CTRL | Qt::Key_F)}));
    add(
        QStringLiteral("Bul ve Değiştir…"), [this] { showFindBar(true); },
        keys({QKeySequence(Qt::CTRL | Qt::Key_H), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F)}));
    add(
        QStringLiteral("Sonrakini Bul"), [this] { findNext(true); },
        keys({QKeySequence(Qt::Key_F3), QKeySequence(Qt::CTRL | Qt::Key_G)}));
    add(
        QStringLiteral("Öncekini Bul"), [this] { findNext(false); },
        keys({QKeySequence(Qt::SHIFT | Qt::Key_F3),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G)}));
    add(
        QStringLiteral("Seçimi Aramada Kullan"), [this] { useSelectionForFind(); },
        keys({QKeySequence(Qt::CTRL | Qt::Key_E)}));
    builder.addSeparator(MenuID::search);
    add(
        QStringLiteral("Değiştir"), [this] { find->replace(); }, {}, canReplace);
    add(
        QStringLiteral("Tümünü Değiştir"), [this] { find->replaceAll(); }, {}, canReplace);
    builder.addSeparator(MenuID::search);
    add(
        QStringLiteral("Tüm Sekmelerde Bul"), [this] { findInAllTabs(); },
        keys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)}));
    add(
        QStringLiteral("Tüm Sekmelerde Değiştir"), [this] { find->replaceInAllTabs(); }, {},
        [this] { return find && !find->query().isEmpty(); });
    builder.addSeparator(MenuID::search);
    add(
        QStringLiteral("Satıra Git…"), [this] { showGoToLine(); },
        keys({QKeySequence(Qt::CTRL | Qt::Key_L)}));
    add(
        QStringLiteral("Seçili Kelimeyi Vurgula"), [this] { toggleHighlightSelectedWord(); }, {},
        {}, [this] { return highlightsSelectedWord(); });
}

void SearchFeature::scheduleWordHighlight() {
    wordWork.start(wordDelayMs);
}

TextRange SearchFeature::effectiveSelection() const {
    if (auto column = ctx->columnSelection())
        return column->bounds;
    EditorTextView* view = ctx->textView();
    return view ? view->selectedRange() : TextRange{};
}

std::optional<TextRange> SearchFeature::firstColumnPart() const {
    auto column = ctx->columnSelection();
    if (!column || !column->hasWidth)
        return std::nullopt;
    for (const TextRange& part : column->lineParts)
        if (!part.empty())
            return part;
    return std::nullopt;
}

void SearchFeature::updateWordHighlight() {
    wordWork.stop();
    if (!ctx || !find)
        return;
    EditorDocument* document = ctx->activeDocument();
    EditorTextView* view = ctx->textView();
    if (!highlightsSelectedWord() || !document || !document->isLoaded() || !view ||
        view->document() != document) {
        find->highlighter().setWordRanges({});
        return;
    }
    // Work on a window of the text around what is visible (and the selection), so a large
    // document moves its gap by no more than that window.
    const std::int64_t length = document->length();
    const TextRange selection = effectiveSelection();
    if (!selection.fits(length) || selection.empty()) {
        find->highlighter().setWordRanges({});
        return;
    }
    const TextRange visible = view->visibleCharacterRange();
    const std::int64_t from = std::max<std::int64_t>(0, visible.location - wordSearchMargin);
    const std::int64_t to = std::min<std::int64_t>(length, visible.end() + wordSearchMargin);
    const std::int64_t sliceFrom =
        std::max<std::int64_t>(0, std::min(from, selection.location - 2));
    const std::int64_t sliceTo = std::min<std::int64_t>(length, std::max(to, selection.end() + 2));
    const std::u16string_view slice =
        document->storageForReading()->contiguous({sliceFrom, sliceTo - sliceFrom});
    const auto word =
        WordHighlight::candidate(slice, {selection.location - sliceFrom, selection.length});
    if (!word) {
        find->highlighter().setWordRanges({});
        return;
    }
    auto ranges = WordHighlight::occurrences(*word, slice, {from - sliceFrom, to - from},
                                             WordHighlight::defaultLimit);
    for (TextRange& range : ranges)
        range.location += sliceFrom;
    if (ranges.size() < 2)
        ranges.clear();
    find->highlighter().setWordRanges(std::move(ranges));
}

void SearchFeature::showFindBar(bool withReplace) {
    if (!ctx)
        return;
    // Prefill from the selection: the first part of a column selection, else a selection of
    // at most 500 units without a line feed.
    if (auto part = firstColumnPart()) {
        if (part->length <= prefillLimit)
            if (EditorDocument* document = ctx->activeDocument(); document && document->isLoaded())
                find->setQuery(toQString(document->storageForReading()->contiguous(*part)));
    } else if (EditorDocument* document = ctx->activeDocument(); document && document->isLoaded()) {
        const TextRange selection = effectiveSelection();
        if (selection.length >= 1 && selection.length <= prefillLimit &&
            selection.fits(document->length())) {
            const auto selected = document->storageForReading()->contiguous(selection);
            if (selected.find(u'\n') == std::u16string_view::npos)
                find->setQuery(toQString(selected));
        }
    }
    if (!m_findBar) {
        m_findBar = new FindBar(*find);
        connect(m_findBar, &FindBar::closeRequested, this, &SearchFeature::closeFindBar);
        m_findBar->setParent(ctx->window());
    }
    if (!isFindBarVisible) {
        ctx->addAccessory(m_findBar, false);
        isFindBarVisible = true;
    }
    m_findBar->setReplaceVisible(withReplace);
    m_findBar->refreshFromController();
    m_findBar->refreshStatus();
    const bool wasCounting = find->isLiveCounting();
    find->setLiveCounting(true);
    if (!wasCounting)
        find->startCount();
    else
        find->optionsChanged();
    m_findBar->focusFindField();
}

void SearchFeature::closeFindBar() {
    if (!ctx || !m_findBar || !isFindBarVisible)
        return;
    ctx->removeAccessory(m_findBar);
    isFindBarVisible = false;
    find->setLiveCounting(false);
    find->scheduleCount(0); // clears the count and its marks
    if (EditorTextView* view = ctx->textView())
        view->setFocus(Qt::OtherFocusReason);
}

void SearchFeature::findNext(bool forward) {
    if (!find)
        return;
    if (find->query().isEmpty()) {
        showFindBar(false);
        return;
    }
    find->find(forward);
}

void SearchFeature::findInAllTabs() {
    if (!find)
        return;
    if (find->query().isEmpty()) {
        showFindBar(false);
        return;
    }
    find->findInAllTabs();
}

void SearchFeature::useSelectionForFind() {
    if (!ctx || !find)
        return;
    EditorDocument* document = ctx->activeDocument();
    if (!document || !document->isLoaded())
        return;
    std::optional<TextRange> range = firstColumnPart();
    if (!range) {
        const TextRange selection = effectiveSelection();
        if (!selection.empty() && selection.fits(document->length()))
            range = selection;
    }
    if (!range)
        return;
    find->setQuery(toQString(document->storageForReading()->contiguous(*range)));
    find->optionsChanged();
    if (m_findBar && isFindBarVisible)
        m_findBar->refreshFromController();
}

void SearchFeature::showResults(const MultiDocumentResult& result) {
    if (!ctx)
        return;
    if (!m_results) {
        m_results = new SearchResultsView(*ctx);
        connect(m_results, &SearchResultsView::closeRequested, this, &SearchFeature::closeResults);
        m_results->setParent(ctx->window());
    }
    m_results->show(result.hits, find->status());
    if (!isResultsVisible) {
        ctx->addAccessory(m_results, true);
        isResultsVisible = true;
    }
}

void SearchFeature::closeResults() {
    if (!ctx || !m_results || !isResultsVisible)
        return;
    ctx->removeAccessory(m_results);
    isResultsVisible = false;
}

void SearchFeature::showGoToLine() {
    if (!ctx)
        return;
    if (!m_goToLineBar) {
        m_goToLineBar = new GoToLineBar(*ctx);
        connect(m_goToLineBar, &GoToLineBar::closeRequested, this, &SearchFeature::closeGoToLine);
        m_goToLineBar->setParent(ctx->window());
    }
    if (!isGoToLineVisible) {
        ctx->addAccessory(m_goToLineBar, false);
        isGoToLineVisible = true;
    }
    m_goToLineBar->prepare();
}

void SearchFeature::refreshGoToLineRange() {
    if (m_goToLineBar && isGoToLineVisible)
        m_goToLineBar->refreshRange();
}

void SearchFeature::closeGoToLine() {
    if (!ctx || !m_goToLineBar || !isGoToLineVisible)
        return;
    ctx->removeAccessory(m_goToLineBar);
    isGoToLineVisible = false;
    if (EditorTextView* view = ctx->textView())
        view->setFocus(Qt::OtherFocusReason);
}

} // namespace vendrix::app
