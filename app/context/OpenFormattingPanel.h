#pragma once

#include "core/formatting/FormatProgress.h"

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vendrix::app {

/// The small progress sheet of a formatting job: a title (elided in the middle), a bar from 0
/// to 1 that follows the job's FormatProgress every 0.1 s, and "Vazgeç" (also Escape), which
/// runs `onCancel`. Window-modal over its parent but never blocking: the caller shows it, the
/// job finishes later and the caller closes it.
class OpenFormattingPanel final : public QDialog {
    Q_OBJECT

public:
    static constexpr int refreshMilliseconds = 100;

    OpenFormattingPanel(QWidget* parent, const QString& title,
                        std::weak_ptr<FormatProgress> progress);
    ~OpenFormattingPanel() override;

    /// Runs once, on "Vazgeç", Escape or the close button.
    std::function<void()> onCancel;

    QProgressBar* bar() const { return m_bar; }
    QLabel* label() const { return m_label; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    /// How many times the bar was refreshed from the progress (for measuring).
    int refreshCount() const { return m_refreshCount; }
    /// The full title (the label may show it elided).
    const QString& title() const { return m_title; }

    /// Shows the panel over its parent without waiting for it.
    void present();
    /// Stops refreshing and closes the panel without running onCancel.
    void finish();

    void reject() override;

private:
    void refresh();

    QString m_title;
    std::weak_ptr<FormatProgress> m_progress;
    QProgressBar* m_bar = nullptr;
    QLabel* m_label = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QTimer m_timer;
    int m_refreshCount = 0;
    bool m_finished = false;
};

} // namespace vendrix::app
