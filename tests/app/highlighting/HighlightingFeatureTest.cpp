#include "HighlightingTestSupport.h"

#include "core/syntax/TokenKind.h"

#include <QLabel>

namespace vendrix::app::test {
namespace {

using Status = HighlightingFeature::ColoringStatus;

std::u16string numberedLines(int count, std::u16string_view line) {
    std::u16string text;
    for (int i = 0; i < count; ++i) {
        text += line;
        text += u'\n';
    }
    return text;
}

TEST_F(HighlightingFixture, PlainTextHasNoEngineUntilALanguageIsChosenFromTheMenu) {
    EditorDocument& document = open(u"var x = 1;\n");
    EXPECT_EQ(feature->coloringStatus(document), Status::noLanguage);
    EXPECT_EQ(feature->engine(document), nullptr);
    EXPECT_TRUE(syntaxRuns({0, document.length()}).empty());

    QAction* javaScript = menuItem(MenuID::language, QStringLiteral("JavaScript"));
    ASSERT_NE(javaScript, nullptr);
    javaScript->trigger();
    settle();
    EXPECT_EQ(document.languageID(), std::optional<std::string>("javascript"));
    ASSERT_NE(feature->engine(document), nullptr);
    EXPECT_EQ(syntaxColorAt(0), SyntaxTheme::color(TokenKind::keyword, false));

    menuItem(MenuID::language, QStringLiteral("Düz Metin"))->trigger();
    settle();
    EXPECT_EQ(feature->engine(document), nullptr);
    EXPECT_TRUE(syntaxRuns({0, document.length()}).empty());
}

TEST_F(HighlightingFixture, LanguageIsDetectedOnOpeningAndAgainAfterARename) {
    const QString jsonPath = folder.filePath(QStringLiteral("data.json"));
    QFile file(jsonPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"a\": 1}\n");
    file.close();
    controller->openFiles({jsonPath});
    settle();
    EditorDocument& document = active();
    EXPECT_EQ(document.languageID(), std::optional<std::string>("json"));

    ASSERT_TRUE(controller->saving().save(document, folder.filePath(QStringLiteral("data.py"))));
    settle();
    EXPECT_EQ(document.languageID(), std::optional<std::string>("python"));

    // A language chosen by hand survives a rename.
    feature->chooseLanguage("sql");
    ASSERT_TRUE(controller->saving().save(document, folder.filePath(QStringLiteral("data.css"))));
    settle();
    EXPECT_EQ(document.languageID(), std::optional<std::string>("sql"));
    menuItem(MenuID::language, QStringLiteral("Otomatik Algıla"))->trigger();
    EXPECT_EQ(document.languageID(), std::optional<std::string>("css"));
}

TEST_F(HighlightingFixture, SwitchingColoringOffClearsColoursAndOnColoursAgain) {
    EditorDocument& document = open(u"function f() { return 42; }\n", "javascript");
    ASSERT_TRUE(syntaxColorAt(0).has_value());

    QAction* coloring = menuItem(MenuID::view, QStringLiteral("Sözdizimi Renklendirme"));
    ASSERT_NE(coloring, nullptr);
    coloring->trigger();
    settle();
    EXPECT_FALSE(feature->coloringEnabled());
    EXPECT_EQ(feature->engineCount(), 0u);
    EXPECT_TRUE(syntaxRuns({0, document.length()}).empty());

    coloring->trigger();
    settle();
    EXPECT_TRUE(feature->coloringEnabled());
    EXPECT_EQ(syntaxColorAt(0), SyntaxTheme::color(TokenKind::keyword, false));
}

TEST_F(HighlightingFixture, ScrollingInsideTheColouredLinesTokenizesNothing) {
    EditorDocument& document =
        open(numberedLines(400, u"let value = 'text'; // note"), "javascript");
    HighlightEngine* engine = feature->engine(document);
    ASSERT_NE(engine, nullptr);
    ASSERT_TRUE(feature->colored().has_value());
    const auto coverage = *feature->colored();
    EXPECT_EQ(coverage.firstLine, 0);

    // Two lines down tokenizes only the two lines that come into reach; back up, nothing.
    const qreal lineHeight = view().rectForOffset(0).height();
    std::int64_t scanned = engine->linesScanned();
    view().setScrollOrigin({0, lineHeight * 2});
    settle();
    EXPECT_LE(engine->linesScanned(), scanned + 3);
    EXPECT_EQ(feature->colored()->firstLine, 0);
    EXPECT_GE(feature->colored()->lastLine, coverage.lastLine + 2);
    scanned = engine->linesScanned();
    view().setScrollOrigin({0, lineHeight});
    settle();
    view().setScrollOrigin({0, 0});
    settle();
    feature->runColoringPass();
    EXPECT_EQ(engine->linesScanned(), scanned);

    // Far down, the new lines are tokenized and coloured.
    view().setScrollOrigin({0, lineHeight * 200});
    settle();
    EXPECT_GT(engine->linesScanned(), scanned);
    const std::int64_t line210 = document.lineIndex().lineStart(210);
    EXPECT_EQ(syntaxColorAt(line210), SyntaxTheme::color(TokenKind::keyword, false));
    // Colours far from the visible lines are not kept (they would pile up, and go stale).
    EXPECT_FALSE(syntaxColorAt(0).has_value());
}

TEST_F(HighlightingFixture, EditsRecolourOnlyAroundTheEdit) {
    EditorDocument& document = open(numberedLines(2000, u"var a = 1;"), "javascript");
    view().setSelectedRange({0, 0});
    view().insertText(u"/*");
    settle();
    // The open comment now runs through the visible lines.
    const std::int64_t line5 = document.lineIndex().lineStart(5);
    EXPECT_EQ(syntaxColorAt(line5), SyntaxTheme::color(TokenKind::comment, false));
    EXPECT_FALSE(feature->samples().empty());
    view().setSelectedRange({0, 2});
    view().insertText(u"");
    settle();
    EXPECT_EQ(syntaxColorAt(line5), SyntaxTheme::color(TokenKind::keyword, false));
}

TEST_F(HighlightingFixture, BracketsMatchMismatchAndSkipStrings) {
    EditorDocument& document = open(u"f(x)", "javascript");
    view().setSelectedRange({2, 0});
    settle();
    ASSERT_TRUE(feature->bracketMatch().has_value());
    EXPECT_EQ(feature->bracketMatch()->bracket, 1);
    EXPECT_EQ(feature->bracketMatch()->partner, std::optional<std::int64_t>(3));
    auto ranges = view().temporaryAttributes().background(BackgroundLayer::bracketPair).ranges;
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0].color, SyntaxTheme::bracketMatch(false));

