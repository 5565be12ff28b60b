#include "app/settings/SettingsWindowController.h"

#include "app/settings/ViewOptionsController.h"
#include "core/persistence/EditorSettings.h"

#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace vendrix::app {

namespace {

QToolButton* arrowButton(Qt::ArrowType arrow, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRaise(true);
    button->setFixedSize(18, 12);
    return button;
}

/// A number field with its stepper (two small arrow buttons stacked).
QWidget* numberRow(QWidget* parent, QLineEdit*& field, QToolButton*& up, QToolButton*& down) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    field = new QLineEdit(row);
    field->setFixedWidth(64);
    auto* stepper = new QWidget(row);
    auto* arrows = new QVBoxLayout(stepper);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    up = arrowButton(Qt::UpArrow, stepper);
    down = arrowButton(Qt::DownArrow, stepper);
    arrows->addWidget(up);
    arrows->addWidget(down);
    layout->addWidget(field);
    layout->addWidget(stepper);
    layout->addStretch(1);
    return row;
}

} // namespace

SettingsWindowController::SettingsWindowController(ViewOptionsController& options, QWidget* parent)
    : QObject(nullptr), m_options(options) {
    m_window = std::make_unique<QWidget>(parent, Qt::Window);
    m_window->setWindowTitle(title);
    // Every change is already applied, so Escape simply closes the window, as its close
    // button does.
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), m_window.get());
    close->setContext(Qt::WindowShortcut);
    connect(close, &QShortcut::activated, m_window.get(), &QWidget::close);
    build();
    m_window->resize(440, 300);
    refresh();
    connect(&m_options, &ViewOptionsController::settingsChanged, this,
            &SettingsWindowController::refresh);
}

SettingsWindowController::~SettingsWindowController() = default;

