#include "app/context/SettingsWindowController.h"

#include "app/context/ViewOptionsController.h"

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

    fontPopup = new QComboBox(window);
    fontPopup->addItems(fontChoices());
    form->addRow(QStringLiteral("Yazı tipi:"), fontPopup);
    form->addRow(QStringLiteral("Boyut:"), numberRow(window, sizeField, sizeUp, sizeDown));
    form->addRow(QStringLiteral("Sekme genişliği:"), numberRow(window, tabField, tabUp, tabDown));
    auto box = [&](const QString& text) {
        auto* check = new QCheckBox(text, window);
        form->addRow(check);
        return check;
    };
    spacesBox = box(QStringLiteral("Sekme tuşu boşluk ekler"));
    wrapBox = box(QStringLiteral("Varsayılan olarak sözcük kaydır"));
    wordBox = box(QStringLiteral("Seçili kelimenin geçişlerini vurgula"));
    invisiblesBox = box(QStringLiteral("Görünmez karakterleri göster"));
    multilineTabsBox = box(QStringLiteral("Çok satırlı sekmeler"));
    themePopup = new QComboBox(window);
    themePopup->addItems(
        {QStringLiteral("Sistem"), QStringLiteral("Açık"), QStringLiteral("Koyu")});
    form->addRow(QStringLiteral("Tema:"), themePopup);
    prettyPopup = new QComboBox(window);
    prettyPopup->addItems({QStringLiteral("Açarken sor"), QStringLiteral("Her zaman güzelleştir"),
                           QStringLiteral("Asla (olduğu gibi aç)")});
    form->addRow(QStringLiteral("Tek satırlık büyük JSON/XML:"), prettyPopup);
    // Long font names must not widen the window.
    for (QComboBox* popup : {fontPopup, themePopup, prettyPopup}) {
        popup->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        popup->setMinimumContentsLength(14);
    }
    auto* noteLabel = new QLabel(note, window);
    noteLabel->setWordWrap(true);
    outer->addWidget(noteLabel);

    auto change = [this](auto edit) {
        if (m_refreshing)
            return;
        EditorSettings next = m_options.settings();
        edit(next);
        m_options.changeSettings(next);
        refresh(); // an ignored or clamped value shows what is in effect
    };
    connect(fontPopup, &QComboBox::activated, this, [this, change](int index) {
        change([&](EditorSettings& s) {
            s.fontName =
                index <= 0 ? std::u16string() : fontPopup->itemText(index).toStdU16String();
        });
    });
    connect(sizeField, &QLineEdit::editingFinished, this, &SettingsWindowController::commitSize);
    connect(tabField, &QLineEdit::editingFinished, this, &SettingsWindowController::commitTabWidth);
    connect(sizeUp, &QToolButton::clicked, this,
            [change] { change([](EditorSettings& s) { s.fontSize += 1; }); });
    connect(sizeDown, &QToolButton::clicked, this,
            [change] { change([](EditorSettings& s) { s.fontSize -= 1; }); });
    connect(tabUp, &QToolButton::clicked, this,
            [change] { change([](EditorSettings& s) { s.tabWidth += 1; }); });
    connect(tabDown, &QToolButton::clicked, this,
            [change] { change([](EditorSettings& s) { s.tabWidth -= 1; }); });
    auto flag = [&](QCheckBox* check, bool EditorSettings::*field) {
        connect(check, &QCheckBox::toggled, this,
                [change, field](bool on) { change([&](EditorSettings& s) { s.*field = on; }); });
    };
    flag(spacesBox, &EditorSettings::insertSpaces);
    flag(wrapBox, &EditorSettings::wrapByDefault);
    flag(wordBox, &EditorSettings::highlightSelectedWord);
    flag(invisiblesBox, &EditorSettings::showInvisibles);
    flag(multilineTabsBox, &EditorSettings::multilineTabs);
    connect(themePopup, &QComboBox::activated, this, [change](int index) {
        change([&](EditorSettings& s) {
            s.theme = editorTheme::allCases[static_cast<size_t>(std::clamp(index, 0, 2))];
        });
    });
    connect(prettyPopup, &QComboBox::activated, this, [change](int index) {
        change([&](EditorSettings& s) {
            s.prettyOnOpen = prettyOnOpen::allCases[static_cast<size_t>(std::clamp(index, 0, 2))];
        });
    });
}

void SettingsWindowController::commitSize() {
    if (m_refreshing)
        return;
    if (const auto size = parseSize(sizeField->text())) {
        EditorSettings next = m_options.settings();
        next.fontSize = *size;
        m_options.changeSettings(next);
    }
    refresh();
}

void SettingsWindowController::commitTabWidth() {
    if (m_refreshing)
        return;
    if (const auto width = parseTabWidth(tabField->text())) {
        EditorSettings next = m_options.settings();
        next.tabWidth = std::clamp<long long>(*width, -1'000'000, 1'000'000);
        m_options.changeSettings(next);
    }
    refresh();
}

void SettingsWindowController::refresh() {
    m_refreshing = true;
    const EditorSettings& s = m_options.settings();
    const QString name = QString::fromStdU16String(s.fontName);
    int fontIndex = name.isEmpty() ? 0 : fontPopup->findText(name);
    if (fontIndex < 0) {
        // A stored family that is not installed (any more) still shows as chosen.
        fontPopup->addItem(name);
        fontIndex = fontPopup->count() - 1;
    }
    fontPopup->setCurrentIndex(fontIndex);
    sizeField->setText(QString::asprintf("%.1f", s.fontSize));
    tabField->setText(QString::number(s.tabWidth));
    spacesBox->setChecked(s.insertSpaces);
    wrapBox->setChecked(s.wrapByDefault);
    wordBox->setChecked(s.highlightSelectedWord);
    invisiblesBox->setChecked(s.showInvisibles);
    multilineTabsBox->setChecked(s.multilineTabs);
    themePopup->setCurrentIndex(static_cast<int>(s.theme));
    prettyPopup->setCurrentIndex(static_cast<int>(s.prettyOnOpen));
    m_refreshing = false;
}

void SettingsWindowController::showAndRaise() {
    refresh();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace vendrix::app
