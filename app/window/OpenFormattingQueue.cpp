#include "app/window/OpenFormattingQueue.h"

#include "app/document/EditorDocument.h"
#include "app/window/EditorWindowController.h"
#include "core/formatting/FormatProgress.h"
#include "core/formatting/FormatText.h"
#include "core/formatting/JSONFormatter.h"
#include "core/formatting/MarkupFormatter.h"
#include "core/common/Utf8.h"
#include "core/text/TextEncoding.h"

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
    if (m_progress)
        m_progress->cancel();
    if (m_worker.joinable())
        m_worker.join();
    if (m_panel)
        delete m_panel.data();
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
    if (m_worker.joinable())
        m_worker.join();
    m_current = std::move(m_queue.front());
    m_queue.pop_front();
    m_progress = std::make_shared<FormatProgress>();
    m_startedAt.start();

    auto* panel = new OpenFormattingPanel(
        m_editor.window(), quoted(nameOf(m_current->file)) + QStringLiteral(" güzelleştiriliyor…"),
        m_progress);
    std::weak_ptr<FormatProgress> weak = m_progress;
    panel->onCancel = [weak] {
        if (auto progress = weak.lock())
            progress->cancel();
    };
    m_panel = panel;
    panel->present();

    // The worker reads the job's text in place (the job is not touched until it finishes)
    // and formats straight from it; the destructor cancels and joins, so `this` outlives
    // every call it posts.
    const std::u16string_view text = m_current->file.decoded.text;
    const bool utf8File = m_current->file.decoded.encoding == TextEncoding::utf8 ||
                          m_current->file.decoded.encoding == TextEncoding::utf8BOM;
    m_worker = std::thread([this, serial = ++m_serial, text, utf8File, kind = m_current->kind,
                            indent = m_current->indent, progress = m_progress] {
        Result result = [&]() -> Result {
            FormatProgress::Scope scope(progress);
            if (kind == OpenPrettyCandidate::json && utf8File) {
                // The file's bytes went when they were decoded in place; the text's UTF-8 is
                // those bytes again (decoding UTF-8 is strict, so nothing was replaced), less
                // the byte-order mark and with line feeds for its line breaks, which is what
                // formatting the text would see. Format the bytes and decode the result once.
                std::string bytes;
                utf8::append(bytes, text);
                auto output = JSONFormatter::streamUTF8(bytes, indent);
                if (!output)
                    return std::unexpected(std::move(output.error()));
                if (progress->isCancelled())
                    return std::unexpected(FormatProgress::cancelledError());
                // Formatting valid UTF-8 gives valid UTF-8 (token bytes and ASCII white
                // space), which the file decoder converts in one vectorised pass.
                if (auto decoded = textEncoding::decode(TextEncoding::utf8, *output))
                    return std::move(*decoded);
                return FormatText::finish(std::move(*output), bytes);
            }
            if (kind == OpenPrettyCandidate::json)
                return JSONFormatter::pretty(text, indent, false);
            return MarkupFormatter::pretty(text,
                                           kind == OpenPrettyCandidate::xml
                                               ? MarkupFormatter::Dialect::xml
                                               : MarkupFormatter::Dialect::html,
                                           indent);
        }();
        if (progress->isCancelled() && result)
            result = std::unexpected(FormatProgress::cancelledError());
        QMetaObject::invokeMethod(
            this, [this, serial, result = std::move(result)]() mutable {
                finish(serial, std::move(result));
            },
            Qt::QueuedConnection);
    });
}

void OpenFormattingQueue::finish(std::uint64_t serial, Result result) {
    if (!m_current || serial != m_serial)
        return;
    const qint64 ms = m_startedAt.elapsed();
    if (m_worker.joinable())
        m_worker.join();
    if (m_panel) {
        m_panel->finish();
        m_panel->deleteLater();
    }
    m_panel = nullptr;
    // A cancel that came after the formatter's last checkpoint still counts as a cancel.
    if (m_progress->isCancelled() && result)
        result = std::unexpected(FormatProgress::cancelledError());
    m_progress.reset();
    OpenFormattingJob job = std::move(*m_current);
    m_current.reset();

    const QString path = job.file.standardizedPath;
    const QString name = nameOf(job.file);
    if (result) {
        m_lastOutcome = {{"path", path}, {"result", "pretty"}, {"ms", ms}};
        job.file.decoded.text = std::move(*result);
        m_editor.installOpenedDocument(std::move(job.file), true);
        if (EditorDocument* document = m_editor.documentForFile(path);
            document && !document->languageID())
            m_editor.setLanguage(std::string(job.kind.rawValue()), *document);
    } else if (result.error().message == FormatProgress::cancelledMessage) {
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
