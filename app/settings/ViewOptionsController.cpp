#include "app/settings/ViewOptionsController.h"

#include "app/context/EditorContext.h"
#include "app/context/MenuBuilder.h"
#include "app/settings/SettingsWindowController.h"
#include "app/view/EditorTextView.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStyle>
#include <QStyleFactory>

#include <algorithm>
#include <cmath>

namespace vendrix::app {

namespace {

constexpr double kMinSize = EditorSettings::fontSizeRange.lowerBound;
constexpr double kMaxSize = EditorSettings::fontSizeRange.upperBound;

QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x2B, 0x2B, 0x2B), base(0x1E, 0x1E, 0x1E), text(0xE6, 0xE6, 0xE6);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x8A, 0x8A, 0x8A));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    // The shades would otherwise stay the light palette's: separators (ruler, tabs) and
    // frames drawn with them would be bright lines on the dark background.
    palette.setColor(QPalette::Light, QColor(0x55, 0x55, 0x55));
    palette.setColor(QPalette::Midlight, QColor(0x42, 0x42, 0x42));
    palette.setColor(QPalette::Mid, QColor(0x4A, 0x4A, 0x4A));
    palette.setColor(QPalette::Dark, QColor(0x1A, 0x1A, 0x1A));
    palette.setColor(QPalette::Shadow, QColor(0x0A, 0x0A, 0x0A));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Link, QColor(0x6B, 0xB7, 0xFF));
    palette.setColor(QPalette::Highlight, QColor(0x2F, 0x6F, 0xD0));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    return palette;
}

QString sizeMessage(double size) {
    return QStringLiteral("Yazı boyutu ") + QString::number(std::lround(size)) +
           QStringLiteral(" pt");
}

} // namespace

QPalette ViewOptionsController::darkThemePalette() {
    return darkPalette();
}

ViewOptionsController::ViewOptionsController(EditorContext& context, SettingsBacking& backing,
                                             std::unique_ptr<Host> host, QObject* parent)
    : SettingsOwner(parent), m_ctx(context), m_store(backing), m_settings(m_store.load()),
      m_host(std::move(host)), m_view(context.textView()), m_systemPalette(QApplication::palette()),
      m_systemStyle(QApplication::style() ? QApplication::style()->name() : QString()) {
    if (m_view)
        m_view->addInputHandler(this);
}

ViewOptionsController::~ViewOptionsController() {
    if (m_view)
        m_view->removeInputHandler(this);
}

void ViewOptionsController::changeSettings(EditorSettings settings) {
    settings = settings.clamped();
    if (settings == m_settings)
        return;
    const EditorSettings previous = std::exchange(m_settings, settings);
    m_store.save(m_settings);
    apply(previous);
    notifyChanged();
}

void ViewOptionsController::notifyChanged() {
    emit settingsChanged();
}

void ViewOptionsController::apply(const std::optional<EditorSettings>& previous) {
    const EditorSettings& now = m_settings;
    if (!previous || previous->fontName != now.fontName || previous->fontSize != now.fontSize)
        applyFont();
    if (m_view && (!previous || previous->tabWidth != now.tabWidth))
        m_view->setTabWidth(static_cast<int>(
            std::clamp<std::int64_t>(now.tabWidth, EditorSettings::tabWidthRange.lowerBound,
                                     EditorSettings::tabWidthRange.upperBound)));
    if (m_view && (!previous || previous->showInvisibles != now.showInvisibles))
        m_view->setShowsInvisibles(now.showInvisibles);
    // At start-up the system theme needs nothing: the application already follows it.
    if (previous ? previous->theme != now.theme : now.theme != EditorTheme::system)
        applyTheme();
    if (m_host && (!previous || previous->multilineTabs != now.multilineTabs))
        m_host->setMultilineTabs(now.multilineTabs);
}

double ViewOptionsController::effectiveFontSize() const {
    return std::clamp(m_settings.fontSize + m_zoomDelta, kMinSize, kMaxSize);
}

QString ViewOptionsController::defaultFontFamily() {
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
}

