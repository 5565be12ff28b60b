#pragma once

#include "app/Features.h"
#include "app/context/EditorFeature.h"
#include "app/context/MenuBuilder.h"
#include "app/context/Prompter.h"
#include "app/document/EditorDocument.h"
#include "app/features/columnselection/ColumnSelectionFeature.h"
#include "app/features/search/FindController.h"
#include "app/features/search/SearchFeature.h"
#include "app/view/EditorTextView.h"
#include "app/window/EditorWindowController.h"
#include "app/window/StatusBarView.h"
#include "core/editing/VisualColumn.h"
#include "core/text/TextStorage.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace vendrix::app::test {

/// The real window controller with every feature attached as the application attaches them
/// (the column selection last) and the menus built, shown offscreen and active so that mouse
/// and key events, shortcuts included, reach the text view.
class ColumnFixture : public ::testing::Test {
protected:
    void SetUp() override {
        controller = std::make_unique<EditorWindowController>(
            EditorWindowController::Options{&prompter, nullptr});
        controller->ensureDocument();
        for (std::unique_ptr<EditorFeature>& made : makeFeatures()) {
            if (auto* column = dynamic_cast<ColumnSelectionFeature*>(made.get())) {
                made.release();
                feature.reset(column);
            } else {
                others.push_back(std::move(made));
            }
        }
        ASSERT_TRUE(feature);
        for (const std::unique_ptr<EditorFeature>& other : others)
            other->attach(*controller);
        feature->attach(*controller);
        menus = std::make_unique<MenuBuilder>();
        controller->attachMenus(*menus);
        for (const std::unique_ptr<EditorFeature>& other : others)
            other->contributeMenus(*menus);
        feature->contributeMenus(*menus);
        menus->complete();
        controller->replayToObservers();
        controller->show();
        controller->window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(controller->window()));
        view()->setEditorFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        view()->setTabWidth(4);
        view()->setFocus();
        QApplication::clipboard()->clear();
    }
    void TearDown() override {
        feature.reset();
        others.clear();
        controller.reset();
        menus.reset();
    }

    EditorTextView* view() const { return controller->textView(); }
    QWidget* viewport() const { return view()->viewport(); }
    EditorDocument& document() { return *controller->activeDocument(); }
    std::u16string text() { return document().storage()->string(); }
    EditorDocument& open(std::u16string content) {
        EditorDocument& created = controller->newDocument(std::move(content));
        view()->setFocus();
        return created;
    }
    /// Where a click lands on (line, column); right of the line's end by space widths.
    QPoint pointOf(std::int64_t line, std::int64_t column) {
        const std::u16string whole = text();
        const LineIndex& lines = document().lineIndex();
        const TextRange content = VisualColumn::contentRange(line, whole, lines);
        const auto found = VisualColumn::offset(column, content, whole, view()->tabWidth());
        const QRectF at = view()->rectForOffset(found.offset);
        const qreal space = QFontMetricsF(view()->layoutModel().font()).horizontalAdvance(' ');
        const qreal x = at.left() + (found.reached ? 0 : (column - found.column) * space) + 1;
        return QPointF(x, at.center().y()).toPoint();
    }
    void send(QEvent::Type type, QPoint point, Qt::MouseButton button, Qt::MouseButtons buttons,
              Qt::KeyboardModifiers modifiers) {
        QMouseEvent event(type, QPointF(point), viewport()->mapToGlobal(QPointF(point)), button,
                          buttons, modifiers);
        QApplication::sendEvent(viewport(), &event);
    }
    /// A drag with `button` from one point to another, with moves in between.
    void drag(QPoint from, QPoint to, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
        QTest::mousePress(viewport(), button, modifiers, from);
        const QPoint middle = (from + to) / 2;
        send(QEvent::MouseMove, middle, Qt::NoButton, button, modifiers);
        send(QEvent::MouseMove, to, Qt::NoButton, button, modifiers);
        QTest::mouseRelease(viewport(), button, modifiers, to);
    }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(view(), k, modifiers);
    }
    void type(const QString& typed) { QTest::keyClicks(view(), typed); }
    QString statusText() {
        QApplication::processEvents(); // the status refresh is coalesced
        auto field = controller->statusBar()->field(ColumnSelectionFeature::statusFieldID);
        return field && field->label && field->label->isVisibleTo(controller->window())
                   ? field->label->text()
                   : QString();
    }
    QString message() { return controller->statusBar()->message(); }
    ColumnSelection rect(std::int64_t line0, std::int64_t col0, std::int64_t line1,
                         std::int64_t col1) {
        return {{line0, col0}, {line1, col1}, std::nullopt};
    }
    FindController& find() {
        for (const std::unique_ptr<EditorFeature>& other : others)
            if (auto* search = dynamic_cast<SearchFeature*>(other.get()))
                return *search->find;
        throw std::logic_error("no search feature");
    }
    QString positionText() {
        QApplication::processEvents();
        return controller->statusBar()->field("position")->label->text();
    }
    QAction* menuItem(const QString& title) {
        for (QAction* action : menus->mainMenu()->findChildren<QAction*>())
            if (action->text() == title)
                return action;
        return nullptr;
    }

    ScriptedPrompter prompter;
    std::unique_ptr<MenuBuilder> menus;
    std::unique_ptr<EditorWindowController> controller;
    std::unique_ptr<ColumnSelectionFeature> feature;
    /// Formatting, highlighting and search, in the application's order.
    std::vector<std::unique_ptr<EditorFeature>> others;
};

} // namespace vendrix::app::test
