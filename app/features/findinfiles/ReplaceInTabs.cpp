#include "app/features/findinfiles/ReplaceInTabs.h"

#include "app/context/EditorContext.h"
#include "app/document/EditorDocument.h"
#include "core/text/TextStorage.h"

#include <QPointer>
#include <QTimer>

#include <map>
#include <utility>

namespace vendrix::app {

ReplaceInTabs::ReplaceInTabs(EditorContext& context, SearchPattern pattern,
                             std::u16string replacement, std::vector<Target> targets,
                             QObject* parent)
    : QObject(parent), m_ctx(context), m_pattern(std::move(pattern)),
      m_replacement(std::move(replacement)), m_targets(std::move(targets)) {}

void ReplaceInTabs::start() {
    if (std::exchange(m_started, true))
        return;
    next();
}

void ReplaceInTabs::next() {
    if (m_next >= m_targets.size()) {
        m_finished = true;
        emit finished();
        return;
    }
    const Target& target = m_targets[m_next];
    Outcome outcome{target.shownPath, 0, 0, {}};
    // Replacing at positions found in an older version of the file could hit other text.
    if (DiskStamp::of(target.path) != target.stamp) {
        outcome.problem = QStringLiteral("aramadan sonra diskte değişti, dokunulmadı");
        done(std::move(outcome));
        return;
    }
    QPointer<ReplaceInTabs> self(this);
    m_ctx.openFile(target.path, [self, outcome](EditorDocument* opened) mutable {
        if (!self)
            return;
        if (!opened) {
            outcome.problem = QStringLiteral("açılamadı");
            self->done(std::move(outcome));
            return;
        }
        QPointer<EditorDocument> document(opened);
        self->m_ctx.loadPending({opened}, [self, document, outcome](bool) mutable {
            if (!self)
                return;
            if (!document || !document->isLoaded())
                outcome.problem = QStringLiteral("yüklenemedi");
            else
                self->replaceIn(*document, self->m_targets[self->m_next], outcome);
            self->done(std::move(outcome));
        });
    });
}

void ReplaceInTabs::done(Outcome outcome) {
    m_outcomes.push_back(std::move(outcome));
    ++m_next;
    // The next file from the event loop: the window shows each tab as it fills.
    QTimer::singleShot(0, this, &ReplaceInTabs::next);
}

void ReplaceInTabs::replaceIn(EditorDocument& document, const Target& target, Outcome& outcome) {
    if (document.isReadOnly()) {
        outcome.problem = QStringLiteral("salt okunur, dokunulmadı");
        return;
    }
    if (document.isDirty()) {
        outcome.problem = QStringLiteral("sekmede kaydedilmemiş değişiklikler var, dokunulmadı");
        return;
    }
    std::int64_t missing = 0;
    const std::optional<TextSnapshot> text = document.snapshot();
    if (!text) {
        outcome.problem = QStringLiteral("yüklenemedi");
        return;
    }
    auto plan = planForHits(m_pattern, text->view(), document.lineIndex(), m_replacement,
                            target.hits, missing);
    if (!plan) {
        outcome.problem = QStringLiteral("çok uzun sürdü, dokunulmadı");
        return;
    }
    outcome.missing = missing;
    const auto count = static_cast<std::int64_t>(plan->ranges.size());
    if (count == 0)
        return;
    if (!m_ctx.applyEdits(document, std::move(plan->ranges), std::move(plan->replacements),
                          QStringLiteral("Dosyalarda Değiştir"))) {
        outcome.problem = QStringLiteral("değiştirilemedi");
        return;
    }
    outcome.replaced = count;
}

std::expected<ReplacePlan, SearchFailure>
ReplaceInTabs::planForHits(const SearchPattern& pattern, std::u16string_view text,
                           const LineIndex& lines, std::u16string_view replacement,
                           const std::vector<FileHit>& hits, std::int64_t& missing) {
    missing = static_cast<std::int64_t>(hits.size());
    if (hits.empty())
        return ReplacePlan{};
    std::map<std::pair<std::int64_t, std::int64_t>, std::int64_t> wanted;
    for (const FileHit& hit : hits)
        wanted.emplace(std::pair(hit.line, hit.column), hit.length);
    // A regular expression may look around its match: the whole text is searched, the plan
    // then keeps only the matches at chosen places.
    const SearchBudget budget(10.0, nullptr);
    auto all = SearchEngine::planReplaceAll(pattern, text, replacement, std::nullopt,
                                            SearchEngine::defaultLimit, budget);
    if (!all)
        return std::unexpected(all.error());
    ReplacePlan kept;
    for (std::size_t i = 0; i < all->ranges.size(); ++i) {
        const TextRange range = all->ranges[i];
        const std::int64_t line = lines.lineNumber(range.location);
        const auto found = wanted.find({line, range.location - lines.lineStart(line)});
        if (found == wanted.end() || found->second != range.length)
            continue;
        wanted.erase(found);
        kept.ranges.push_back(range);
        kept.replacements.push_back(std::move(all->replacements[i]));
    }
    kept.count = static_cast<std::int64_t>(kept.ranges.size());
    missing = static_cast<std::int64_t>(wanted.size());
    return kept;
}

QString ReplaceInTabs::summary() const {
    std::int64_t files = 0;
    std::int64_t changes = 0;
    for (const Outcome& outcome : m_outcomes) {
        files += outcome.replaced > 0 ? 1 : 0;
        changes += outcome.replaced;
    }
    return QStringLiteral("%1 dosyada %2 değişiklik").arg(files).arg(changes);
}

QString ReplaceInTabs::detail() const {
    QStringList lines;
    for (const Outcome& outcome : m_outcomes) {
        QString line = outcome.shownPath + QStringLiteral(": ");
        if (!outcome.problem.isEmpty())
            line += outcome.problem;
        else
            line += QStringLiteral("%1 değişiklik").arg(outcome.replaced);
        if (outcome.missing > 0)
            line += QStringLiteral(" (%1 sonuç artık eşleşmiyor)").arg(outcome.missing);
        lines << line;
    }
    lines << QString()
          << QStringLiteral("Hiçbir dosya kaydedilmedi: değişiklikler sekmelerde, her biri tek "
                            "adımda geri alınabilir. Kaydetmek için Tümünü Kaydet (Ctrl+Alt+S).");
    return lines.join(QLatin1Char('\n'));
}

} // namespace vendrix::app
