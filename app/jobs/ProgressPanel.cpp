#include "app/jobs/ProgressPanel.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

#include <cmath>

namespace vendrix::app {

namespace {
constexpr int kWidth = 380;
constexpr int kHeight = 110;
constexpr int kBarWidth = 340;
constexpr int kBarSteps = 1000;
} // namespace

ProgressPanel::ProgressPanel(QWidget* parent, const QString& title,
                             std::weak_ptr<const ProgressToken> progress)
    : QDialog(parent), m_title(title), m_progress(std::move(progress)) {
    setWindowTitle(title);
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    setFixedSize(kWidth, kHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    // The title names the file: shown as it is, never as markup.
    m_label = new QLabel(this);
    m_label->setTextFormat(Qt::PlainText);
    showLabel(title);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, kBarSteps);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bar->setFixedWidth(kBarWidth);
    m_cancelButton = new QPushButton(QStringLiteral("Vazgeç"), this);
    m_cancelButton->setShortcut(QKeySequence(Qt::Key_Escape));
    m_cancelButton->setAutoDefault(false);
    connect(m_cancelButton, &QPushButton::clicked, this, &ProgressPanel::reject);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancelButton, 0, Qt::AlignRight);

    m_timer.setInterval(refreshMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &ProgressPanel::refresh);
}

ProgressPanel::~ProgressPanel() = default;

void ProgressPanel::present() {
    m_timer.start();
    show();
}

void ProgressPanel::finish() {
    m_finished = true;
    m_timer.stop();
    QWidget* under = parentWidget() ? parentWidget()->window() : nullptr;
    // The window under the panel may already count as active while the platform still has
    // the panel's deactivation queued: it gets activation again too, or it loses it just after.
    const QWidget* active = QApplication::activeWindow();
    const bool wasActive = active == nullptr || active == this || active == under;
    hide();
    // Without a window manager to hand activation back, the window under the panel would
    // take typing but none of its shortcuts until clicked.
    if (wasActive && under && under->isVisible())
        under->activateWindow();
}

void ProgressPanel::reject() {
    // Escape, "Vazgeç" and closing the panel all cancel; the job closes the panel when it
    // has stopped.
    if (m_finished || m_cancelRequested)
        return;
    m_cancelRequested = true;
    emit cancelRequested();
}

void ProgressPanel::showLabel(const QString& text) {
    m_label->setText(m_label->fontMetrics().elidedText(text, Qt::ElideMiddle, kBarWidth));
    m_label->setToolTip(Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text) : text);
}

void ProgressPanel::refresh() {
    const auto progress = m_progress.lock();
    if (!progress)
        return;
    ++m_refreshCount;
    m_bar->setValue(static_cast<int>(std::lround(progress->fraction() * kBarSteps)));
    std::u16string phase = progress->phase();
    if (phase != m_phase) {
        m_phase = std::move(phase);
        showLabel(m_phase.empty() ? m_title : QString::fromStdU16String(m_phase));
    }
}

} // namespace vendrix::app
