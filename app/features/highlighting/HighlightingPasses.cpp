// The colouring, bracket and current-line passes of the highlighting feature, and the
// time-sliced computing of line states ahead of the visible lines.
#include "app/context/EditorContext.h"
#include "app/document/EditorDocument.h"
#include "app/features/highlighting/HighlightingFeature.h"
#include "app/features/highlighting/SyntaxTheme.h"
#include "app/view/EditorTextView.h"
#include "core/text/TextStorage.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMetaObject>

#include <algorithm>
#include <map>

namespace vendrix::app {

namespace {

/// A pass computes states synchronously for at most this long before it hands the rest to
/// slices between events, so a jump far ahead shows its frame at once.
constexpr double kPassCatchUpBudgetMs = 8;
/// The length of one slice of computing states ahead.
constexpr double kSliceBudgetMs = 10;
/// How much text one step of computing ahead covers before the clock is looked at again.
constexpr std::int64_t kStepUnits = 64 * 1024;
/// The most lines kept coloured at once; beyond, colouring starts again from the visible ones.
constexpr std::int64_t kMaxColoredLines = 4000;

double elapsedMs(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

void HighlightingFeature::scheduleColoring() {
    if (m_recolorScheduled || !m_context)
        return;
    m_recolorScheduled = true;
    QMetaObject::invokeMethod(this, &HighlightingFeature::runColoringPass, Qt::QueuedConnection);
}

void HighlightingFeature::scheduleBracket() {
    if (m_bracketScheduled || !m_context)
        return;
    m_bracketScheduled = true;
    QMetaObject::invokeMethod(this, &HighlightingFeature::runBracketPass, Qt::QueuedConnection);
}

void HighlightingFeature::clearColoring() {
    if (m_view)
        m_view->clearForegroundLayer(ForegroundLayer::syntax);
    m_colored.reset();
}

void HighlightingFeature::updateStatusField(EditorDocument* document) {
    if (!m_statusField || !m_statusField->label)
        return;
    const bool show = document && coloringStatus(*document) == ColoringStatus::tooLarge;
    m_statusField->label->setVisible(show);
}

bool HighlightingFeature::catchUp(HighlightEngine& engine, EditorDocument& document,
                                  std::int64_t line, double budgetMs) {
    const LineIndex& lineIndex = document.lineIndex();
    const TextStorage& text = *document.storage();
    QElapsedTimer timer;
    timer.start();
    while (engine.validLineCount() <= line) {
        // One step: about kStepUnits of text past the last known state, at least one line.
        const std::int64_t from = engine.validLineCount() - 1;
        const std::int64_t stepEnd = lineIndex.lineStart(from) + kStepUnits;
        const std::int64_t target =
            std::clamp(lineIndex.lineNumber(stepEnd), from + 1, std::max(line, from + 1));
        (void)engine.state(target, text, lineIndex);
        if (elapsedMs(timer) >= budgetMs)
            return engine.validLineCount() > line;
    }
    return true;
}

bool HighlightingFeature::statesReady(HighlightEngine& engine, EditorDocument& document,
                                      std::int64_t line) {
    if (catchUp(engine, document, line, kPassCatchUpBudgetMs))
        return true;
    if (m_catchUpDocument != document.id() || !m_catchUpTimer.isActive())
        m_catchUpLine = line;
    else
        m_catchUpLine = std::max(m_catchUpLine, line);
    m_catchUpDocument = document.id();
    if (!m_catchUpTimer.isActive())
        m_catchUpTimer.start();
    return false;
}

void HighlightingFeature::continueCatchUp() {
    EditorDocument* document = m_context ? m_context->activeDocument() : nullptr;
    if (!document || document->id() != m_catchUpDocument || !document->isLoaded())
        return;
    HighlightEngine* engine = this->engine(*document);
    if (!engine)
        return;
    if (catchUp(*engine, *document, m_catchUpLine, kSliceBudgetMs)) {
        scheduleColoring();
        scheduleBracket();
    } else {
        m_catchUpTimer.start();
    }
}

void HighlightingFeature::runColoringPass() {
    m_recolorScheduled = false;
    EditorDocument* document = m_context ? m_context->activeDocument() : nullptr;
    updateStatusField(document);
    if (!document || m_view->document() != document || !document->isLoaded()) {
        m_pendingEditMs.reset();
        return;
    }
    HighlightEngine* engine = engineFor(*document);
    if (!engine) {
        if (m_colored || !m_view->temporaryAttributes()
                              .foreground(ForegroundLayer::syntax, {0, document->length()})
                              .empty())
            m_view->clearForegroundLayer(ForegroundLayer::syntax);
        m_colored.reset();
        m_pendingEditMs.reset();
        return;
    }
    QElapsedTimer timer;
    timer.start();
    const LineIndex& lineIndex = document->lineIndex();
    const TextRange visible = m_view->visibleCharacterRange();
    const std::int64_t lastIndexLine = lineIndex.lineCount() - 1;
    const std::int64_t first =
        std::max<std::int64_t>(0, lineIndex.lineNumber(visible.location) - extraLines);
    const std::int64_t last =
        std::min(lastIndexLine, lineIndex.lineNumber(visible.end()) + extraLines);

    if (m_colored && m_colored->document == document->id() &&
        m_colored->generation == m_generation && m_colored->firstLine <= first &&
        m_colored->lastLine >= last) {
        return;
    }
    // The states up to the first line must be known; far ahead they are computed in slices
    // and this pass is run again when they arrive.
    if (!statesReady(*engine, *document, first))
        return;

    // Lines already coloured at this generation keep their colours; only the lines the
    // coverage does not reach yet are tokenized (scrolling a little tokenizes a few lines).
    std::int64_t tokenCount = 0;
    auto colorLines = [&](std::int64_t from, std::int64_t to) {
        if (from > to)
            return;
        const std::vector<Token> tokens = engine->tokens(from, to, *document->storage(), lineIndex);
        const std::int64_t start = lineIndex.lineStart(from);
        m_view->removeForegroundColors(ForegroundLayer::syntax,
                                       {start, lineIndex.range(to).end() - start});
        for (const Token& token : tokens)
            m_view->addForegroundColor(ForegroundLayer::syntax, token.range,
                                       SyntaxTheme::color(token.kind, m_dark),
                                       token.kind == TokenKind::link);
        tokenCount += static_cast<std::int64_t>(tokens.size());
    };
    std::int64_t coveredFirst = first;
    std::int64_t coveredLast = last;
    const bool extends =
        m_colored && m_colored->document == document->id() &&
        m_colored->generation == m_generation && m_colored->firstLine <= last + 1 &&
        m_colored->lastLine + 1 >= first &&
        std::max(last, m_colored->lastLine) - std::min(first, m_colored->firstLine) <
            kMaxColoredLines;
    if (extends) {
        colorLines(first, m_colored->firstLine - 1);
        colorLines(m_colored->lastLine + 1, last);
        coveredFirst = std::min(first, m_colored->firstLine);
        coveredLast = std::max(last, m_colored->lastLine);
    } else {
        // Colours elsewhere may be stale (an edit changed later states) and would pile up
        // over a long read through a large file: only the lines coloured now keep colours.
        m_view->clearForegroundLayer(ForegroundLayer::syntax);
        colorLines(first, last);
    }
    m_view->viewport()->update();

    m_colored = Coverage{document->id(), m_generation, coveredFirst, coveredLast};
    const double ms = elapsedMs(timer);
    m_lastPass = {last - first + 1, tokenCount, ms};
    if (m_pendingEditMs) {
        addSample(*m_pendingEditMs + ms);
        m_pendingEditMs.reset();
    }
}

void HighlightingFeature::runBracketPass() {
    m_bracketScheduled = false;
    EditorDocument* document = m_context ? m_context->activeDocument() : nullptr;
    std::optional<BracketMatch> match;
    if (document && m_coloringEnabled && document->isLoaded() && m_view->document() == document &&
        m_view->selectedRange().empty()) {
        const TextStorage& text = *document->storage();
        const LineIndex& lineIndex = document->lineIndex();
        HighlightEngine* engine = this->engine(*document);
        const std::int64_t caret = m_view->selectedRange().location;
        if (engine && !statesReady(*engine, *document, lineIndex.lineNumber(caret)))
            return; // runs again when the states reach the caret
        // Strings and comments, one line at a time as the search reaches it.
        std::map<std::int64_t, std::vector<TextRange>> excludedByLine;
        auto isExcluded = [&](std::int64_t offset) {
            if (!engine)
                return false;
            const std::int64_t line = lineIndex.lineNumber(offset);
            auto found = excludedByLine.find(line);
            if (found == excludedByLine.end()) {
                std::vector<TextRange> ranges;
                for (const Token& token : engine->tokens(line, line, text, lineIndex))
                    if (token.kind == TokenKind::string || token.kind == TokenKind::comment)
                        ranges.push_back(token.range);
                found = excludedByLine.emplace(line, std::move(ranges)).first;
            }
            for (const TextRange& range : found->second)
                if (range.location <= offset && offset < range.end())
                    return true;
            return false;
        };
        match = BracketMatcher::match(text, caret, bracketWindow, isExcluded);
    }
    if (match == m_bracketMatch)
        return;
    m_bracketMatch = match;
    std::vector<ColoredRange> ranges;
    if (match) {
        if (match->partner) {
            const QColor color = SyntaxTheme::bracketMatch(m_dark);
            ranges.push_back({{std::min(match->bracket, *match->partner), 1}, color});
            ranges.push_back({{std::max(match->bracket, *match->partner), 1}, color});
        } else {
            ranges.push_back({{match->bracket, 1}, SyntaxTheme::bracketMismatch(m_dark)});
        }
    }
    m_view->setBackgroundLayer(BackgroundLayer::bracketPair, std::move(ranges));
    m_view->viewport()->update();
}

void HighlightingFeature::updateCurrentLine() {
    if (!m_view)
        return;
    EditorDocument* document = m_context ? m_context->activeDocument() : nullptr;
    if (!m_highlightsCurrentLine || !document || !document->isLoaded() ||
        m_view->document() != document) {
        m_view->clearBackgroundLayer(BackgroundLayer::currentLine);
        m_view->viewport()->update();
        return;
    }
    const LineIndex& lineIndex = document->lineIndex();
    const TextRange line = lineIndex.range(lineIndex.lineNumber(m_view->caretOffset()));
    m_view->setBackgroundLayer(BackgroundLayer::currentLine,
                               {{line, SyntaxTheme::currentLine(m_dark)}}, true);
    m_view->viewport()->update();
}

} // namespace vendrix::app
