#include "app/features/formatting/FormattingFeature.h"

#include "app/context/EditorContext.h"
#include "app/jobs/ProgressPanel.h"
#include "app/document/EditorDocument.h"
#include "core/formatting/FormatProgress.h"

namespace vendrix::app {

void FormattingFeature::startBackground(EditorDocument& document,
                                        const FormattingCommand& command, Target target) {
    if (m_worker.joinable())
        m_worker.join();
    Job job;
    job.document = document.id();
    job.revision = document.contentRevision();
    job.command = command;
    job.target = std::move(target);
    job.progress = std::make_shared<FormatProgress>();
    job.serial = ++m_serial;
    m_job = std::move(job);
    show(QStringLiteral("Biçimlendiriliyor…"));

    auto* panel = new ProgressPanel(m_context->window(),
                                          QStringLiteral("“%1” biçimlendiriliyor…")
                                              .arg(document.displayName()),
                                          m_job->progress);
    std::weak_ptr<FormatProgress> weak = m_job->progress;
    QObject::connect(panel, &ProgressPanel::cancelRequested, [weak] {
        if (auto progress = weak.lock())
            progress->cancel();
    });
    m_panel = panel;
    panel->present();

    // The worker gets its own copy of the text and the transform; it touches no editor state
    // and hands its result back through the event loop. The destructor cancels and joins it,
    // so `this` outlives every call it posts.
    m_worker = std::thread([this, serial = m_job->serial, transform = command.transform,
                            text = m_job->target.text, progress = m_job->progress,
                            indent = indentChoice::formatIndent(m_indent)]() mutable {
        FormattingCommand::Result result = [&] {
            FormatProgress::Scope scope(progress);
            return transform(text, indent);
        }();
        if (progress->isCancelled() && result)
            result = std::unexpected(FormatProgress::cancelledError());
        QMetaObject::invokeMethod(
            this,
            [this, serial, result = std::move(result)]() mutable {
                finishBackground(serial, std::move(result));
            },
            Qt::QueuedConnection);
    });
}

void FormattingFeature::finishBackground(std::uint64_t serial, FormattingCommand::Result result) {
    if (!m_job || m_job->serial != serial)
        return;
    Job job = std::move(*m_job);
    endJob();
    EditorDocument* document = documentWithID(job.document);
    if (document == nullptr)
        return;
    if (document->contentRevision() != job.revision) {
        show(QStringLiteral("Belge bu arada değişti; biçimlendirme uygulanmadı"));
        return;
    }
    if (job.progress->isCancelled()) {
        show(job.command.title + QStringLiteral(": iptal edildi"));
        return;
    }
    apply(*document, job.command, job.target, result);
}

void FormattingFeature::endJob() {
    m_job.reset();
    if (m_worker.joinable())
        m_worker.join();
    if (m_panel) {
        m_panel->finish();
        m_panel->deleteLater();
    }
    m_panel = nullptr;
}

} // namespace vendrix::app
