#include "SearchTestSupport.h"

#include "app/features/search/SearchText.h"

#include <QLabel>

namespace vendrix::app::test {
namespace {

using FindControllerTest = SearchFixture;

TEST_F(FindControllerTest, FindNextAndPreviousWrapAndShowTheCountedPosition) {
    open(u"foo bar foo baz foo");
    find().setQuery("foo");
    countNow();
    EXPECT_EQ(find().countStatus(), "3 eşleşme");
    ASSERT_EQ(find().highlighter().findRanges.size(), 3u);

    view().setSelectedRange({0, 0});
    find().findNext();
    waitIdle();
    EXPECT_EQ(view().selectedRange(), (TextRange{0, 3}));
    EXPECT_EQ(find().status(), "1/3");
    find().findNext();
    waitIdle();
    find().findNext();
    waitIdle();
    EXPECT_EQ(view().selectedRange(), (TextRange{16, 3}));
    EXPECT_EQ(find().status(), "3/3");
    find().findNext(); // wraps around
    waitIdle();
    EXPECT_EQ(view().selectedRange(), (TextRange{0, 3}));
    find().findPrevious(); // wraps backwards
    waitIdle();
    EXPECT_EQ(view().selectedRange(), (TextRange{16, 3}));

    find().setWraps(false);
    find().findNext();
    waitIdle();
    EXPECT_EQ(find().status(), "Bulunamadı: foo");
    EXPECT_TRUE(find().statusIsError());
    EXPECT_EQ(view().selectedRange(), (TextRange{16, 3}));

    // After an edit the old count no longer speaks for the text: no position until recounted.
    view().setSelectedRange({0, 0});
    view().insertText(u"x");
    view().setSelectedRange({0, 0});
    find().findNext();
    waitIdle();
    EXPECT_EQ(view().selectedRange(), (TextRange{1, 3}));
    EXPECT_EQ(find().status(), "");
}

TEST_F(FindControllerTest, EmptyMatchesAdvanceInsteadOfSticking) {
    open(u"a\nb\nc");
    find().setQuery("^");
    find().setRegex(true);
    view().setSelectedRange({0, 0});
    std::vector<std::int64_t> seen;
    for (int i = 0; i < 4; ++i) {
        find().findNext();
        waitIdle();
        ASSERT_FALSE(find().statusIsError()) << find().status().toStdString();
        seen.push_back(view().selectedRange().location);
        EXPECT_EQ(view().selectedRange().length, 0);
    }
    EXPECT_EQ(seen, (std::vector<std::int64_t>{2, 4, 0, 2}));
}

TEST_F(FindControllerTest, TruncatedCountShowsPlus) {
    std::u16string text;
    for (int i = 0; i < 10'050; ++i)
        text += u"ab ";
    open(text);
    find().setQuery("ab");
    countNow();
    EXPECT_EQ(find().countStatus(), "10000+ eşleşme");
    view().setSelectedRange({3, 0});
    find().findNext();
    waitIdle();
    EXPECT_EQ(find().status(), "2/10000+");
}

TEST_F(FindControllerTest, PatternFailuresAreReportedAndNothingRuns) {
    open(u"abc");
    find().setQuery("");
    find().findNext();
    EXPECT_EQ(find().status(), "Aranacak metni yazın");
    EXPECT_FALSE(find().isBusy());

    find().setQuery("(");
    find().setRegex(true);
    find().replaceAll();
    EXPECT_EQ(find().status(), "Geçersiz düzenli ifade: (");
    EXPECT_EQ(statusMessage(), "Geçersiz düzenli ifade: (");
    EXPECT_FALSE(find().isBusy());
    find().setLiveCounting(true);
    find().startCount();
    EXPECT_EQ(find().countStatus(), "Geçersiz düzenli ifade: (");

    EditorDocument& locked = open(u"abc");
    locked.setReadOnly(true);
    find().setRegex(false);
    find().setQuery("b");
    find().replaceAll();
    EXPECT_EQ(find().status(), "Belge salt okunur");
    EXPECT_EQ(statusMessage(), "Belge salt okunur");
    EXPECT_FALSE(find().isBusy());
    EXPECT_EQ(text(locked), u"abc");
}

TEST_F(FindControllerTest, CatastrophicPatternTimesOutWithItsBudget) {
    std::u16string text(2'000, u'a');
    open(text);
    find().setTimeouts(1.0, BackgroundSearch::bulkTimeout);
    find().setQuery("(a|aa)+$x");
    find().setRegex(true);
    find().findNext();
    waitIdle();
    EXPECT_EQ(find().status(), "Zaman aşımı: düzenli ifade çok yavaş (1 sn sınırı)");
    EXPECT_EQ(view().selectedRange(), (TextRange{0, 0}));
}

TEST_F(FindControllerTest, ResultsOfAnEditedTextAreRefused) {
    EditorDocument& document = open(u"one two one two one");
    find().setQuery("one");
    find().setReplacement("1");
    find().replaceAll();
    // The user types before the planned replace-all comes back.
    view().setSelectedRange({0, 0});
    view().insertText(u"z");
    waitIdle();
    EXPECT_EQ(find().status(), FindController::staleMessage);
    EXPECT_EQ(text(document), u"zone two one two one");

    view().setSelectedRange({0, 0});
    find().findNext();
    view().insertText(u"y");
    waitIdle();
    EXPECT_EQ(find().status(), FindController::staleMessage);
    EXPECT_EQ(view().selectedRange(), (TextRange{1, 0}));
}

TEST_F(FindControllerTest, ReplaceUsesTheRangeThatWasSearched) {
    EditorDocument& document = open(u"foo bar foo");
    find().setQuery("foo");
    find().setReplacement("X");
    view().setSelectedRange({0, 3});
    find().replace();
    // The selection moves (no edit) while the work runs: the searched range is replaced.
    view().setSelectedRange({4, 3});
    waitIdle();
    EXPECT_EQ(text(document), u"X bar foo");
    EXPECT_EQ(document.undoStack()->undoText(), "Değiştir");
    // Then the next match is found.
    EXPECT_EQ(view().selectedRange(), (TextRange{6, 3}));

    // A selection that is not a match replaces nothing.
    view().setSelectedRange({2, 3});
    find().replace();
    waitIdle();
    EXPECT_EQ(text(document), u"X bar foo");
}

TEST_F(FindControllerTest, ReplaceAllIsOneUndoStepInBothPaths) {
    struct Case {
        const char* name;
        int matches;
    };
    for (const Case& c : {Case{"ranges", 5}, Case{"whole text", 2'500}, Case{"none", 0}}) {
        SCOPED_TRACE(c.name);
        std::u16string original;
        for (int i = 0; i < c.matches; ++i)
            original += u"cat, ";
        original += u"dog\n";
        EditorDocument& document = open(original);
        view().setSelectedRange({5, 3});
        std::vector<EditorEvent> changes;
        EditorObservation observation = controller->observe([&](const EditorEvent& event) {
            if (event.kind == EditorEvent::Kind::textChanged)
                changes.push_back(event);
        });
        find().setQuery("cat");
        find().setReplacement("lion");
        find().replaceAll();
        waitIdle();
        if (c.matches == 0) {
            observation.cancel();
            EXPECT_EQ(find().status(), "Bulunamadı");
            EXPECT_EQ(document.undoStack()->count(), 0);
            continue;
        }
        EXPECT_EQ(find().status(), QString("%1 eşleşme değiştirildi").arg(c.matches));
        std::u16string expected;
        for (int i = 0; i < c.matches; ++i)
            expected += u"lion, ";
        expected += u"dog\n";
        EXPECT_EQ(text(document), expected);
        EXPECT_EQ(document.undoStack()->count(), 1);
        EXPECT_EQ(document.undoStack()->undoText(), "Tümünü Değiştir");
        // One report of the step, from the first replacement to the end of the last.
        const auto grown = static_cast<std::int64_t>(expected.size() - original.size());
        ASSERT_EQ(changes.size(), 1u);
        EXPECT_EQ(changes[0].changeInLength, grown);
        EXPECT_EQ(changes[0].editedRange.location, 0);
        const auto lastEnd = static_cast<std::int64_t>(expected.rfind(u"lion") + 4);
        EXPECT_EQ(changes[0].editedRange.end(), c.matches > FindController::wholeTextThreshold
                                                    ? static_cast<std::int64_t>(expected.size())
                                                    : lastEnd);
        document.undo();
        EXPECT_EQ(text(document), original);
        EXPECT_EQ(document.lineIndex(), LineIndex(original));
        EXPECT_EQ(view().selectedRange(), (TextRange{5, 3})) << "the selection before the step";
        ASSERT_EQ(changes.size(), 2u);
        EXPECT_EQ(changes[1].changeInLength, -grown);
        document.redo();
        EXPECT_EQ(text(document), expected);
        EXPECT_EQ(document.lineIndex(), LineIndex(expected));
        observation.cancel();
    }
}

TEST_F(FindControllerTest, ReplaceAllCutShortByItsLimitSaysSo) {
    EditorDocument& document = open(u"a a a a a");
    find().setReplaceLimit(3);
    find().setQuery("a");
    find().setReplacement("b");
    find().replaceAll();
    waitIdle();
    EXPECT_EQ(text(document), u"b b b a a");
    EXPECT_TRUE(find().status().startsWith("3 eşleşme değiştirildi — sınıra ulaşıldı"));
    EXPECT_TRUE(find().statusIsError());
}

TEST_F(FindControllerTest, ReplaceInAllTabsCoversPendingTabsAndSkipsChangedOnes) {
    EditorDocument& first = open(u"red green red");
    std::vector<std::unique_ptr<EditorDocument>> restored;
    restored.push_back(std::make_unique<EditorDocument>(QUuid::createUuid()));
    restored.back()->setPending(EditorDocument::PendingContent::ofText(u"shown first"));
    restored.push_back(std::make_unique<EditorDocument>(QUuid::createUuid()));
    restored.back()->setPending(EditorDocument::PendingContent::ofText(u"red sky"));
    restored.back()->setUntitledNumber(7);
    EditorDocument* pending = restored.back().get();
    controller->restoreDocuments(std::move(restored), 0);
    ASSERT_FALSE(pending->isLoaded());
    EditorDocument& readOnly = open(u"red");
    readOnly.setReadOnly(true);

    find().setQuery("red");
    find().setReplacement("blue");
    find().replaceInAllTabs();
    waitIdle();
    EXPECT_EQ(text(first), u"blue green blue");
    EXPECT_EQ(text(*pending), u"blue sky");
    EXPECT_EQ(text(readOnly), u"red");
    EXPECT_EQ(find().status(), "2 sekmede 3 eşleşme değiştirildi");
    EXPECT_EQ(pending->undoStack()->undoText(), "Tümünü Değiştir");

    // A tab edited while the plans are made keeps its text; the others change.
    find().setQuery("blue");
    find().setReplacement("red");
    find().replaceInAllTabs();
    pending->applyEdit({0, 0}, u">");
    waitIdle();
    EXPECT_EQ(text(first), u"red green red");
    EXPECT_EQ(text(*pending), u">blue sky");
    EXPECT_EQ(find().status(),
              "1 sekmede 2 eşleşme değiştirildi; arama sırasında değişen sekmeler atlandı: "
              "“Yeni 7”");
    EXPECT_TRUE(find().statusIsError());
}

TEST_F(FindControllerTest, NewRequestSupersedesTheRunningOne) {
    open(u"abc abc");
    find().setQuery("abc");
    find().findNext();
    find().findNext();
    int idles = 0;
    QObject::connect(&find(), &FindController::idle, [&] { ++idles; });
    waitIdle();
    EXPECT_EQ(idles, 1);
    // Only the second request acted: from the caret at 0 it found the first match once.
    EXPECT_EQ(view().selectedRange(), (TextRange{0, 3}));
}

} // namespace
} // namespace vendrix::app::test
