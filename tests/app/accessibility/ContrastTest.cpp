// Text stays readable (WCAG AA, 4.5:1) over every band the editor lays under it, in the light
// and the dark theme: measured on the painted view, so the colours, their transparency and
// the order they are drawn in all count.
#include "../view/ViewTestSupport.h"
#include "app/settings/ViewOptionsController.h"
#include "app/features/highlighting/SyntaxTheme.h"
#include "app/features/search/MatchHighlighter.h"

#include <QStyle>
#include <QStyleFactory>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace vendrix::app::test {
namespace {

double channel(int value) {
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& color) {
    return 0.2126 * channel(color.red()) + 0.7152 * channel(color.green()) +
           0.0722 * channel(color.blue());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

TEST(ContrastTest, TextKeepsAAContrastOverEveryBandInBothThemes) {
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    struct Theme {
        const char* name;
        QPalette palette;
        bool dark;
    };
    const Theme themes[] = {{"light", fusion->standardPalette(), false},
                            {"dark", ViewOptionsController::darkThemePalette(), true}};
    enum Band { currentLine = 1, selection = 2, findMatch = 4, selectedWord = 8 };
    struct Case {
        const char* name;
        int bands;
    };
    const Case cases[] = {
        {"current line", currentLine},
        {"selection", selection},
        {"find match", findMatch},
        {"selected word", selectedWord},
        {"selection on the current line", currentLine | selection},
        {"find match on the current line", currentLine | findMatch},
        {"selected word on the current line", currentLine | selectedWord},
    };
    // Spaces under the bands: the sampled pixels are background only.
    const std::u16string spaces(40, u' ');
    ViewFixture fixture(u"x" + spaces + u"\nx");
    EditorTextView& view = *fixture.view;
    const TextRange marked{1, 40};
    for (const Theme& theme : themes) {
        view.setPalette(theme.palette);
        const QColor text = theme.palette.color(QPalette::Text);
        for (const Case& c : cases) {
            view.clearBackgroundLayer(BackgroundLayer::currentLine);
            view.clearBackgroundLayer(BackgroundLayer::findMatches);
            view.clearBackgroundLayer(BackgroundLayer::selectedWord);
            view.setSelection(marked.end() + 1, marked.end() + 1);
            if (c.bands & currentLine)
                view.setBackgroundLayer(BackgroundLayer::currentLine,
                                        {{{0, 41}, SyntaxTheme::currentLine(theme.dark)}}, true);
            if (c.bands & findMatch)
                view.setBackgroundLayer(BackgroundLayer::findMatches,
                                        {{marked, MatchHighlighter::findColor()}});
            if (c.bands & selectedWord)
                view.setBackgroundLayer(BackgroundLayer::selectedWord,
                                        {{marked, MatchHighlighter::wordColor()}});
            if (c.bands & selection)
                view.setSelectedRange(marked);
            ASSERT_TRUE(view.hasFocus()); // the focused selection is the stronger one
            const QImage image = view.viewport()->grab().toImage();
            const QRectF at = view.rectForOffset(20);
            const QColor background = image.pixelColor(
                QPoint(static_cast<int>(at.left() + 2), static_cast<int>(at.center().y())));
            EXPECT_GE(contrast(text, background), 4.5)
                << theme.name << ", " << c.name << ": " << background.name().toStdString();
        }
    }
}

} // namespace vendrix::app::test