QStringList SettingsWindowController::fontChoices() {
    QStringList families;
    for (const QString& family : QFontDatabase::families())
        if (QFontDatabase::isFixedPitch(family) && !family.startsWith(QLatin1Char('.')) &&
            !families.contains(family))
            families << family;
    QCollator collator;
    std::sort(families.begin(), families.end(),
              [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    families.prepend(QStringLiteral("Varsayılan (") + ViewOptionsController::defaultFontFamily() +
                     QLatin1Char(')'));
    return families;
}

std::optional<double> SettingsWindowController::parseSize(QString text) {
    text = text.trimmed().replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<long long> SettingsWindowController::parseTabWidth(QString text) {
    bool ok = false;
    const long long value = text.trimmed().toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

void SettingsWindowController::build() {
    QWidget* window = m_window.get();
    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(16, 10, 16, 10);
    outer->setSpacing(6);
    auto* form = new QFormLayout;
    form->setVerticalSpacing(3);
    outer->addLayout(form);
    m_rows.reserve(settingDescriptors().size());
    for (const SettingDescriptor& setting : settingDescriptors())
        addRow(setting, form);
    auto* noteLabel = new QLabel(note, window);
    noteLabel->setWordWrap(true);
    outer->addWidget(noteLabel);
}

void SettingsWindowController::addRow(const SettingDescriptor& setting, QFormLayout* form) {
    QWidget* window = m_window.get();
    const QString label =
        QString::fromUtf8(setting.label.data(), static_cast<qsizetype>(setting.label.size()));
    Row& row = m_rows.emplace_back();
    row.setting = &setting;
    switch (setting.kind) {
    case SettingKind::fontFamily:
    case SettingKind::choice: {
        row.popup = new QComboBox(window);
        if (setting.kind == SettingKind::fontFamily) {
            row.popup->addItems(fontChoices());
        } else {
            for (std::string_view choice : setting.choiceLabels)
                row.popup->addItem(
                    QString::fromUtf8(choice.data(), static_cast<qsizetype>(choice.size())));
        }
        // Long font names must not widen the window.
        row.popup->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        row.popup->setMinimumContentsLength(14);
        form->addRow(label, row.popup);
        QComboBox* popup = row.popup;
        connect(popup, &QComboBox::activated, this, [this, &setting, popup](int index) {
            if (setting.kind == SettingKind::fontFamily) {
                change(setting,
                       index <= 0 ? std::string() : popup->itemText(index).toUtf8().toStdString());
                return;
            }
            const auto count = static_cast<int>(setting.rawValues.size());
            const auto chosen = static_cast<std::size_t>(std::clamp(index, 0, count - 1));
            change(setting, std::string(setting.rawValues[chosen]));
        });
        break;
    }
    case SettingKind::number:
    case SettingKind::integer: {
        form->addRow(label, numberRow(window, row.field, row.up, row.down));
        const std::size_t index = m_rows.size() - 1;
        connect(row.field, &QLineEdit::editingFinished, this,
                [this, index] { commitField(m_rows[index]); });
        auto step = [this, &setting](int delta) {
            const SettingsValue now = setting.value(m_options.settings());
            if (setting.kind == SettingKind::integer)
                change(setting, std::get<std::int64_t>(now.value) + delta);
            else
                change(setting, now.numberAsDouble() + delta);
        };
        connect(row.up, &QToolButton::clicked, this, [step] { step(1); });
        connect(row.down, &QToolButton::clicked, this, [step] { step(-1); });
        break;
    }
    case SettingKind::flag:
        row.check = new QCheckBox(label, window);
        form->addRow(row.check);
        connect(row.check, &QCheckBox::toggled, this,
                [this, &setting](bool on) { change(setting, on); });
        break;
    }
}

const SettingsWindowController::Row& SettingsWindowController::row(std::string_view key) const {
    static const Row none;
    for (const Row& candidate : m_rows)
        if (candidate.setting->key == key)
            return candidate;
    return none;
}

void SettingsWindowController::change(const SettingDescriptor& setting,
                                      const SettingsValue& value) {
    if (m_refreshing)
        return;
    EditorSettings next = m_options.settings();
    if (setting.assign(next, value))
        m_options.changeSettings(next);
    refresh(); // an ignored or clamped value shows what is in effect
}

void SettingsWindowController::commitField(const Row& row) {
    if (m_refreshing)
        return;
    const SettingDescriptor& setting = *row.setting;
    if (setting.kind == SettingKind::integer) {
        if (const auto width = parseTabWidth(row.field->text()))
            change(setting,
                   static_cast<std::int64_t>(std::clamp<long long>(*width, -1'000'000, 1'000'000)));
        else
            refresh();
    } else if (const auto number = parseSize(row.field->text())) {
        change(setting, *number);
    } else {
        refresh();
    }
}

void SettingsWindowController::refresh() {
    m_refreshing = true;
    const EditorSettings& settings = m_options.settings();
    for (const Row& row : m_rows) {
        const SettingsValue value = row.setting->value(settings);
        switch (row.setting->kind) {
        case SettingKind::fontFamily: {
            const QString name = QString::fromStdString(*value.string());
            int fontIndex = name.isEmpty() ? 0 : row.popup->findText(name);
            if (fontIndex < 0) {
                // A stored family that is not installed (any more) still shows as chosen.
                row.popup->addItem(name);
                fontIndex = row.popup->count() - 1;
            }
            row.popup->setCurrentIndex(fontIndex);
            break;
        }
        case SettingKind::choice: {
            const auto& raws = row.setting->rawValues;
            const auto found = std::ranges::find(raws, std::string_view(*value.string()));
            row.popup->setCurrentIndex(static_cast<int>(found - raws.begin()));
            break;
        }
        case SettingKind::number:
            row.field->setText(QString::asprintf("%.1f", value.numberAsDouble()));
            break;
        case SettingKind::integer:
            row.field->setText(QString::number(std::get<std::int64_t>(value.value)));
            break;
        case SettingKind::flag:
            row.check->setChecked(std::get<bool>(value.value));
            break;
        }
    }
    m_refreshing = false;
}

void SettingsWindowController::showAndRaise() {
    refresh();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace vendrix::app
