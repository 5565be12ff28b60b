#include "app/features/formatting/FormattingFeature.h"

#include "app/context/EditorContext.h"
#include "app/document/EditorDocument.h"

namespace vendrix::app {

void FormattingFeature::startBackground(EditorDocument& document,
                                        const FormattingCommand& command, Target target) {
    Job job;
    job.document = document.id();
    job.revision = document.contentRevision();
    job.command = command;
    job.target = std::move(target);
    job.serial = ++m_serial;
    m_job = std::move(job);
    show(QStringLiteral("Biçimlendiriliyor…"));

    // The job gets its own copy of the text and the transform; it touches no editor state.
    // Its result comes back only while this feature exists, and is keyed by the serial.
    const JobOptions options{
        QStringLiteral("“%1” biçimlendiriliyor…").arg(document.displayName()), m_context->window(),
        0};
    m_job->handle = m_context->jobRunner().run(
        this, options,
        [transform = command.transform, text = m_job->target.text,
         indent = indentChoice::formatIndent(m_indent)](ProgressToken& token) {
            FormattingCommand::Result result = transform(text, indent, &token);
            if (token.isCancelled() && result)
                result = std::unexpected(FormatError::cancelled());
            return result;
        },
        [this, serial = m_job->serial](std::optional<FormattingCommand::Result> result,
                                       const ProgressToken&) {
            if (!result) // cancelled before it started
                result = std::unexpected(FormatError::cancelled());
            finishBackground(serial, std::move(*result));
        });
}

void FormattingFeature::finishBackground(std::uint64_t serial, FormattingCommand::Result result) {
    if (!m_job || m_job->serial != serial)
        return;
    Job job = std::move(*m_job);
    m_job.reset();
    EditorDocument* document = documentWithID(job.document);
    if (document == nullptr)
        return;
    if (document->contentRevision() != job.revision) {
        show(QStringLiteral("Belge bu arada değişti; biçimlendirme uygulanmadı"));
        return;
    }
    if (job.handle.isCancelled()) {
        show(job.command.title + QStringLiteral(": iptal edildi"));
        return;
    }
    apply(*document, job.command, job.target, result);
}

} // namespace vendrix::app
