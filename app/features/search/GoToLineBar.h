#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace vendrix::app {

class EditorContext;

/// The go-to-line bar: a field for "line" or "line:column", a hint with the valid range, and
/// Return to go, Escape to close.
class GoToLineBar final : public QWidget {
    Q_OBJECT

public:
    static inline const QString invalidMessage = QStringLiteral("Geçersiz satır numarası");

    explicit GoToLineBar(EditorContext& context, QWidget* parent = nullptr);

    EditorContext& ctx;
    QLineEdit* field = nullptr;
    QLabel* hint = nullptr;

    /// Fills the hint and the field (the current line) for the active document and focuses
    /// the field.
    void prepare();
    /// Shows the valid line range of the active document in the hint.
    void refreshRange();
    /// Goes to what the field holds; false when it is not a line number.
    bool commit();

signals:
    /// Escape or the close button: the owner takes the bar away.
    void closeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace vendrix::app
