#include "app/window/TabBarView.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace vendrix::app {
namespace {

/// Title widths that give tabs of the wanted widths (the padding is added back).
std::vector<int> titlesFor(std::initializer_list<int> tabWidths) {
    std::vector<int> widths;
    for (int width : tabWidths)
        widths.push_back(width - TabBarLayout::titlePadding);
    return widths;
}

TEST(TabBarLayoutTest, MultiLineWrapsTabsAndThePlusButton) {
    const TabBarLayout layout = TabBarLayout::compute(titlesFor({200, 200, 150}), 500, true);
    ASSERT_EQ(layout.tabFrames.size(), 3u);
    EXPECT_EQ(layout.tabFrames[0], QRect(0, 0, 200, 28));
    EXPECT_EQ(layout.tabFrames[1], QRect(200, 0, 200, 28));
    EXPECT_EQ(layout.tabFrames[2], QRect(0, 28, 150, 28)) << "the third tab starts a second row";
    EXPECT_EQ(layout.plusFrame, QRect(150, 28, 28, 28)) << "the plus button follows it";
    EXPECT_EQ(layout.rowCount, 2);
    EXPECT_EQ(layout.barHeight, 56);
    EXPECT_EQ(layout.desiredHeight, 56);
    EXPECT_EQ(layout.barWidth, 500);

    // The plus button wraps alone when the row is full; an empty bar holds only it.
    const TabBarLayout full = TabBarLayout::compute(titlesFor({200, 200, 90}), 500, true);
    EXPECT_EQ(full.plusFrame, QRect(0, 28, 28, 28));
    EXPECT_EQ(TabBarLayout::compute({}, 500, true).plusFrame, QRect(0, 0, 28, 28));
}

TEST(TabBarLayoutTest, TabWidthsAreClampedAndTheWidthHasAFloor) {
    const TabBarLayout layout = TabBarLayout::compute({0, 1000, 60}, 1000, true);
    EXPECT_EQ(layout.tabFrames[0].width(), 90);
    EXPECT_EQ(layout.tabFrames[1].width(), 220);
    EXPECT_EQ(layout.tabFrames[2].width(), 106);
    // Below 118 the available width counts as 118, and no tab is wider than that.
    const TabBarLayout narrow = TabBarLayout::compute({1000}, 40, true);
    EXPECT_EQ(narrow.tabFrames[0], QRect(0, 0, 118, 28));
    EXPECT_EQ(narrow.plusFrame, QRect(0, 28, 28, 28));
    EXPECT_EQ(narrow.barWidth, 118);
}

TEST(TabBarLayoutTest, SingleLineSharesTheWidthAndScrolls) {
    const TabBarLayout crowded = TabBarLayout::compute(std::vector<int>(10, 300), 500, false);
    ASSERT_EQ(crowded.tabFrames.size(), 10u);
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(crowded.tabFrames[static_cast<size_t>(j)], QRect(90 * j, 0, 90, 28));
    EXPECT_EQ(crowded.plusFrame, QRect(900, 0, 28, 28));
    EXPECT_EQ(crowded.barWidth, 928) << "wider than the view, so it scrolls";
    EXPECT_EQ(crowded.rowCount, 1);

    EXPECT_EQ(TabBarLayout::compute({10, 10}, 500, false).tabFrames[1], QRect(220, 0, 220, 28));
    EXPECT_EQ(TabBarLayout::compute({10, 10, 10}, 500, false).tabFrames[2], QRect(314, 0, 157, 28));
    EXPECT_EQ(TabBarLayout::compute({}, 500, false).plusFrame, QRect(0, 0, 28, 28));
}

TEST(TabBarLayoutTest, AtMostEightRowsAreAskedFor) {
    // At the minimum width each 90-wide tab takes a row of its own.
    const TabBarLayout layout = TabBarLayout::compute(std::vector<int>(12, 0), 118, true);
    EXPECT_EQ(layout.rowCount, 12);
    EXPECT_EQ(layout.plusFrame, QRect(90, 28 * 11, 28, 28));
    EXPECT_EQ(layout.barHeight, 336);
    EXPECT_EQ(layout.desiredHeight, 224);
}

TEST(TabBarLayoutTest, CloseBoxAndDropTargets) {
    EXPECT_EQ(TabBarLayout::closeBox(QRect(200, 28, 150, 28)), QRect(328, 34, 16, 16));

    const TabBarLayout layout = TabBarLayout::compute(titlesFor({200, 200, 150}), 500, true);
    EXPECT_EQ(layout.tabAt({210, 5}), 1);
    EXPECT_EQ(layout.tabAt({450, 5}), -1);
    EXPECT_EQ(layout.targetIndex({210, 5}), 1);
    EXPECT_EQ(layout.targetIndex({450, 5}), 1) << "right of the row's last tab";
    EXPECT_EQ(layout.targetIndex({-20, 40}), 2) << "the row's first tab";
    EXPECT_EQ(layout.targetIndex({300, 40}), 2);
    EXPECT_EQ(layout.targetIndex({300, -50}), 1) << "above the bar counts as the first row";
    EXPECT_EQ(layout.targetIndex({10, 200}), 2) << "a row without tabs: the last index";
    EXPECT_EQ(TabBarLayout::compute({}, 500, true).targetIndex({10, 10}), 0);
}

/// A bar in its scroll area over a list of titles that the callbacks edit like a window.
struct TabBarFixture {
    explicit TabBarFixture(int count, int width = 600) {
        area = TabBarView::makeScrollArea(bar);
        QObject::connect(bar, &TabBarView::onSelect, [this](int i) {
            selected.push_back(i);
            refresh(i);
        });
        QObject::connect(bar, &TabBarView::onClose, [this](int i) { closed.push_back(i); });
        QObject::connect(bar, &TabBarView::onNew, [this] { ++newTabs; });
        QObject::connect(bar, &TabBarView::onMove, [this](int from, int to) {
            moves.emplace_back(from, to);
            QString moved = titles.takeAt(from);
            titles.insert(to, moved);
            refresh(to);
        });
        QObject::connect(bar, &TabBarView::onHeightChange, [this](int height) {
            heights.push_back(height);
            area->setFixedHeight(height);
        });
        for (int i = 0; i < count; ++i)
            titles << QStringLiteral("Belge %1").arg(i);
        area->resize(width, 28);
        area->show();
        refresh(0);
        QApplication::processEvents();
    }
    ~TabBarFixture() { delete area; }
    void refresh(int selectedIndex) {
        std::vector<TabBarView::Item> items;
        for (const QString& title : titles)
            items.push_back({title, false, "/tmp/" + title, "/tmp/" + title});
        bar->setItems(std::move(items), selectedIndex);
    }
    QRect frame(int i) const { return bar->tabFrames()[static_cast<size_t>(i)]; }

