#include "app/window/EditorWindow.h"

#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"
#include "app/view/LineNumberRulerView.h"
#include "core/text/LineIndex.h"
#include "core/text/TextFileCodec.h"
#include "core/text/TextStorage.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QStatusBar>

namespace vendrix::app {
namespace {

constexpr std::int64_t kLongLineThreshold = 99999;

} // namespace

EditorWindow::EditorWindow(QWidget* parent) : QMainWindow(parent) {
    m_textView = new EditorTextView(this);
    setCentralWidget(m_textView);
    m_ruler = new LineNumberRulerView(m_textView, [this]() -> const LineIndex* {
        if (m_active < 0)
            return nullptr;
        return &m_documents[static_cast<size_t>(m_active)]->lineIndex();
    });
    m_position = new QLabel(this);
    statusBar()->addPermanentWidget(m_position);
    connect(m_textView, &EditorTextView::selectionChanged, this, &EditorWindow::updateStatus);
    connect(m_textView, &EditorTextView::textChanged, this, &EditorWindow::updateStatus);

    auto addShortcuts = [this](QList<QKeySequence> keys, auto slot) {
        auto* action = new QAction(this);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
    };
    auto addShortcut = [&addShortcuts](QKeySequence keys, auto slot) {
        addShortcuts({keys}, slot);
    };
    // The editing commands: the window owns their keys; the view keeps caret movement and
    // typing only.
    addShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)}, [this] { m_textView->undo(); });
    addShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
                 [this] { m_textView->redo(); });
    addShortcuts({QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)},
                 [this] { m_textView->cut(); });
    addShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)},
                 [this] { m_textView->copy(); });
    addShortcuts({QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)},
                 [this] { m_textView->paste(); });
    addShortcuts({QKeySequence(Qt::CTRL | Qt::Key_A)}, [this] { m_textView->selectAll(); });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), [this] {
        if (!m_documents.empty())
            showDocument((m_active + 1) % documentCount());
    });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), [this] {
        if (!m_documents.empty())
            showDocument((m_active + documentCount() - 1) % documentCount());
    });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_Plus), [this] {
        m_textView->setZoomDelta(m_textView->zoomDelta() + 1);
        m_ruler->updateThickness(true);
    });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal),
                [this] { m_textView->setZoomDelta(m_textView->zoomDelta() + 1); });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus),
                [this] { m_textView->setZoomDelta(m_textView->zoomDelta() - 1); });
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { m_textView->setZoomDelta(0); });
    addShortcut(QKeySequence(Qt::ALT | Qt::Key_Z),
                [this] { m_textView->setWrapsLines(!m_textView->wrapsLines()); });
    addShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I),
                [this] { m_textView->setShowsInvisibles(!m_textView->showsInvisibles()); });
    resize(1000, 700);
}

EditorWindow::~EditorWindow() {
    m_textView->setDocument(nullptr);
}

bool EditorWindow::openFile(const QString& path) {
    QFileInfo info(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Vendrix"),
                        QStringLiteral("“%1” açılamadı.").arg(info.fileName()), QMessageBox::Ok,
                        this);
        box.setInformativeText(file.errorString());
        box.button(QMessageBox::Ok)->setText(QStringLiteral("Tamam"));
        box.exec();
        return false;
    }
    DecodedText decoded;
    qint64 size = file.size();
    uchar* mapped = size > 0 ? file.map(0, size) : nullptr;
    if (mapped) {
        decoded = TextFileCodec::decode(
            std::string_view(reinterpret_cast<const char*>(mapped), static_cast<size_t>(size)));
        file.unmap(mapped);
    } else {
        QByteArray bytes = file.readAll();
        decoded = TextFileCodec::decode(
            std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    }
    auto document = std::make_unique<EditorDocument>(QUuid::createUuid());
    document->setFileURL(info.absoluteFilePath());
    document->setEncoding(decoded.encoding);
    document->setLineEnding(decoded.lineEnding);
    document->setReadOnly(decoded.isBinary);
    document->setText(std::move(decoded.text), decoded.isBinary);
    m_documents.push_back(std::move(document));
    if (m_active < 0)
        showDocument(documentCount() - 1);
    if (m_documents.back()->isReadOnly() && m_active == documentCount() - 1)
        statusBar()->showMessage(
            QStringLiteral("“%1” ikili bir dosya gibi görünüyor; salt okunur açıldı.")
                .arg(info.fileName()),
            8000);
    return true;
}

void EditorWindow::newDocument() {
    auto document = std::make_unique<EditorDocument>(QUuid::createUuid());
    std::vector<std::optional<std::int64_t>> used;
    for (const auto& open : m_documents)
        used.push_back(open->untitledNumber());
    document->setUntitledNumber(EditorDocument::nextUntitledNumber(used));
    document->setText(u"");
    m_documents.push_back(std::move(document));
    showDocument(documentCount() - 1);
}

EditorDocument* EditorWindow::activeDocument() const {
    return m_active >= 0 ? m_documents[static_cast<size_t>(m_active)].get() : nullptr;
}

void EditorWindow::showDocument(int index) {
    if (m_documents.empty())
        return;
    index = std::clamp(index, 0, documentCount() - 1);
    m_active = index;
    EditorDocument* document = m_documents[static_cast<size_t>(index)].get();
    std::int64_t longest = document->lineIndex().longestLineLength();
    m_textView->setWrapsLines(longest > kLongLineThreshold);
    m_textView->setDocument(document);
    m_ruler->updateThickness(false);
    if (longest > kLongLineThreshold)
        statusBar()->showMessage(
            QStringLiteral("Çok uzun satır (%1 karakter): bu sekmede sözcük kaydırma açıldı; "
                           "yazma yavaşlayabilir, bellek yüksek olabilir. JSON/XML ise Biçim "
                           "menüsüyle satırlara bölün.")
                .arg(QLocale().toString(static_cast<qlonglong>(longest))),
            12000);
    updateTitle();
    updateStatus();
}

void EditorWindow::updateTitle() {
    QString name = m_active >= 0 ? activeDocument()->displayName() : QStringLiteral("Yeni 1");
    setWindowTitle(name + QStringLiteral(" — Vendrix"));
}

void EditorWindow::updateStatus() {
    if (m_active < 0)
        return;
    const LineIndex& lines = activeDocument()->lineIndex();
    std::int64_t caret = m_textView->caretOffset();
    std::int64_t line = lines.lineNumber(caret);
    std::int64_t column = caret - lines.lineStart(line);
    QString text = QStringLiteral("Satır %1, Sütun %2").arg(line + 1).arg(column + 1);
    if (m_textView->selectedRange().length > 0)
        text += QStringLiteral(" (%1 seçili)").arg(m_textView->selectedRange().length);
    m_position->setText(text);
}

} // namespace vendrix::app
