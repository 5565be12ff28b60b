#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QToolButton;
class QWidget;

namespace vendrix::app {

class ViewOptionsController;

/// The small "Ayarlar" window: one control per editor setting, each committing through the
/// view options' one change path at once (no OK button). Number fields commit when editing
/// ends (a decimal comma is accepted); their steppers commit on every click. The controls
/// follow every change, wherever it came from.
class SettingsWindowController final : public QObject {
    Q_OBJECT

public:
    static inline const QString title = QStringLiteral("Ayarlar");
    static inline const QString note = QStringLiteral("Değişiklikler hemen uygulanır ve saklanır.");

    SettingsWindowController(ViewOptionsController& options, QWidget* parent);
    ~SettingsWindowController() override;

    QWidget* window() const { return m_window.get(); }
    void showAndRaise();
    /// Sets every control from the current settings.
    void refresh();

    /// "Varsayılan (" + the default family + ")", then the installed fixed-pitch families
    /// (none beginning with ".", no duplicates), in locale order.
    static QStringList fontChoices();
    /// The size text as typed: trimmed, a decimal comma read as a point; none when it does
    /// not parse.
    static std::optional<double> parseSize(QString text);
    /// The tab-width text: trimmed, a decimal integer; none when it does not parse.
    static std::optional<long long> parseTabWidth(QString text);

    // The controls, for tests.
    QComboBox* fontPopup;
    QLineEdit* sizeField;
    QToolButton* sizeUp;
    QToolButton* sizeDown;
    QLineEdit* tabField;
    QToolButton* tabUp;
    QToolButton* tabDown;
    QCheckBox* spacesBox;
    QCheckBox* wrapBox;
    QCheckBox* wordBox;
    QCheckBox* invisiblesBox;
    QCheckBox* multilineTabsBox;
    QComboBox* themePopup;
    QComboBox* prettyPopup;

private:
    void build();
    void commitSize();
    void commitTabWidth();

    ViewOptionsController& m_options;
    std::unique_ptr<QWidget> m_window;
    bool m_refreshing = false;
};

} // namespace vendrix::app
