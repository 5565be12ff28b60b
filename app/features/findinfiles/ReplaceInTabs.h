#pragma once

#include "app/document/DiskStamp.h"
#include "core/files/FileSearcher.h"
#include "core/search/SearchEngine.h"
#include "core/text/LineIndex.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vendrix::app {

class EditorContext;
class EditorDocument;

/// Replaces chosen hits of a search in files inside tabs, one file after the other: each
/// file is opened through the window's open flow (large ones in the background), its
/// matches found again in the tab's text and those standing where a chosen hit stood are
/// replaced as one undoable edit. Nothing is written to disk. A file changed on disk since
/// the search, or open with unsaved changes, is left alone. finished() comes at the end.
class ReplaceInTabs final : public QObject {
    Q_OBJECT

public:
    struct Target {
        QString path;
        QString shownPath;
        /// The chosen hits, in file order.
        std::vector<FileHit> hits;
        /// The file's stamp when its result arrived.
        std::optional<DiskStamp> stamp;
    };
    struct Outcome {
        QString shownPath;
        std::int64_t replaced = 0;
        /// Chosen hits no longer matched in the tab's text.
        std::int64_t missing = 0;
        /// Why the file was left alone; empty when it was replaced in.
        QString problem;
    };

    ReplaceInTabs(EditorContext& context, SearchPattern pattern, std::u16string replacement,
                  std::vector<Target> targets, QObject* parent = nullptr);

    void start();
    bool isFinished() const { return m_finished; }
    const std::vector<Outcome>& outcomes() const { return m_outcomes; }

    /// "N dosyada M değişiklik".
    QString summary() const;
    /// One line per file: what was replaced, or why it was left alone; then that nothing was
    /// saved.
    QString detail() const;

    /// The matches of `pattern` in `text` that start where one of `hits` starts (same line,
    /// column and length), with their replacements; `missing` receives how many hits had no
    /// such match.
    [[nodiscard]] static std::expected<ReplacePlan, SearchFailure>
    planForHits(const SearchPattern& pattern, std::u16string_view text, const LineIndex& lines,
                std::u16string_view replacement, const std::vector<FileHit>& hits,
                std::int64_t& missing);

signals:
    void finished();

private:
    void next();
    void replaceIn(EditorDocument& document, const Target& target, Outcome& outcome);
    void done(Outcome outcome);

    EditorContext& m_ctx;
    SearchPattern m_pattern;
    std::u16string m_replacement;
    std::vector<Target> m_targets;
    std::vector<Outcome> m_outcomes;
    std::size_t m_next = 0;
    bool m_started = false;
    bool m_finished = false;
};

} // namespace vendrix::app
