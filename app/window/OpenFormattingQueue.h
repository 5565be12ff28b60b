#pragma once

#include "app/context/JobRunner.h"
#include "app/window/WindowHooks.h"
#include "core/formatting/FormatError.h"
#include "core/formatting/FormatIndent.h"
#include "core/formatting/OpenPrettyCandidate.h"
#include "core/persistence/EditorSettings.h"
#include "core/text/LineIndex.h"

#include <QElapsedTimer>
#include <QObject>
#include <QVariantMap>

#include <deque>
#include <expected>
#include <functional>
#include <memory>
#include <optional>

class QDialog;

namespace vendrix::app {

class EditorWindowController;

/// One file waiting to be pretty-printed before its tab is created.
struct OpenFormattingJob {
    OpenedFile file;
    OpenPrettyCandidate kind;
    FormatIndent indent;
};

/// Pretty-on-open: decides, when a file has been read, whether a large single-line JSON, XML
/// or HTML file is pretty-printed before it is shown (asking when the policy says so), and
/// formats such files one at a time as jobs of the window's runner, behind a progress panel
/// that can cancel. Main thread only, apart from the formatter run.
class OpenFormattingQueue final : public QObject {
    Q_OBJECT

public:
    explicit OpenFormattingQueue(EditorWindowController& editor, QObject* parent = nullptr);
    ~OpenFormattingQueue() override;

    /// The "editor.prettyOnOpen" policy as the window holds it.
    PrettyOnOpen policy = PrettyOnOpen::ask;
    /// Stores a policy chosen with "Bir daha sorma" (the settings owner saves it).
    std::function<void(PrettyOnOpen)> persistPolicy;
    /// The indentation to use ("formatting.indent" at the moment of the decision).
    std::function<FormatIndent()> indent;

    /// The open flow's decision after a successful decode: true when the queue took the file
    /// (it is installed later), false when it opens as it is now.
    bool decide(OpenedFile& file);
    /// Whether a standardised path is the running job's or a queued one's.
    bool isQueued(const QString& standardizedPath) const;
    void startNext();

    /// The last finished job: "path", "result" ("pretty", "cancelled" or "invalid"), "ms", and
    /// for an invalid file "line", "column" and "message".
    const QVariantMap& lastOutcome() const { return m_lastOutcome; }
    QDialog* panel() const { return m_job.panel(); }
    bool isRunning() const { return m_current.has_value(); }
    std::size_t queuedCount() const { return m_queue.size(); }

private:
    using Result = std::expected<std::u16string, FormatError>;
    /// What the worker hands back: the formatted text with its line index, or the failure and
    /// the file's own text (which the worker holds while it runs).
    struct Finished {
        Result result;
        LineIndex lineIndex;
        std::u16string original;
    };
    void finish(std::uint64_t serial, Finished finished);

    EditorWindowController& m_editor;
    std::deque<OpenFormattingJob> m_queue;
    std::optional<OpenFormattingJob> m_current;
    JobHandle m_job;
    QElapsedTimer m_startedAt;
    std::uint64_t m_serial = 0;
    QVariantMap m_lastOutcome;
};

} // namespace vendrix::app
