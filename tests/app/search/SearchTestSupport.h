#pragma once

#include "../context/MenuTestSupport.h"
#include "../window/WindowTestSupport.h"
#include "app/features/search/FindBar.h"
#include "app/features/search/FindController.h"
#include "app/features/search/SearchFeature.h"
#include "app/window/EditorWindowController.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QUndoStack>

#include <gtest/gtest.h>

namespace vendrix::app::test {

/// A real window with the search feature attached and its menus built.
class SearchFixture : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        builder = std::make_unique<MenuBuilder>();
        controller->attachMenus(*builder);
        feature = std::make_unique<SearchFeature>();
        feature->attach(*controller);
        feature->contributeMenus(*builder);
        builder->complete();
    }
    void TearDown() override {
        feature.reset();
        builder.reset();
        WindowFixture::TearDown();
    }

    FindController& find() { return *feature->find; }
    EditorTextView& view() { return *controller->textView(); }

    /// Replaces the active tab's text through a fresh document.
    EditorDocument& open(std::u16string text) { return controller->newDocument(std::move(text)); }

    /// Runs the event loop until `done` holds (false after `ms`).
    static bool waitFor(const std::function<bool()>& done, int ms = 15000) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > ms)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }
    /// Waits until no main operation is pending.
    void waitIdle() {
        ASSERT_TRUE(waitFor([this] { return !find().isBusy(); }));
    }
    /// Starts a live count now and waits for it.
    void countNow() {
        find().setLiveCounting(true);
        find().startCount();
        ASSERT_TRUE(waitFor([this] { return !find().isCounting(); }));
    }

    /// The item `title` of the menu `id` (searching its submenus too).
    QAction* item(MenuID id, const QString& title) const {
        return findMenuItem(builder->menu(id), title);
    }
    /// Chooses a menu item as the user does; false when it is disabled.
    bool choose(MenuID id, const QString& title) { return chooseMenuItem(*builder, id, title); }

    std::unique_ptr<MenuBuilder> builder;
    std::unique_ptr<SearchFeature> feature;
};

} // namespace vendrix::app::test
