#include "HighlightingTestSupport.h"


namespace vendrix::app::test {
namespace {

TEST_F(HighlightingFixture, KeywordsArePaintedInTheThemeColourOfTheEffectivePalette) {
    QFont font = view().editorFont();
    font.setPointSizeF(28);
    font.setBold(true);
    view().setEditorFont(font);
    open(u"return 1;\n", "javascript");
    QImage image = grab();
    const QRectF keyword = glyphRect(0).united(glyphRect(3));
    EXPECT_TRUE(hasPixelNear(image, keyword, SyntaxTheme::color(TokenKind::keyword, false)));
    EXPECT_FALSE(hasPixelNear(image, keyword, SyntaxTheme::color(TokenKind::keyword, true)));

    QApplication::setPalette(darkPalette());
    settle();
    EXPECT_TRUE(feature->usesDarkColors());
    image = grab();
    EXPECT_TRUE(hasPixelNear(image, keyword, SyntaxTheme::color(TokenKind::keyword, true)));
    EXPECT_FALSE(hasPixelNear(image, keyword, SyntaxTheme::color(TokenKind::keyword, false)));
}

TEST_F(HighlightingFixture, CurrentLineBandIsPaintedAcrossTheRowAndCanBeSwitchedOff) {
    EditorDocument& document = open(u"a\nb\nc\n", "javascript");
    view().setSelectedRange({2, 0});
    settle();
    const QRectF row = view().rectForOffset(2);
    const QRectF other = view().rectForOffset(4);
    const int x = view().viewport()->width() - 10;
    QImage image = grab();
    const QColor band = image.pixelColor(x, static_cast<int>(row.center().y()));
    const QColor plain = image.pixelColor(x, static_cast<int>(other.center().y()));
    EXPECT_NE(band, plain);
    EXPECT_LT(band.lightness(), plain.lightness()); // a light palette darkens the band

    menuItem(MenuID::view, QStringLiteral("Geçerli Satırı Vurgula"))->trigger();
    settle();
    image = grab();
    EXPECT_EQ(image.pixelColor(x, static_cast<int>(row.center().y())), plain);
    (void)document;
}

TEST_F(HighlightingFixture, BracketPairAndMismatchArePaintedInTheirColours) {
    QFont font = view().editorFont();
    font.setPointSizeF(24);
    view().setEditorFont(font);
    menuItem(MenuID::view, QStringLiteral("Geçerli Satırı Vurgula"))->trigger();
    open(u"f(x)", "javascript");
    view().setSelectedRange({2, 0});
    settle();
    const QColor base = view().palette().color(QPalette::Base);
    auto blend = [&](QColor color) {
        const double a = color.alphaF();
        return QColor::fromRgbF(color.redF() * a + base.redF() * (1 - a),
                                color.greenF() * a + base.greenF() * (1 - a),
                                color.blueF() * a + base.blueF() * (1 - a));
    };
    QImage image = grab();
    const QColor match = blend(SyntaxTheme::bracketMatch(false));
    EXPECT_TRUE(hasPixelNear(image, glyphRect(1), match, 12));
    EXPECT_TRUE(hasPixelNear(image, glyphRect(3), match, 12));
    EXPECT_FALSE(hasPixelNear(image, glyphRect(2).adjusted(2, 2, -2, -2), match, 12));

    view().setSelectedRange({0, 4});
    view().insertText(u"f(x");
    view().setSelectedRange({2, 0});
    settle();
    image = grab();
    EXPECT_TRUE(hasPixelNear(image, glyphRect(1), blend(SyntaxTheme::bracketMismatch(false)), 12));
    EXPECT_FALSE(hasPixelNear(image, glyphRect(1), match, 12));
}

} // namespace
} // namespace vendrix::app::test