QFont ViewOptionsController::resolvedFont(double pointSize) const {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QString name = QString::fromStdU16String(m_settings.fontName);
    if (!name.isEmpty() && QFontDatabase::families().contains(name))
        font = QFont(name);
    font.setPointSizeF(std::clamp(pointSize, kMinSize, kMaxSize));
    return font;
}

void ViewOptionsController::applyFont() {
    if (!m_view)
        return;
    // The view adds the zoom itself; it gets the saved size and the zoom separately.
    m_view->setEditorFont(resolvedFont(m_settings.fontSize));
    m_view->setZoomDelta(effectiveFontSize() - m_settings.fontSize);
    if (m_host)
        m_host->fontChanged();
}

void ViewOptionsController::applyTheme() {
    switch (m_settings.theme) {
    case EditorTheme::system:
        if (!m_systemStyle.isEmpty())
            QApplication::setStyle(QStyleFactory::create(m_systemStyle));
        QApplication::setPalette(m_systemPalette);
        break;
    case EditorTheme::light:
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(QApplication::style()->standardPalette());
        break;
    case EditorTheme::dark:
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(darkPalette());
        break;
    }
}

void ViewOptionsController::zoom(double delta) {
    if (m_view)
        m_zoomDelta = m_view->zoomDelta(); // the view zooms with Ctrl+wheel too
    const double before = effectiveFontSize();
    const double after = std::clamp(m_settings.fontSize + m_zoomDelta + delta, kMinSize, kMaxSize);
    if (after == before)
        return;
    m_zoomDelta = after - m_settings.fontSize;
    applyFont();
    m_ctx.showMessage(sizeMessage(after), 4);
    notifyChanged();
}

void ViewOptionsController::resetZoom() {
    if (m_view)
        m_zoomDelta = m_view->zoomDelta();
    if (m_zoomDelta == 0)
        return;
    m_zoomDelta = 0;
    applyFont();
    m_ctx.showMessage(sizeMessage(effectiveFontSize()), 4);
    notifyChanged();
}

void ViewOptionsController::contributeMenus(MenuBuilder& builder) {
    builder.addItem(MenuID::app, MenuCommand{QStringLiteral("Ayarlar…"),
                                             [this] { showSettingsWindow(); },
                                             {QKeySequence(Qt::CTRL | Qt::Key_Comma)}});
    if (m_host)
        builder.addItem(MenuID::view,
                        MenuCommand{QStringLiteral("Sözcük Kaydır"),
                                    [this] { m_host->setWrapsLines(!m_host->wrapsLines()); },
                                    {QKeySequence(Qt::ALT | Qt::Key_Z)},
                                    {},
                                    [this] { return m_host->wrapsLines(); }});
    builder.addItem(MenuID::view, MenuCommand{QStringLiteral("Görünmez Karakterleri Göster"),
                                              [this] {
                                                  EditorSettings next = m_settings;
                                                  next.showInvisibles = !next.showInvisibles;
                                                  changeSettings(next);
                                              },
                                              {},
                                              {},
                                              [this] { return m_settings.showInvisibles; }});
    builder.addSeparator(MenuID::view);
    // One action answers both keys: a hidden second action would lose its shortcut.
    builder.addItem(MenuID::view, MenuCommand{QStringLiteral("Yakınlaştır"),
                                              [this] { zoom(1); },
                                              {QKeySequence(Qt::CTRL | Qt::Key_Plus),
                                               QKeySequence(Qt::CTRL | Qt::Key_Equal)}});
    builder.addItem(MenuID::view, MenuCommand{QStringLiteral("Uzaklaştır"),
                                              [this] { zoom(-1); },
                                              {QKeySequence(Qt::CTRL | Qt::Key_Minus)}});
    builder.addItem(MenuID::view, MenuCommand{QStringLiteral("Gerçek Boyut"),
                                              [this] { resetZoom(); },
                                              {QKeySequence(Qt::CTRL | Qt::Key_0)}});
}

SettingsWindowController& ViewOptionsController::settingsWindow() {
    if (!m_window)
        m_window = std::make_unique<SettingsWindowController>(*this, m_ctx.window());
    return *m_window;
}

void ViewOptionsController::showSettingsWindow() {
    settingsWindow().showAndRaise();
}

} // namespace vendrix::app
