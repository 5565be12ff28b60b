#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vendrix::app {

class FindController;

/// The find bar: the query and replacement fields, the four options, the buttons and the
/// status, over a FindController. Return in the find field finds the next match (Shift:
/// the previous), Return in the replace field replaces, Tab moves to the replace field,
/// Escape closes. Narrow bars use short labels.
class FindBar final : public QWidget {
    Q_OBJECT

public:
    explicit FindBar(FindController& controller, QWidget* parent = nullptr);

    QLineEdit* findField = nullptr;
    QLineEdit* replaceField = nullptr;
    QCheckBox* regexBox = nullptr;
    QCheckBox* caseBox = nullptr;
    QCheckBox* wordBox = nullptr;
    QCheckBox* wrapBox = nullptr;
    QLabel* statusLabel = nullptr;
    /// Shown under the replace row while a regular-expression replacement holds \1…\9,
    /// which insert the digit itself: groups are written $1, $2 ….
    QLabel* replaceHint = nullptr;
    QLabel* countLabel = nullptr;
    QWidget* findRow = nullptr;
    QWidget* replaceRow = nullptr;
    QPushButton* allTabsButton = nullptr;
    QPushButton* replaceInTabsButton = nullptr;
    bool isCompact = false;
    /// Below this width the labels shorten.
    int fullMinWidth = 1100;

    /// Shows or hides the replace row.
    void setReplaceVisible(bool visible);
    bool isReplaceVisible() const;
    /// Copies the controller's query, replacement and options into the fields.
    void refreshFromController();
    /// Shows the controller's status and count.
    void refreshStatus();
    /// Puts the focus in the find field with its text selected.
    void focusFindField();

    static inline const QString backslashGroupHint =
        QStringLiteral("İpucu: \\1…\\9 grup değil, yalnızca rakamı yazar; yakalanan gruplar için "
                       "$1, $2 … kullanın.");
    /// True when a replacement in regular-expression mode holds an unescaped \1…\9.
    static bool needsBackslashGroupHint(bool isRegex, const QString& replacement);

signals:
    /// Escape or the close button: the owner takes the bar away.
    void closeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setCompact(bool compact);
    void optionsEdited();
    void refreshReplaceHint();

    FindController& m_controller;
    QPushButton* m_previousButton = nullptr;
    QPushButton* m_nextButton = nullptr;
    bool m_refreshing = false;
};

} // namespace vendrix::app
