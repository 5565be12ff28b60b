#include "app/window/OpenFormattingQueue.h"

#include "app/document/EditorDocument.h"
#include "app/window/EditorWindowController.h"
#include "core/formatting/JSONFormatter.h"
#include "core/formatting/MarkupFormatter.h"
#include "core/text/TextStorage.h"

#include <QFileInfo>

namespace vendrix::app {

namespace {

QString upper(OpenPrettyCandidate kind) {
    return QString::fromLatin1(kind.rawValue().data(), static_cast<qsizetype>(kind.rawValue().size()))
        .toUpper();
}

QString nameOf(const OpenedFile& file) { return QFileInfo(file.standardizedPath).fileName(); }

QString quoted(const QString& name) { return QStringLiteral("“") + name + QStringLiteral("”"); }

} // namespace

OpenFormattingQueue::OpenFormattingQueue(EditorWindowController& editor, QObject* parent)
    : QObject(parent), m_editor(editor) {}

OpenFormattingQueue::~OpenFormattingQueue() {
    // The runner sees the queue go: it closes the panel and never calls back.
    m_job.cancel();
}

bool OpenFormattingQueue::decide(OpenedFile& file) {
    if (file.decoded.isBinary || policy == PrettyOnOpen::never)
        return false;
    const std::u16string name = nameOf(file).toStdU16String();
    const auto kind = OpenPrettyCandidate::detect(file.decoded.text, name, std::nullopt);
    if (!kind)
        return false;
    if (policy == PrettyOnOpen::ask) {
        PromptRequest request;
        request.style = PromptRequest::Style::informational;
        request.message = quoted(nameOf(file)) + QStringLiteral(" tek satırlık büyük bir ") +
                          upper(*kind) + QStringLiteral(" dosyası. Güzelleştirerek açılsın mı?");
        request.detail = QStringLiteral(
            "Güzelleştirilmiş hâli satırlara bölünür; daha az bellek kullanır ve yazarken "
            "takılmaz. Dosya siz kaydedene kadar değişmez (Dosya › Diskten Yeniden Yükle "
            "aslını getirir).");
        request.buttons = {QStringLiteral("Güzelleştirerek Aç"), QStringLiteral("Olduğu Gibi Aç")};
        request.cancelButton = 1;
        request.checkBox = QStringLiteral("Bir daha sorma");
        const PromptAnswer answer = m_editor.prompter().ask(request);
        const bool pretty = answer.button == 0;
        if (answer.checkBoxChecked) {
            policy = pretty ? PrettyOnOpen::always : PrettyOnOpen::never;
            if (persistPolicy)
                persistPolicy(policy);
        }
        if (!pretty)
            return false;
    }
    m_queue.push_back({std::move(file), *kind, indent ? indent() : FormatIndent::spaces(2)});
    startNext();
    return true;
}

bool OpenFormattingQueue::isQueued(const QString& standardizedPath) const {
    if (m_current && m_current->file.standardizedPath == standardizedPath)
        return true;
    for (const OpenFormattingJob& job : m_queue)
        if (job.file.standardizedPath == standardizedPath)
            return true;
    return false;
}

void OpenFormattingQueue::startNext() {
    if (m_current || m_queue.empty())
        return;
    m_current = std::move(m_queue.front());
    m_queue.pop_front();
    m_startedAt.start();

    // The job holds the file's text while it runs and hands it back with the result (a
    // cancel may still come before the result is taken, or before the job starts: then the
    // text is still in the holder). Its result comes back only while the queue exists; the
    // panel shows at once.
    auto held = std::make_shared<std::u16string>(std::move(m_current->file.decoded.text));
    const JobOptions options{
        quoted(nameOf(m_current->file)) + QStringLiteral(" güzelleştiriliyor…"), m_editor.window(),
        0};
    m_job = m_editor.jobRunner().run(
        this, options,
        [kind = m_current->kind, indent = m_current->indent, held](ProgressToken& token) {
            std::u16string original = std::move(*held);
            Finished finished;
            // The JSON formatter notes its output's line starts as it writes them.
            std::vector<std::int64_t> lineStarts;
            const std::u16string_view text = original;
            if (kind == OpenPrettyCandidate::json)
                finished.result = JSONFormatter::pretty(text, indent, lineStarts, &token);
            else
                finished.result = MarkupFormatter::pretty(text,
                                                          kind == OpenPrettyCandidate::xml
                                                              ? MarkupFormatter::Dialect::xml
                                                              : MarkupFormatter::Dialect::html,
                                                          indent, &token);
            if (token.isCancelled() && finished.result)
                finished.result = std::unexpected(FormatError::cancelled());
            if (finished.result) {
                // Everything the document would do with the text on the main thread, done
                // here: room for the storage's editing gap (the formatter's output usually has
                // it, so this rarely copies), and the line index with its longest line.
                std::u16string& pretty = *finished.result;
                const std::size_t gap = static_cast<std::size_t>(
                    TextStorage::gapToOpenWith(static_cast<std::int64_t>(pretty.size())));
                if (pretty.capacity() < pretty.size() + gap)
                    pretty.reserve(pretty.size() + gap);
                finished.lineIndex = lineStarts.empty()
                                         ? LineIndex::ofLargeText(pretty)
                                         : LineIndex(std::move(lineStarts),
                                                     static_cast<std::int64_t>(pretty.size()));
                finished.lineIndex.longestLineLength();
            }
            finished.original = std::move(original);
            return finished;
        },
        [this, held, serial = ++m_serial](std::optional<Finished> finished, const ProgressToken&) {
            if (!finished) {
                finished.emplace();
                finished->result = std::unexpected(FormatError::cancelled());
                finished->original = std::move(*held);
            }
            finish(serial, std::move(*finished));
        });
}

void OpenFormattingQueue::finish(std::uint64_t serial, Finished finished) {
    if (!m_current || serial != m_serial)
        return;
    const qint64 ms = m_startedAt.elapsed();
    Result& result = finished.result;
    // A cancel that came after the formatter's last checkpoint still counts as a cancel.
    if (m_job.isCancelled() && result)
        result = std::unexpected(FormatError::cancelled());
    m_job = {};
    OpenFormattingJob job = std::move(*m_current);
    m_current.reset();
    if (result) {
        // Freeing the file's own text (tens of megabytes) takes milliseconds: a worker does
        // it while the formatted text is installed.
        m_editor.jobRunner().dispose(std::move(finished.original));
    } else {
        job.file.decoded.text = std::move(finished.original);
    }

    const QString path = job.file.standardizedPath;
    const QString name = nameOf(job.file);
    if (result) {
        m_lastOutcome = {{"path", path}, {"result", "pretty"}, {"ms", ms}};
        job.file.decoded.text = std::move(*result);
        job.file.lineIndex = std::move(finished.lineIndex);
        m_editor.installOpenedDocument(std::move(job.file), true);
        if (EditorDocument* document = m_editor.documentForFile(path);
            document && !document->languageID())
            m_editor.setLanguage(std::string(job.kind.rawValue()), *document);
    } else if (result.error().isCancellation()) {
        m_lastOutcome = {{"path", path}, {"result", "cancelled"}, {"ms", ms}};
        m_editor.installOpenedDocument(std::move(job.file), false);
        m_editor.showMessage(
            QStringLiteral("Güzelleştirme iptal edildi; dosya olduğu gibi açıldı"), 4);
    } else {
        const FormatError& error = result.error();
        const QString message = QString::fromStdU16String(error.message);
        m_lastOutcome = {{"path", path},
                         {"result", "invalid"},
                         {"ms", ms},
                         {"line", static_cast<qint64>(error.line)},
                         {"column", static_cast<qint64>(error.column)},
                         {"message", message}};
        m_editor.prompter().alert(
            quoted(name) + QStringLiteral(" geçerli ") + upper(job.kind) +
                QStringLiteral(" değil; olduğu gibi açılıyor."),
            QStringLiteral("Satır %1, sütun %2: %3").arg(error.line).arg(error.column).arg(message));
        m_editor.installOpenedDocument(std::move(job.file), false);
    }
    startNext();
}

} // namespace vendrix::app