    TabBarView* bar = new TabBarView;
    QScrollArea* area = nullptr;
    QStringList titles;
    std::vector<int> selected, closed, heights;
    std::vector<std::pair<int, int>> moves;
    int newTabs = 0;
};

TEST(TabBarViewTest, ClicksSelectAndTheCloseBoxCloses) {
    TabBarFixture fixture(3);
    const QRect second = fixture.frame(1);
    const QRect box = TabBarLayout::closeBox(second);

    QTest::mouseClick(fixture.bar, Qt::LeftButton, {}, box.center());
    EXPECT_EQ(fixture.closed, std::vector<int>{1});
    EXPECT_TRUE(fixture.selected.empty());

    QTest::mouseClick(fixture.bar, Qt::LeftButton, {}, QPoint(box.left() - 2, box.center().y()));
    EXPECT_EQ(fixture.selected, std::vector<int>{1});
    EXPECT_EQ(fixture.bar->selectedIndex(), 1);
    EXPECT_EQ(fixture.closed.size(), 1u);

    // Pressing on the close box and releasing elsewhere does not close.
    QTest::mousePress(fixture.bar, Qt::LeftButton, {}, box.center());
    QTest::mouseRelease(fixture.bar, Qt::LeftButton, {}, second.topLeft() + QPoint(5, 5));
    EXPECT_EQ(fixture.closed.size(), 1u);

    QTest::mouseClick(fixture.bar, Qt::LeftButton, {}, fixture.bar->plusFrame().center());
    EXPECT_EQ(fixture.newTabs, 1);

    // Hovering a tab over its close box is tracked for the cross.
    QTest::mouseMove(fixture.bar, box.center());
    EXPECT_EQ(fixture.bar->hoverIndex(), 1);
    EXPECT_TRUE(fixture.bar->hoverClose());
}

TEST(TabBarViewTest, MiddleClickClosesATabAndDoubleClickOnlyOnEmptyAreaAddsOne) {
    TabBarFixture fixture(2);
    QTest::mouseClick(fixture.bar, Qt::MiddleButton, {}, fixture.frame(1).center());
    EXPECT_EQ(fixture.closed, std::vector<int>{1});
    const QPoint empty(fixture.bar->plusFrame().right() + 40, 10);
    QTest::mouseClick(fixture.bar, Qt::MiddleButton, {}, empty);
    EXPECT_EQ(fixture.closed.size(), 1u);

    QTest::mouseDClick(fixture.bar, Qt::LeftButton, {}, fixture.frame(0).center());
    EXPECT_EQ(fixture.newTabs, 0);
    QTest::mouseDClick(fixture.bar, Qt::LeftButton, {}, empty);
    EXPECT_EQ(fixture.newTabs, 1);
}

TEST(TabBarViewTest, DraggingATabReordersIt) {
    TabBarFixture fixture(4);
    const QPoint start = fixture.frame(0).center();
    QTest::mousePress(fixture.bar, Qt::LeftButton, {}, start);
    QTest::mouseMove(fixture.bar, start + QPoint(3, 3));
    EXPECT_TRUE(fixture.moves.empty()) << "within the 4-pixel threshold nothing moves";

    QTest::mouseMove(fixture.bar, fixture.frame(1).center());
    QTest::mouseMove(fixture.bar, fixture.frame(2).center());
    QTest::mouseRelease(fixture.bar, Qt::LeftButton, {}, fixture.frame(2).center());
    const std::vector<std::pair<int, int>> expected{{0, 1}, {1, 2}};
    EXPECT_EQ(fixture.moves, expected);
    EXPECT_EQ(fixture.titles, (QStringList{"Belge 1", "Belge 2", "Belge 0", "Belge 3"}));
    EXPECT_EQ(fixture.bar->selectedIndex(), 2);

    // After the release, moving the pointer drags nothing.
    QTest::mouseMove(fixture.bar, fixture.frame(3).center());
    EXPECT_EQ(fixture.moves.size(), 2u);
}

TEST(TabBarViewTest, DraggingBelowTheVisibleRowsScrollsAndKeepsMoving) {
    TabBarFixture fixture(1, 300);
    for (int i = 1; i < 30; ++i)
        fixture.titles << QStringLiteral("Uzun bir belge adı %1").arg(i);
    fixture.refresh(0);
    QApplication::processEvents();
    ASSERT_EQ(fixture.area->verticalScrollBar()->value(), 0);

    const QPoint start = fixture.frame(0).center();
    QTest::mousePress(fixture.bar, Qt::LeftButton, {}, start);
    // Held just below the last visible row: the bar scrolls on its own.
    const QPoint below(start.x(), fixture.area->height() + 10);
    QTest::mouseMove(fixture.bar, below);
    QTRY_VERIFY_WITH_TIMEOUT(fixture.area->verticalScrollBar()->value() >= 3 * 28, 5000);
    ASSERT_FALSE(fixture.moves.empty());
    EXPECT_GT(fixture.titles.indexOf("Belge 0"), 8) << "the tab travelled with the scrolling";
    QTest::mouseRelease(fixture.bar, Qt::LeftButton, {}, below);
    const int settled = fixture.area->verticalScrollBar()->value();
    QTest::qWait(200);
    EXPECT_EQ(fixture.area->verticalScrollBar()->value(), settled) << "released: no scrolling";
}

TEST(TabBarViewTest, TheBarAsksForAtMostEightRows) {
    TabBarFixture fixture(1, 300);
    EXPECT_EQ(fixture.bar->desiredHeight(), 28);
    for (int i = 1; i < 30; ++i)
        fixture.titles << QStringLiteral("Uzun bir belge adı %1").arg(i);
    fixture.refresh(29);
    QApplication::processEvents();
    EXPECT_GT(fixture.bar->rowCount(), 8);
    EXPECT_EQ(fixture.bar->desiredHeight(), 224);
    ASSERT_FALSE(fixture.heights.empty());
    EXPECT_EQ(fixture.heights.back(), 224);
    EXPECT_EQ(fixture.bar->height(), 28 * fixture.bar->rowCount());
    EXPECT_GT(fixture.area->verticalScrollBar()->value(), 0)
        << "the selected last tab is scrolled into view";

    fixture.bar->setMultiline(false);
    EXPECT_EQ(fixture.bar->rowCount(), 1);
    EXPECT_EQ(fixture.heights.back(), 28);
    EXPECT_EQ(fixture.bar->width(), fixture.bar->plusFrame().right() + 1);
    EXPECT_GT(fixture.area->horizontalScrollBar()->value(), 0)
        << "one line of tabs scrolls sideways to the selected tab";
    const int before = fixture.area->horizontalScrollBar()->value();
    QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), {}, QPoint(0, 120), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(fixture.bar, &wheel);
    EXPECT_LT(fixture.area->horizontalScrollBar()->value(), before)
        << "the vertical wheel scrolls one line of tabs sideways";
}

