#include "SearchTestSupport.h"

#include "app/features/search/GoToLineBar.h"
#include "app/features/search/SearchResultsView.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTest>

namespace vendrix::app::test {
namespace {

using SearchFeatureTest = SearchFixture;

TEST_F(SearchFeatureTest, SearchMenuHoldsEveryItemWithItsLinuxKeys) {
    struct Row {
        const char* title;
        QList<QKeySequence> keys;
    };
    const std::vector<Row> rows{
        {"Bul…", {QKeySequence("Ctrl+F")}},
        {"Bul ve Değiştir…", {QKeySequence("Ctrl+H"), QKeySequence("Ctrl+Alt+F")}},
        {"Sonrakini Bul", {QKeySequence("F3"), QKeySequence("Ctrl+G")}},
        {"Öncekini Bul", {QKeySequence("Shift+F3"), QKeySequence("Ctrl+Shift+G")}},
        {"Seçimi Aramada Kullan", {QKeySequence("Ctrl+E")}},
        {nullptr, {}},
        {"Değiştir", {}},
        {"Tümünü Değiştir", {}},
        {nullptr, {}},
        {"Tüm Sekmelerde Bul", {QKeySequence("Ctrl+Shift+F")}},
        {"Tüm Sekmelerde Değiştir", {}},
        {nullptr, {}},
        {"Satıra Git…", {QKeySequence("Ctrl+L")}},
        {"Seçili Kelimeyi Vurgula", {}},
    };
    const QList<QAction*> actions = builder->menu(MenuID::search)->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].title) {
            EXPECT_TRUE(actions[i]->isSeparator()) << i;
            continue;
        }
        EXPECT_EQ(actions[i]->text(), QString::fromUtf8(rows[i].title));
        EXPECT_EQ(actions[i]->shortcuts(), rows[i].keys) << rows[i].title;
    }

    // Replace items need a query and a writable tab; the all-tabs replace only a query.
    auto enabled = [this](const char* title) {
        return MenuActionTarget::of(item(MenuID::search, QString::fromUtf8(title)))->enabledNow();
    };
    EXPECT_FALSE(enabled("Değiştir"));
    EXPECT_FALSE(enabled("Tüm Sekmelerde Değiştir"));
    find().setQuery("x");
    EXPECT_TRUE(enabled("Tümünü Değiştir"));
    active().setReadOnly(true);
    EXPECT_FALSE(enabled("Değiştir"));
    EXPECT_TRUE(enabled("Tüm Sekmelerde Değiştir"));
    EXPECT_TRUE(enabled("Satıra Git…"));

    // The word highlight item follows its setting.
    QAction* word = item(MenuID::search, "Seçili Kelimeyi Vurgula");
    MenuActionTarget::of(word)->validate(word);
    EXPECT_TRUE(word->isChecked());
    choose(MenuID::search, "Seçili Kelimeyi Vurgula");
    EXPECT_FALSE(feature->highlightsSelectedWord());
    EXPECT_FALSE(word->isChecked());
}