    view().setSelectedRange({0, document.length()});
    view().insertText(u"f(x");
    view().setSelectedRange({2, 0});
    settle();
    ASSERT_TRUE(feature->bracketMatch().has_value());
    EXPECT_EQ(feature->bracketMatch()->partner, std::nullopt);
    ranges = view().temporaryAttributes().background(BackgroundLayer::bracketPair).ranges;
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0].color, SyntaxTheme::bracketMismatch(false));

    view().setSelectedRange({0, document.length()});
    view().insertText(u"f(\")\")");
    view().setSelectedRange({2, 0});
    settle();
    ASSERT_TRUE(feature->bracketMatch().has_value());
    EXPECT_EQ(feature->bracketMatch()->partner, std::optional<std::int64_t>(5));

    // A selection clears the pair.
    view().setSelectedRange({0, 2});
    settle();
    EXPECT_FALSE(feature->bracketMatch().has_value());
    EXPECT_TRUE(
        view().temporaryAttributes().background(BackgroundLayer::bracketPair).ranges.empty());
}

TEST_F(HighlightingFixture, CommentToggleAppliesOneUndoableEditOrSaysThereIsNone) {
    EditorDocument& plain = open(u"hello\n");
    QAction* toggle = menuItem(MenuID::edit, HighlightingFeature::commentActionName);
    ASSERT_NE(toggle, nullptr);
    EXPECT_EQ(toggle->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Slash));
    toggle->trigger();
    EXPECT_EQ(controller->statusBar()->message(), HighlightingFeature::noCommentMessage);
    EXPECT_EQ(plain.storage()->string(), u"hello\n");

    EditorDocument& python = open(u"a\n\n  b", "python");
    view().setSelectedRange({0, python.length()});
    toggle->trigger();
    EXPECT_EQ(python.storage()->string(), u"# a\n\n#   b");
    EXPECT_EQ(view().selectedRange(), (TextRange{0, python.length()}));
    python.undo();
    EXPECT_EQ(python.storage()->string(), u"a\n\n  b");

    EditorDocument& readOnly = open(u"x = 1", "python");
    readOnly.setReadOnly(true);
    controller->statusBar()->showMessage(QString(), 1);
    toggle->trigger();
    EXPECT_EQ(controller->statusBar()->message(), HighlightingFeature::noCommentMessage);
    EXPECT_EQ(readOnly.storage()->string(), u"x = 1");
}

