#pragma once

#include "app/context/SettingsOwner.h"
#include "app/view/TextInputHandler.h"
#include "core/persistence/EditorSettings.h"
#include "core/persistence/SettingsStore.h"

#include <QFont>
#include <QPalette>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

namespace vendrix {
class SettingsBacking;
}

namespace vendrix::app {

class EditorContext;
class EditorTextView;
class MenuBuilder;
class SettingsWindowController;

/// The one owner of the editor settings: holds the current record, saves every change at once
/// (only the keys that changed) and applies what differs to the editor — font and zoom, tab
/// stops, invisibles, theme, tab-bar rows. Also the Tab and Shift+Tab handling of the text
/// view (indent, outdent, spaces to the next tab stop) and the zoom commands. Main thread only.
class ViewOptionsController final : public SettingsOwner, public TextInputHandler {
    Q_OBJECT

public:
    /// What the window does for the options that live in it.
    class Host {
    public:
        virtual ~Host() = default;
        /// The tab bar shows several rows, or one scrolling row.
        virtual void setMultilineTabs(bool multiline) = 0;
        /// The window's line wrapping ("Sözcük Kaydır").
        virtual bool wrapsLines() const = 0;
        virtual void setWrapsLines(bool wraps) = 0;
        /// The editor font changed (the window tells the features).
        virtual void fontChanged() = 0;
    };

    static inline const QString indentActionName = QStringLiteral("Girintiyi Artır");
    static inline const QString outdentActionName = QStringLiteral("Girintiyi Azalt");

    /// Loads the settings from `backing` (which must outlive the controller) and installs the
    /// Tab handling on the context's text view. Call apply() to push the loaded settings.
    /// Without a host the window's options (tab rows, wrapping, font notice) are left alone.
    ViewOptionsController(EditorContext& context, SettingsBacking& backing,
                          std::unique_ptr<Host> host = nullptr, QObject* parent = nullptr);
    ~ViewOptionsController() override;

    const EditorSettings& settings() const override { return m_settings; }
    /// The one change path: clamps, ignores an equal record, stores and saves the new one,
    /// applies what differs, then emits settingsChanged.
    void changeSettings(EditorSettings settings) override;
    /// Pushes the settings that differ from `previous` to the editor (all without one).
    void apply(const std::optional<EditorSettings>& previous = std::nullopt);

    /// Zooms by `delta` points (the saved size stays); a message tells the new size.
    void zoom(double delta);
    /// "Gerçek Boyut": back to the saved size.
    void resetZoom();
    double zoomDelta() const { return m_zoomDelta; }
    /// The size the editor shows: the saved size plus the zoom, within 6 ... 72.
    double effectiveFontSize() const;

    /// The editor font for the settings: the named family if installed, else the system's
    /// fixed-width font.
    QFont resolvedFont(double pointSize) const;
    /// The family of the default editor font (the system's fixed-width font).
    static QString defaultFontFamily();
    /// The palette the dark theme ("Koyu") installs.
    static QPalette darkThemePalette();

    /// "Girintiyi Artır" / "Girintiyi Azalt" on the line block of the selection.
    bool indentSelection();
    bool outdentSelection();

    /// "Ayarlar…" in the application menu and the View menu's wrapping, invisibles and zoom.
    void contributeMenus(MenuBuilder& builder);
    /// The settings window, created on first use and kept.
    SettingsWindowController& settingsWindow();
    void showSettingsWindow();

    // TextInputHandler: Tab and Shift+Tab.
    bool keyPress(QKeyEvent& event) override;

private:
    void applyFont();
    void applyTheme();
    /// Applies a line-block edit computed over the block's own text.
    bool applyBlockEdit(bool outdent);
    bool insertSpacesToTabStop();
    bool columnSelectionActive() const;
    void notifyChanged();

    EditorContext& m_ctx;
    SettingsStore m_store;
    EditorSettings m_settings;
    double m_zoomDelta = 0;
    std::unique_ptr<Host> m_host;
    QPointer<EditorTextView> m_view;
    std::unique_ptr<SettingsWindowController> m_window;
    QPalette m_systemPalette;
    QString m_systemStyle;
};

} // namespace vendrix::app