TEST_F(SearchFeatureTest, FindBarPrefillsFromTheSelection) {
    struct Case {
        const char* name;
        std::u16string text;
        TextRange selection;
        QString expected;
    };
    const std::u16string long501(501, u'w');
    const std::vector<Case> cases{
        {"short selection", u"alpha beta", {6, 4}, "beta"},
        {"line feed keeps the old query", u"alpha\nbeta", {3, 4}, "old"},
        {"caret keeps the old query", u"alpha", {2, 0}, "old"},
        {"501 units keep the old query", long501, {0, 501}, "old"},
        {"500 units", long501, {1, 500}, QString(500, 'w')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open(c.text);
        find().setQuery("old");
        view().setSelectedRange(c.selection);
        ASSERT_TRUE(choose(MenuID::search, "Bul…"));
        EXPECT_EQ(find().query(), c.expected);
        EXPECT_EQ(feature->findBar()->findField->text(), c.expected);
        EXPECT_TRUE(feature->isFindBarVisible);
        EXPECT_FALSE(feature->findBar()->isReplaceVisible());
        EXPECT_TRUE(find().isLiveCounting());
    }
    ASSERT_TRUE(choose(MenuID::search, "Bul ve Değiştir…"));
    EXPECT_TRUE(feature->findBar()->isReplaceVisible());

    // "Seçimi Aramada Kullan" has no length limit and keeps line feeds.
    open(u"one\ntwo");
    view().setSelectedRange({0, 7});
    ASSERT_TRUE(choose(MenuID::search, "Seçimi Aramada Kullan"));
    EXPECT_EQ(find().query(), "one\ntwo");
    EXPECT_EQ(feature->findBar()->findField->text(), "one\ntwo");
}

TEST_F(SearchFeatureTest, FindBarKeysAndCompactLabels) {
    controller->show();
    open(u"ab ab ab");
    view().setSelectedRange({0, 0});
    ASSERT_TRUE(choose(MenuID::search, "Bul ve Değiştir…"));
    FindBar* bar = feature->findBar();
    QTest::keyClicks(bar->findField, "ab");
    EXPECT_EQ(find().query(), "ab");
    QTest::keyClick(bar->findField, Qt::Key_Return);
    waitIdle();
    EXPECT_EQ(view().selectedRange(), (TextRange{0, 2}));
    QTest::keyClick(bar->findField, Qt::Key_Return);
    waitIdle();
    EXPECT_EQ(view().selectedRange(), (TextRange{3, 2}));
    QTest::keyClick(bar->findField, Qt::Key_Return, Qt::ShiftModifier);
    waitIdle();
    EXPECT_EQ(view().selectedRange(), (TextRange{0, 2}));

    QTest::keyClick(bar->findField, Qt::Key_Tab);
    EXPECT_TRUE(bar->replaceField->hasFocus());
    QTest::keyClicks(bar->replaceField, "Z");
    QTest::keyClick(bar->replaceField, Qt::Key_Return);
    waitIdle();
    EXPECT_EQ(text(active()), u"Z ab ab");

    // The case box reads "Aa" on a narrow bar and changes the option.
    bar->resize(300, bar->height());
    EXPECT_TRUE(bar->isCompact);
    EXPECT_EQ(bar->caseBox->text(), "Aa");
    bar->resize(1200, bar->height());
    EXPECT_EQ(bar->caseBox->text(), "Büyük/küçük harf");
    bar->caseBox->click();
    EXPECT_TRUE(find().matchCase());

    QTest::keyClick(bar->findField, Qt::Key_Escape);
    EXPECT_FALSE(feature->isFindBarVisible);
    EXPECT_FALSE(find().isLiveCounting());
    EXPECT_TRUE(find().highlighter().findRanges.empty());
}

TEST_F(SearchFeatureTest, RegexReplaceHintsAtBackslashGroupsAndTheStatusIsPlainText) {
    controller->show();
    open(u"ab ab <b>x</b>");
    view().setSelectedRange({0, 0});
    ASSERT_TRUE(choose(MenuID::search, "Bul ve Değiştir…"));
    FindBar* bar = feature->findBar();
    EXPECT_TRUE(bar->replaceField->placeholderText().contains("$1, $2 …"));

    // Typed as the user does: the hint is up before anything is replaced.
    QTest::mouseClick(bar->regexBox, Qt::LeftButton);
    ASSERT_TRUE(find().isRegex());
    QTest::keyClicks(bar->findField, "(a)b");
    QTest::keyClicks(bar->replaceField, "\\1-");
    EXPECT_TRUE(bar->replaceHint->isVisible());
    EXPECT_EQ(bar->replaceHint->text(), FindBar::backslashGroupHint);
    EXPECT_EQ(text(active()), u"ab ab <b>x</b>");
    // The template is expanded as before: the backslash escapes the digit.
    QTest::keyClick(bar->findField, Qt::Key_Return);
    waitIdle();
    QTest::keyClick(bar->replaceField, Qt::Key_Return);
    waitIdle();
    EXPECT_EQ(text(active()), u"1- ab <b>x</b>");

    struct Case {
        const char* replacement;
        bool regex;
        bool hint;
    } cases[] = {
        {"$1-", true, false}, {"\\\\1", true, false}, {"x\\9", true, true},
        {"\\0", true, false}, {"\\1", false, false},  {"\\n\\2", true, true},
    };
    for (const Case& c : cases) {
        if (find().isRegex() != c.regex)
            QTest::mouseClick(bar->regexBox, Qt::LeftButton);
        bar->replaceField->selectAll();
        QTest::keyClicks(bar->replaceField, c.replacement);
        EXPECT_EQ(bar->replaceHint->isVisible(), c.hint) << c.replacement;
    }
    // Hiding the replace row hides its hint.
    ASSERT_TRUE(choose(MenuID::search, "Bul…"));
    EXPECT_FALSE(bar->replaceHint->isVisible());

    // A query that looks like markup is shown as typed.
    bar->findField->selectAll();
    QTest::keyClicks(bar->findField, "<b>y</b>");
    QTest::keyClick(bar->findField, Qt::Key_Return);
    waitIdle();
    EXPECT_EQ(bar->statusLabel->text(), "Bulunamadı: <b>y</b>");
    EXPECT_EQ(bar->statusLabel->textFormat(), Qt::PlainText);
}

TEST_F(SearchFeatureTest, FindCommandsWithoutQueryShowTheBar) {
    open(u"x");
    find().setQuery({});
    ASSERT_TRUE(choose(MenuID::search, "Sonrakini Bul"));
    EXPECT_TRUE(feature->isFindBarVisible);
    EXPECT_FALSE(find().isBusy());
}

TEST_F(SearchFeatureTest, GoToLineBar) {
    EditorDocument& document = open(u"first\nsecond line\nthird");
    view().setSelectedRange({8, 0});
    ASSERT_TRUE(choose(MenuID::search, "Satıra Git…"));
    GoToLineBar* bar = feature->goToLineBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(feature->isGoToLineVisible);
    EXPECT_EQ(bar->hint->text(), "1–3 (satır[:sütun])");
    EXPECT_EQ(bar->field->text(), "2");

    struct Case {
        const char* input;
        bool valid;
        std::int64_t caret;
        const char* message;
    };
    for (const Case& c : {Case{"abc", false, 0, "Geçersiz satır numarası"},
                          Case{"0", false, 0, "Geçersiz satır numarası"},
                          Case{"2:3", true, 8, "Satır 2"}, Case{"3", true, 18, "Satır 3"},
                          Case{"99", true, 18, "Satır 3"}, Case{"1:99", true, 5, "Satır 1"}}) {
        SCOPED_TRACE(c.input);
        choose(MenuID::search, "Satıra Git…");
        view().setSelectedRange({0, 0});
        bar->field->setText(c.input);
        QTest::keyClick(bar->field, Qt::Key_Return);
        EXPECT_EQ(statusMessage(), QString::fromUtf8(c.message));
        if (c.valid) {
            EXPECT_EQ(view().selectedRange(), (TextRange{c.caret, 0}));
        } else {
            EXPECT_EQ(bar->hint->text(), "Geçersiz satır numarası");
            EXPECT_EQ(view().selectedRange(), (TextRange{0, 0}));
        }
    }
    EXPECT_EQ(document.length(), 23);
    QTest::keyClick(bar->field, Qt::Key_Escape);
    EXPECT_FALSE(feature->isGoToLineVisible);
}

TEST_F(SearchFeatureTest, FindStatusAndGoToLineRangeFollowTheActiveTabAndItsEdits) {
    EditorDocument& first = open(u"foo bar foo baz foo");
    std::u16string fifteen;
    for (int i = 1; i < 15; ++i)
        fifteen += i == 4 || i == 9 ? u"foo\n" : u"line\n";
    EditorDocument& second = open(fifteen + u"end");
    controller->activate(first);
    view().setSelectedRange({0, 0});
    ASSERT_TRUE(choose(MenuID::search, "Bul…"));
    FindBar* bar = feature->findBar();
    QTest::keyClicks(bar->findField, "foo");
    ASSERT_TRUE(waitFor([this] { return find().countStatus() == "3 eşleşme"; }));
    QTest::keyClick(bar->findField, Qt::Key_Return);
    waitIdle();
    EXPECT_EQ(bar->statusLabel->text(), "1/3");
    QTest::keyClick(bar->findField, Qt::Key_Return);
    waitIdle();
    EXPECT_EQ(bar->statusLabel->text(), "2/3");
    ASSERT_TRUE(choose(MenuID::search, "Satıra Git…"));
    GoToLineBar* goTo = feature->goToLineBar();
    EXPECT_EQ(goTo->hint->text(), "1–1 (satır[:sütun])");

    // Another tab: nothing of the first one's position or range stays.
    controller->activate(second);
    EXPECT_EQ(goTo->hint->text(), "1–15 (satır[:sütun])");
    EXPECT_EQ(bar->statusLabel->text(), "");
    ASSERT_TRUE(waitFor([this] { return find().countStatus() == "2 eşleşme"; }));
    EXPECT_EQ(bar->statusLabel->text(), ""); // its caret is on no match
    view().setSelectedRange({0, 0});
    QTest::keyClick(&view(), Qt::Key_Return);
    EXPECT_EQ(goTo->hint->text(), "1–16 (satır[:sütun])");
    // Not found here: said of this tab only.
    find().setWraps(false);
    view().setSelectedRange({second.length(), 0});
    QTest::keyClick(bar->findField, Qt::Key_Return);
    waitIdle();
    EXPECT_EQ(bar->statusLabel->text(), "Bulunamadı: foo");

    // Back to the first tab: its match is selected again and its position returns with its
    // count; an edit elsewhere renumbers it once recounted.
    controller->activate(first);
    EXPECT_EQ(goTo->hint->text(), "1–1 (satır[:sütun])");
    EXPECT_EQ(bar->statusLabel->text(), "");
    ASSERT_TRUE(waitFor([&] { return bar->statusLabel->text() == "2/3"; }));
    ASSERT_TRUE(controller->applyEdits(first, {{0, 0}}, {u"foo "}, "t"));
    EXPECT_EQ(bar->statusLabel->text(), "");
    ASSERT_TRUE(waitFor([&] { return bar->statusLabel->text() == "3/4"; }));
    // A selection moved off the match leaves no position behind.
    view().setSelectedRange({1, 0});
    EXPECT_EQ(bar->statusLabel->text(), "");
}

TEST_F(SearchFeatureTest, FindInAllTabsListsHitsAndJumps) {
    const QString path = write("a.txt", "zero\none\nlet x = 1\n");
    controller->openFiles({path});
    EditorDocument* file = controller->activeDocument();
    ASSERT_TRUE(file && file->fileURL());
    // The file took the place of the untouched empty tab; the new tab is "Yeni 1".
    EditorDocument& untitled = open(u"let y\nlet x = 1");
    ASSERT_EQ(untitled.untitledNumber(), 1);

    find().setQuery("let x");
    ASSERT_TRUE(choose(MenuID::search, "Tüm Sekmelerde Bul"));
    waitIdle();
    EXPECT_EQ(find().status(), "2 sonuç (2 sekme)");
    SearchResultsView* results = feature->resultsView();
    ASSERT_NE(results, nullptr);
    EXPECT_TRUE(feature->isResultsVisible);
    EXPECT_EQ(results->header->text(), "2 sonuç (2 sekme)");
    ASSERT_EQ(results->model()->rowCount(), 2);
    EXPECT_EQ(results->model()->rowText(0), "a.txt : 3  let x = 1");
    EXPECT_EQ(results->model()->rowText(1), "Yeni 1 : 2  let x = 1");

    // Clicking the first row shows the file's tab with the hit selected.
    EXPECT_EQ(controller->activeDocument(), &untitled);
    const QModelIndex first = results->model()->index(0);
    QTest::mouseClick(results->table->viewport(), Qt::LeftButton, {},
                      results->table->visualRect(first).center());
    EXPECT_EQ(controller->activeDocument(), file);
    EXPECT_EQ(view().selectedRange(), (TextRange{9, 5}));

    // A row of a tab closed meanwhile does nothing.
    untitled.setDirty(false); // closes without asking
    ASSERT_TRUE(controller->closeDocument(untitled));
    controller->activate(*file);
    results->jumpTo(1);
    EXPECT_EQ(controller->activeDocument(), file);
    EXPECT_EQ(view().selectedRange(), (TextRange{9, 5}));
}

TEST_F(SearchFeatureTest, FindInAllTabsTruncatesAtTenThousand) {
    std::u16string text;
    for (int i = 0; i < 6'000; ++i)
        text += u"hit\n";
    open(text);
    open(text);
    find().setQuery("hit");
    find().findInAllTabs();
    waitIdle();
    EXPECT_EQ(find().status(), "10000+ sonuç (2 sekme) — ilk 10000 gösteriliyor");
    ASSERT_EQ(feature->resultsView()->model()->rowCount(), 10'000);
    feature->resultsView()->table->scrollToBottom();
    EXPECT_EQ(feature->resultsView()->model()->rowText(9'999), "Yeni 3 : 4000  hit");
}

TEST_F(SearchFeatureTest, SelectedWordHighlight) {
    open(u"foo bar foo baz foo\nsolo");
    view().setSelectedRange({0, 3});
    feature->updateWordHighlight();
    EXPECT_EQ(find().highlighter().wordRanges, (std::vector<TextRange>{{0, 3}, {8, 3}, {16, 3}}));
    EXPECT_EQ(view().temporaryAttributes().background(BackgroundLayer::selectedWord).ranges.size(),
              3u);
    view().setSelectedRange({20, 4}); // "solo" stands alone
    feature->updateWordHighlight();
    EXPECT_TRUE(find().highlighter().wordRanges.empty());

    view().setSelectedRange({0, 3});
    ASSERT_TRUE(waitFor([this] { return find().highlighter().wordRanges.size() == 3; }));
    choose(MenuID::search, "Seçili Kelimeyi Vurgula");
    EXPECT_TRUE(find().highlighter().wordRanges.empty());
}

} // namespace
} // namespace vendrix::app::test
