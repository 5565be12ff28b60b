#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLineEdit;
class QToolButton;
class QWidget;

namespace vendrix {
struct SettingDescriptor;
struct SettingsValue;
} // namespace vendrix

namespace vendrix::app {

class ViewOptionsController;

/// The small "Ayarlar" window: one row per setting descriptor, in their order, each
/// committing through the view options' one change path at once (no OK button). Number fields
/// commit when editing ends (a decimal comma is accepted); their steppers commit on every click.
/// The controls follow every change, wherever it came from.
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

    /// One setting's controls: a popup (font family, choice), a number field with its
    /// stepper (number, integer) or a check box (flag).
    struct Row {
        const SettingDescriptor* setting = nullptr;
        QComboBox* popup = nullptr;
        QLineEdit* field = nullptr;
        QToolButton* up = nullptr;
        QToolButton* down = nullptr;
        QCheckBox* check = nullptr;
    };
    const std::vector<Row>& rows() const { return m_rows; }
    /// The row of the setting stored under `key` (an empty row for an unknown key).
    const Row& row(std::string_view key) const;

private:
    void build();
    void addRow(const SettingDescriptor& setting, QFormLayout* form);
    /// Commits a number field's text when it parses, then shows what is in effect.
    void commitField(const Row& row);
    /// Applies `value` to the setting through the one change path.
    void change(const SettingDescriptor& setting, const SettingsValue& value);

    ViewOptionsController& m_options;
    std::unique_ptr<QWidget> m_window;
    std::vector<Row> m_rows;
    bool m_refreshing = false;
};

} // namespace vendrix::app
