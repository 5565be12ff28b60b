#pragma once

#include "app/context/EditorEvent.h"
#include "app/context/EditorFeature.h"
#include "app/context/EditorObservation.h"
#include "app/context/StatusBarField.h"
#include "core/syntax/BracketMatcher.h"
#include "core/syntax/HighlightEngine.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUuid>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace vendrix::app {

class EditorDocument;
class EditorTextView;

/// Colours the visible text of the active tab, keeps one highlight engine per document (by
/// the document's id), marks the bracket pair at the caret and the current line, toggles
/// comments and offers the language and colouring commands. Colours are layers of the text
/// view, never part of the text or its undo history. Main thread only.
///
/// Line states are computed from the top of a document; when the visible lines lie far below
/// the last known state (a jump to the end of a large file), the states are computed ahead in
/// short slices between events, and the lines are coloured once the states reach them.
class HighlightingFeature final : public QObject, public EditorFeature {
    Q_OBJECT

public:
    /// Texts longer than this many UTF-16 units (shown as 64 MB) are never coloured.
    static constexpr std::int64_t coloringLimit = 67'108'864;
    /// Lines are tokenized only over their first units.
    static constexpr std::int64_t maxLineLength = 20'000;
    /// Lines coloured beyond the visible ones, above and below.
    static constexpr std::int64_t extraLines = 8;
    static constexpr std::int64_t bracketWindow = 20'000;
    static inline const QString statusText = QStringLiteral("Renklendirme kapalı (> 64 MB)");
    static inline const QString statusToolTip =
        QStringLiteral("Büyük dosyalarda yazma hızı için sözdizimi renklendirme kapatılır.");
    static inline const QString noCommentMessage = QStringLiteral("Bu dilde yorum yok");
    static inline const QString commentActionName = QStringLiteral("Yorumu Aç/Kapat");

    enum class ColoringStatus { off = 0, noLanguage = 1, tooLarge = 2, noStorage = 3, color = 4 };
    struct Coverage {
        QUuid document;
        std::int64_t generation = 0;
        std::int64_t firstLine = 0;
        std::int64_t lastLine = 0;
    };
    struct PassStatistics {
        std::int64_t lines = 0;
        std::int64_t tokens = 0;
        double ms = 0;
    };

    explicit HighlightingFeature(QObject* parent = nullptr);
    ~HighlightingFeature() override;

    void attach(EditorContext& context) override;
    void contributeMenus(MenuBuilder& builder) override;

    // Commands.
    void setColoringEnabled(bool enabled);
    bool coloringEnabled() const { return m_coloringEnabled; }
    void setHighlightsCurrentLine(bool enabled);
    bool highlightsCurrentLine() const { return m_highlightsCurrentLine; }
    /// "Yorumu Aç/Kapat" on the active document.
    void toggleComment();
    /// A language for the active document chosen by hand (none: plain text).
    void chooseLanguage(std::optional<std::string> languageID);
    /// "Otomatik Algıla": back to detection from the file name and content.
    void detectLanguageAgain();

    // Passes, normally queued; public so tests can run them at once.
    void runColoringPass();
    void runBracketPass();

    // State, for tests and diagnostics.
    ColoringStatus coloringStatus(const EditorDocument& document) const;
    HighlightEngine* engine(const EditorDocument& document) const;
    std::size_t engineCount() const { return m_engines.size(); }
    const std::optional<Coverage>& colored() const { return m_colored; }
    std::int64_t generation() const { return m_generation; }
    const std::optional<BracketMatch>& bracketMatch() const { return m_bracketMatch; }
    const PassStatistics& lastPass() const { return m_lastPass; }
    /// Whether states are still being computed ahead for the active document.
    bool isCatchingUp() const { return m_catchUpTimer.isActive(); }
    bool usesDarkColors() const { return m_dark; }
    std::shared_ptr<StatusBarField> statusField() const { return m_statusField; }
    /// Edit-to-colour latencies in milliseconds (newest 500).
    const std::deque<double>& samples() const { return m_samples; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void handle(const EditorEvent& event);
    void textChanged(EditorDocument& document, TextRange editedRange);
    void documentClosed(const EditorDocument& document);
    /// Detects the language of a document unless it has one already (or `force`).
    void decideLanguage(EditorDocument& document, bool force);
    /// Re-detects after the document's file changed (a rename or "save as").
    void noticeRename(EditorDocument& document);
    HighlightEngine* engineFor(EditorDocument& document);
    void scheduleColoring();
    void scheduleBracket();
    void updateStatusField(EditorDocument* document);
    void clearColoring();
    /// Advances the engine's known states towards `line` for at most `budgetMs`; true when
    /// the state of `line` is known.
    bool catchUp(HighlightEngine& engine, EditorDocument& document, std::int64_t line,
                 double budgetMs);
    /// catchUp() within a pass's budget; when that is not enough, the rest is computed in
    /// slices and false returned (the passes run again once the states are there).
    bool statesReady(HighlightEngine& engine, EditorDocument& document, std::int64_t line);
    void continueCatchUp();
    void updateCurrentLine();
    void paletteChanged();
    void addSample(double ms);

    EditorContext* m_context = nullptr;
    EditorTextView* m_view = nullptr;
    std::map<QUuid, std::unique_ptr<HighlightEngine>> m_engines;
    /// The file each document had when its language was last decided.
    std::map<QUuid, std::optional<QString>> m_knownURLs;
    /// Documents whose language the user chose; a rename does not change it.
    std::set<QUuid> m_chosenByHand;
    std::int64_t m_generation = 0;
    std::optional<Coverage> m_colored;
    bool m_recolorScheduled = false;
    bool m_bracketScheduled = false;
    std::optional<BracketMatch> m_bracketMatch;
    bool m_coloringEnabled = true;
    bool m_highlightsCurrentLine = true;
    bool m_dark = false;
    std::shared_ptr<StatusBarField> m_statusField;
    std::vector<EditorObservation> m_observations;
    std::optional<double> m_pendingEditMs;
    std::deque<double> m_samples;
    std::int64_t m_sampleCount = 0;
    double m_sampleMax = 0;
    PassStatistics m_lastPass;
    /// States being computed ahead: for which document, up to which line.
    QTimer m_catchUpTimer;
    QUuid m_catchUpDocument;
    std::int64_t m_catchUpLine = 0;
};

/// The feature as the application's feature list makes it.
std::unique_ptr<EditorFeature> makeHighlightingFeature();

} // namespace vendrix::app