TEST_F(HighlightingFixture, TextOverTheLimitStaysUncolouredAndSaysSo) {
    // Lines of 100 units, one unit over the limit in all.
    std::u16string text(static_cast<size_t>(HighlightingFeature::coloringLimit) + 1, u'x');
    for (size_t i = 99; i < text.size(); i += 100)
        text[i] = u'\n';
    text.replace(0, 4, u"var ");
    EditorDocument& large = open(std::move(text), "javascript");
    EXPECT_EQ(feature->coloringStatus(large), Status::tooLarge);
    EXPECT_EQ(feature->engine(large), nullptr);
    EXPECT_TRUE(syntaxRuns({0, 100}).empty());
    ASSERT_TRUE(feature->statusField() && feature->statusField()->label);
    EXPECT_FALSE(feature->statusField()->label->isHidden());
    EXPECT_EQ(feature->statusField()->label->text(), HighlightingFeature::statusText);
    EXPECT_EQ(feature->statusField()->label->toolTip(), HighlightingFeature::statusToolTip);

    // Back under the limit, colouring resumes.
    view().setSelectedRange({10, 2});
    view().insertText(u"");
    settle();
    EXPECT_EQ(feature->coloringStatus(large), Status::color);
    EXPECT_TRUE(feature->statusField()->label->isHidden());
    EXPECT_EQ(syntaxColorAt(0), SyntaxTheme::color(TokenKind::keyword, false));
}

TEST_F(HighlightingFixture, ClosingADocumentDropsItsEngineAndANewOneStartsAfresh) {
    EditorDocument& first = open(u"var a;", "javascript");
    ASSERT_NE(feature->engine(first), nullptr);
    const QUuid firstID = first.id();
    first.setDirty(false);
    const std::size_t before = feature->engineCount();
    ASSERT_TRUE(controller->closeDocument(first));
    settle();
    EXPECT_EQ(feature->engineCount(), before - 1);

    // Whatever address the next document gets, it has no engine until it has a language,
    // and then one of its own.
    EditorDocument& second = open(u"x = 1");
    EXPECT_NE(second.id(), firstID);
    EXPECT_EQ(feature->engine(second), nullptr);
    controller->setLanguage("python", second);
    settle();
    ASSERT_NE(feature->engine(second), nullptr);
    EXPECT_EQ(feature->engine(second)->languageID(), "python");
}

TEST_F(HighlightingFixture, JumpingToTheEndOfALargeFileShowsAtOnceAndColoursLater) {
    // About 43 MB of source: far more than one pass computes ahead.
    EditorDocument& document =
        open(numberedLines(1'000'000, u"const value = compute(42, 'text'); // note"), "javascript");
    HighlightEngine* engine = feature->engine(document);
    ASSERT_NE(engine, nullptr);
    const std::int64_t scannedAtTop = engine->linesScanned();

    view().setSelectedRange({document.length(), 0});
    view().scrollRangeToVisible({document.length(), 0});
    QApplication::processEvents();
    QApplication::processEvents();
    // The pass did not compute everything before returning: the slices are still running.
    EXPECT_TRUE(feature->isCatchingUp());
    EXPECT_LT(engine->validLineCount(), 999'000);
    const std::int64_t lastLine = document.lineIndex().lineCount() - 2;
    const std::int64_t lastStart = document.lineIndex().lineStart(lastLine);
    EXPECT_FALSE(syntaxColorAt(lastStart).has_value());

    settle();
    EXPECT_FALSE(feature->isCatchingUp());
    EXPECT_GT(engine->linesScanned(), scannedAtTop + 990'000);
    EXPECT_EQ(syntaxColorAt(lastStart), SyntaxTheme::color(TokenKind::keyword, false));
}

} // namespace
} // namespace vendrix::app::test
