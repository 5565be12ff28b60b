#pragma once

#include "app/context/MenuBuilder.h"
#include "app/context/Prompter.h"
#include "app/settings/ViewOptionsController.h"
#include "app/document/EditorDocument.h"
#include "app/features/highlighting/HighlightingFeature.h"
#include "app/features/highlighting/SyntaxTheme.h"
#include "app/view/EditorTextView.h"
#include "app/window/EditorWindowController.h"
#include "app/window/StatusBarView.h"
#include "core/text/TextStorage.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QPalette>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace vendrix::app::test {

/// A shown window controller with the highlighting feature attached and its menus built.
class HighlightingFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        QApplication::setPalette(lightPalette());
        controller = std::make_unique<EditorWindowController>(
            EditorWindowController::Options{&prompter, nullptr});
        controller->attachMenus(builder);
        feature = std::make_unique<HighlightingFeature>();
        feature->attach(*controller);
        feature->contributeMenus(builder);
        builder.complete();
        controller->ensureDocument();
        controller->window()->resize(700, 400);
        controller->show();
        settle();
    }
    void TearDown() override {
        feature.reset();
        controller.reset();
        QApplication::setPalette(lightPalette());
    }

    static QPalette lightPalette() {
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(0xEF, 0xEF, 0xEF));
        palette.setColor(QPalette::WindowText, Qt::black);
        palette.setColor(QPalette::Base, Qt::white);
        palette.setColor(QPalette::Text, Qt::black);
        return palette;
    }
    static QPalette darkPalette() {
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
        palette.setColor(QPalette::WindowText, Qt::white);
        palette.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
        palette.setColor(QPalette::Text, Qt::white);
        return palette;
    }

    /// Runs queued passes (and any slices of computing ahead) until nothing is left.
    void settle() {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
        for (int i = 0; i < 100000 && feature && feature->isCatchingUp(); ++i)
            QApplication::processEvents();
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
    EditorTextView& view() { return *controller->textView(); }
    EditorDocument& active() { return *controller->activeDocument(); }
    /// A new untitled tab holding `text`, in `languageID` when given.
    EditorDocument& open(std::u16string text, std::optional<std::string> languageID = {}) {
        EditorDocument& document = controller->newDocument(std::move(text));
        if (languageID)
            controller->setLanguage(languageID, document);
        settle();
        return document;
    }
    std::vector<TemporaryAttributes::Run> syntaxRuns(TextRange range) {
        return view().temporaryAttributes().foreground(ForegroundLayer::syntax, range);
    }
    std::optional<QColor> syntaxColorAt(std::int64_t offset) {
        for (const auto& run : syntaxRuns({offset, 1}))
            if (run.start <= offset && offset < run.end)
                return run.color;
        return std::nullopt;
    }
    QAction* menuItem(MenuID id, const QString& title) {
        for (QAction* action : builder.menu(id)->actions())
            if (action->text() == title)
                return action;
        return nullptr;
    }
    QImage grab() { return view().viewport()->grab().toImage(); }
    /// Whether some pixel of `rect` (viewport coordinates) lies within `tolerance` of `color`.
    static bool hasPixelNear(const QImage& image, QRectF rect, QColor color, int tolerance = 40) {
        const QRect area = rect.toAlignedRect().intersected(image.rect());
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (std::abs(pixel.red() - color.red()) + std::abs(pixel.green() - color.green()) +
                        std::abs(pixel.blue() - color.blue()) <=
                    tolerance)
                    return true;
            }
        return false;
    }
    /// The rectangle of the character at `offset` (its row, from its caret x to the next).
    QRectF glyphRect(std::int64_t offset) {
        QRectF from = view().rectForOffset(offset);
        QRectF to = view().rectForOffset(offset + 1);
        return QRectF(from.left(), from.top(), std::max<qreal>(1, to.left() - from.left()),
                      from.height());
    }

    QTemporaryDir folder;
    ScriptedPrompter prompter;
    std::unique_ptr<EditorWindowController> controller;
    MenuBuilder builder;
    std::unique_ptr<HighlightingFeature> feature;
};

} // namespace vendrix::app::test