TEST(TabBarViewTest, ContextMenuOffersThePathCommandsOnlyForFiles) {
    TabBarFixture fixture(2);
    std::vector<TabBarView::Item> items{{"a.txt", true, "/d/a.txt", "/d/a.txt"},
                                        {"Yeni 1", false, {}, {}}};
    fixture.bar->setItems(items, 0);
    int closeOthers = -1;
    QObject::connect(fixture.bar, &TabBarView::onCloseOthers, [&](int i) { closeOthers = i; });

    EXPECT_EQ(fixture.bar->makeContextMenu(2), nullptr);
    auto menu = fixture.bar->makeContextMenu(0);
    ASSERT_NE(menu, nullptr);
    QStringList titles;
    for (QAction* action : menu->actions())
        titles << (action->isSeparator() ? "—" : action->text());
    EXPECT_EQ(titles, (QStringList{"Kapat", "Diğerlerini Kapat", "—", "Dosya Yöneticisinde Göster",
                                   "Yolu Kopyala"}));
    EXPECT_TRUE(menu->actions()[3]->isEnabled());
    menu->actions()[4]->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("/d/a.txt"));
    menu->actions()[1]->trigger();
    EXPECT_EQ(closeOthers, 0);
    menu->actions()[0]->trigger();
    EXPECT_EQ(fixture.closed, std::vector<int>{0});

    auto untitled = fixture.bar->makeContextMenu(1);
    EXPECT_FALSE(untitled->actions()[3]->isEnabled());
    EXPECT_FALSE(untitled->actions()[4]->isEnabled());

    fixture.bar->setItems({items[0]}, 0);
    EXPECT_FALSE(fixture.bar->makeContextMenu(0)->actions()[1]->isEnabled())
        << "nothing else to close";
}

TEST(TabBarViewTest, DroppedFilesAreHandedOver) {
    TabBarFixture fixture(1);
    struct Target final : TabBarView::DropTarget {
        bool onDropFiles(const QStringList& paths) override {
            dropped = paths;
            return true;
        }
        QStringList dropped;
    } target;
    fixture.bar->setDropTarget(&target);
    QStringList& dropped = target.dropped;
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/d/a.txt"), QUrl("https://example.invalid/x"),
                  QUrl::fromLocalFile("/d/b.txt")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(fixture.bar, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(fixture.bar, &drop);
    EXPECT_EQ(dropped, (QStringList{"/d/a.txt", "/d/b.txt"}));
    EXPECT_TRUE(drop.isAccepted());
}

} // namespace
} // namespace vendrix::app
