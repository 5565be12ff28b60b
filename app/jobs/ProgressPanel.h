#pragma once

#include "core/common/ProgressToken.h"

#include <QDialog>
#include <QTimer>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vendrix::app {

/// The small progress sheet of a background job: a title (elided in the middle; the token's
/// phase, when it names one, stands in its place), a bar from 0 to 1 that follows the job's
/// token every 0.1 s, and "Vazgeç" (also Escape and the close button), which emits
/// cancelRequested() once. Window-modal over its parent but never blocking: the job runner
/// shows it, the job finishes later and the runner closes it.
class ProgressPanel final : public QDialog {
    Q_OBJECT

public:
    static constexpr int refreshMilliseconds = 100;

    ProgressPanel(QWidget* parent, const QString& title,
                  std::weak_ptr<const ProgressToken> progress);
    ~ProgressPanel() override;

    QProgressBar* bar() const { return m_bar; }
    QLabel* label() const { return m_label; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    /// How many times the bar was refreshed from the progress (for measuring).
    int refreshCount() const { return m_refreshCount; }
    /// The full title (the label may show it elided).
    const QString& title() const { return m_title; }

    /// Shows the panel over its parent without waiting for it.
    void present();
    /// Stops refreshing and closes the panel without emitting cancelRequested().
    void finish();

    void reject() override;

signals:
    /// Emitted once, on "Vazgeç", Escape or the close button.
    void cancelRequested();

private:
    void refresh();
    void showLabel(const QString& text);

    QString m_title;
    std::u16string m_phase;
    std::weak_ptr<const ProgressToken> m_progress;
    QProgressBar* m_bar = nullptr;
    QLabel* m_label = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QTimer m_timer;
    int m_refreshCount = 0;
    bool m_finished = false;
    bool m_cancelRequested = false;
};

} // namespace vendrix::app
