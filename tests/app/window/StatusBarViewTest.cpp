#include "app/window/StatusBarView.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace vendrix::app {
namespace {

TEST(StatusBarViewTest, FeatureFieldsGoBeforeTheLineEndingField) {
    StatusBarView bar;
    EXPECT_EQ(bar.fieldOrder(),
              (QStringList{"position", "selection", "lineEnding", "encoding", "language"}));
    auto first = bar.addField("columns", 40);
    auto second = bar.addField("matches", 0);
    EXPECT_EQ(bar.fieldOrder(), (QStringList{"position", "selection", "columns", "matches",
                                             "lineEnding", "encoding", "language"}));
    EXPECT_GE(first->label->minimumWidth(), 40);
    EXPECT_EQ(bar.field("matches"), second);
    EXPECT_EQ(bar.featureFields().size(), 2u);

    // Laid out, the feature field stands left of the line-ending, encoding and language.
    bar.resize(900, StatusBarView::barHeight);
    bar.show();
    first->label->setText("Sütun");
    bar.setLineEnding(LineEnding::crlf);
    QApplication::processEvents();
    EXPECT_LT(first->label->geometry().right(), bar.field("lineEnding")->label->geometry().left());
    EXPECT_EQ(bar.height(), 22);
}

TEST(StatusBarViewTest, BuiltInTexts) {
    StatusBarView bar;
    bar.setPosition(2, 0);
    bar.setSelectionLength(17);
    bar.setLineEnding(LineEnding::cr);
    bar.setEncodingText("Salt okunur");
    bar.setLanguageText("Düz metin");
    EXPECT_EQ(bar.field("position")->label->text(), QStringLiteral("Sat 3, Süt 1"));
    EXPECT_EQ(bar.field("selection")->label->text(), QStringLiteral("Seçim: 17"));
    EXPECT_EQ(bar.field("lineEnding")->label->text(), QStringLiteral("CR"));
    EXPECT_EQ(bar.field("encoding")->label->text(), QStringLiteral("Salt okunur"));
    EXPECT_EQ(bar.field("language")->label->text(), QStringLiteral("Düz metin"));
}

TEST(StatusBarViewTest, ANewMessageReplacesTheOldAndRestartsTheTimer) {
    StatusBarView bar;
    bar.showMessage("Birinci", 0.3);
    EXPECT_EQ(bar.message(), QStringLiteral("Birinci"));
    EXPECT_TRUE(bar.flashTimer().isActive());
    QTest::qWait(200);
    bar.showMessage("İkinci", 5);
    EXPECT_EQ(bar.message(), QStringLiteral("İkinci"));
    EXPECT_GT(bar.flashTimer().remainingTime(), 4000) << "the timer restarted";
    // The first message's time passes; the second stays.
    QTest::qWait(400);
    EXPECT_EQ(bar.message(), QStringLiteral("İkinci"));

    bar.showMessage("Üçüncü", 0.05);
    QTRY_VERIFY_WITH_TIMEOUT(bar.message().isEmpty(), 5000);

    bar.showMessage("Kalıcı", 0);
    EXPECT_FALSE(bar.flashTimer().isActive());
}

TEST(StatusBarViewTest, ClicksOnFieldsRunTheirHandlers) {
    StatusBarView bar;
    int encodingClicks = 0, lineEndingClicks = 0, featureClicks = 0;
    QObject::connect(&bar, &StatusBarView::encodingClicked, [&] { ++encodingClicks; });
    QObject::connect(&bar, &StatusBarView::lineEndingClicked, [&] { ++lineEndingClicks; });
    auto feature = bar.addField("columns", 30);
    QObject::connect(feature.get(), &StatusBarField::clicked, [&] { ++featureClicks; });
    feature->label->setText("Sütun");
    bar.setEncodingText("UTF-8");
    bar.setLineEnding(LineEnding::lf);
    bar.resize(700, StatusBarView::barHeight);
    bar.show();
    QApplication::processEvents();

    QTest::mouseClick(bar.field("encoding")->label, Qt::LeftButton);
    QTest::mouseClick(bar.field("lineEnding")->label, Qt::LeftButton);
    QTest::mouseClick(feature->label, Qt::LeftButton);
    QTest::mouseClick(bar.field("position")->label, Qt::LeftButton);
    QTest::mouseClick(bar.messageLabel(), Qt::LeftButton);
    EXPECT_EQ(encodingClicks, 1);
    EXPECT_EQ(lineEndingClicks, 1);
    EXPECT_EQ(featureClicks, 1);

    // A hidden field does not answer.
    feature->label->hide();
    QTest::mouseClick(feature->label, Qt::LeftButton);
    EXPECT_EQ(featureClicks, 1);

    const QLabel* encoding = bar.field("encoding")->label;
    EXPECT_EQ(bar.popupPosition(*bar.field("encoding")),
              encoding->mapToGlobal(QPoint(0, encoding->height() + 4)));
}

} // namespace
} // namespace vendrix::app
