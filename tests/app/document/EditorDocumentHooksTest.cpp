#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"

#include <QUndoStack>

#include <gtest/gtest.h>

#include <set>

namespace vendrix::app {
namespace {

using Options = EditorDocument::EditOptions;
using Order = EditorDocument::ObserverOrder;

std::unique_ptr<EditorDocument> loaded(std::u16string_view text) {
    auto document = std::make_unique<EditorDocument>(QUuid::createUuid());
    document->setText(std::u16string(text));
    return document;
}

std::u16string textOf(const EditorDocument& document) {
    return document.storage()->string();
}

Options named(const char* name) {
    Options options;
    options.actionName = QString::fromUtf8(name);
    return options;
}

/// A filter that refuses any replacement equal to `word` and counts what it was asked.
EditorDocument::ChangeFilter refusing(std::u16string word, int& asked) {
    return [word = std::move(word), &asked](std::span<const TextRange>,
                                            std::span<std::u16string> texts) {
        ++asked;
        return std::ranges::find(texts, word) == texts.end();
    };
}

TEST(EditorDocumentHooksTest, EveryFilterIsAskedAndAnyMayRefuse) {
    auto document = loaded(u"abc"); // shown by no view
    int firstAsked = 0, secondAsked = 0;
    const auto first = document->addChangeFilter(refusing(u"one", firstAsked));
    const auto second = document->addChangeFilter(refusing(u"two", secondAsked));

    EXPECT_FALSE(document->applyEdit({0, 0}, u"one"));
    EXPECT_EQ(secondAsked, 0) << "the first refusal ends the questions";
    EXPECT_FALSE(document->applyEdits({{0, 0}, {3, 0}}, {u"x", u"two"}, named("Değiştir")));
    EXPECT_EQ(textOf(*document), u"abc");
    EXPECT_EQ(document->contentRevision(), 0);
    EXPECT_EQ(document->undoStack()->count(), 0);

    EXPECT_TRUE(document->applyEdit({3, 0}, u"d"));
    EXPECT_EQ(firstAsked, 3);
    EXPECT_EQ(secondAsked, 2);

    // Each filter sees what the one before it left.
    document->addChangeFilter([](std::span<const TextRange>, std::span<std::u16string> texts) {
        for (std::u16string& text : texts)
            if (text == u"tab")
                text = u"two";
        return true;
    });
    EXPECT_TRUE(document->applyEdit({0, 0}, u"tab")) << "rewritten after the second looked";
    EXPECT_EQ(textOf(*document), u"twoabcd");

    EXPECT_TRUE(document->removeChangeFilter(second));
    EXPECT_FALSE(document->removeChangeFilter(second)) << "a second removal removes nothing";
    EXPECT_FALSE(document->removeChangeObserver(first)) << "a filter's id names no observer";
    EXPECT_TRUE(document->applyEdit({0, 0}, u"two"));
    EXPECT_FALSE(document->applyEdit({0, 0}, u"one"));
}

TEST(EditorDocumentHooksTest, FiltersSeeOnlyCheckedEditsAndNeverUndo) {
    auto document = loaded(u"0123456789");
    std::vector<std::vector<TextRange>> asked;
    document->addChangeFilter([&](std::span<const TextRange> ranges, std::span<std::u16string>) {
        asked.emplace_back(ranges.begin(), ranges.end());
        return true;
    });
    EXPECT_FALSE(document->applyEdits({{5, 2}, {3, 1}}, {u"a", u"b"}, named("x")));
    EXPECT_FALSE(document->applyEdits({{2, 3}, {4, 1}}, {u"a", u"b"}, named("x")));
    EXPECT_FALSE(document->applyEdits({{8, 3}}, {u"a"}, named("x")));
    EXPECT_TRUE(asked.empty()) << "ranges that cannot apply are refused before any filter";

    ASSERT_TRUE(document->applyEdits({{3, 2}, {5, 1}}, {u"X", u"Y"}, named("Biçimle")));
    ASSERT_EQ(asked.size(), 1u);
    document->undo();
    document->redo();
    ASSERT_TRUE(document->applyWithoutUndo({{0, 1}}, {u"#"}));
    ASSERT_TRUE(document->replaceAllClearingUndo(u"reloaded"));
    EXPECT_EQ(asked.size(), 1u) << "undo, redo and reloads are not proposals";
}

TEST(EditorDocumentHooksTest, OffScreenDocumentsKeepTheirFiltersAndUndo) {
    auto shown = loaded(u"shown");
    auto other = loaded(u"other text");
    int shownAsked = 0, otherAsked = 0;
    shown->addChangeFilter(refusing(u"locked", shownAsked));
    other->addChangeFilter(refusing(u"locked", otherAsked));

    EditorTextView view;
    view.setDocument(shown.get());
    view.setDocument(other.get());
    view.setDocument(shown.get()); // switching tabs leaves others' filters in place

    // A replace across tabs edits the document nobody sees.
    EXPECT_FALSE(other->applyEdit({0, 5}, u"locked")) << "its own filter still applies";
    EXPECT_EQ(otherAsked, 1);
    ASSERT_TRUE(other->applyEdits({{0, 5}, {6, 4}}, {u"OTHER", u"TEXT"}, named("Tümünü Değiştir")));
    EXPECT_EQ(textOf(*other), u"OTHER TEXT");
    EXPECT_EQ(other->undoStack()->count(), 1);
    EXPECT_EQ(other->undoStack()->undoText(), "Tümünü Değiştir");
    other->undo();
    EXPECT_EQ(textOf(*other), u"other text");
    EXPECT_EQ(textOf(*shown), u"shown") << "the document on screen is untouched";

    EXPECT_FALSE(shown->applyEdit({0, 0}, u"locked"));
    EXPECT_EQ(shownAsked, 1);
    view.setDocument(nullptr);
    EXPECT_FALSE(shown->applyEdit({0, 0}, u"locked")) << "leaving the view keeps it too";
    EXPECT_EQ(shownAsked, 2);
}

TEST(EditorDocumentHooksTest, ReadOnlyAndPendingDocumentsNotOnScreen) {
    EditorDocument pending(QUuid::createUuid());
    pending.setPending(EditorDocument::PendingContent::ofFile());
    EXPECT_FALSE(pending.applyEdits({{0, 0}}, {u"x"}, named("x"))) << "nobody can load it";

    int loads = 0;
    pending.setLoadHandler([&](EditorDocument&) { ++loads; });
    EXPECT_FALSE(pending.applyEdits({{0, 0}}, {u"x"}, named("x")));
    EXPECT_EQ(loads, 1);

    // Loading shows a binary-looking file: read-only, so the edit is refused after all.
    pending.setLoadHandler([&](EditorDocument& d) {
        ++loads;
        d.setReadOnly(true);
        d.setText(u"\x01\x02", true);
    });
    EXPECT_FALSE(pending.applyEdits({{0, 0}}, {u"x"}, named("x")));
    EXPECT_EQ(loads, 2);
    EXPECT_EQ(textOf(pending), u"\x01\x02");
    EXPECT_EQ(pending.undoStack()->count(), 0);

    // A handler that asks for the text while loading it is not called again.
    EditorDocument reentrant(QUuid::createUuid());
    reentrant.setPending(EditorDocument::PendingContent::ofBuffer("B.txt"));
    reentrant.setLoadHandler([&](EditorDocument& d) {
        ++loads;
        EXPECT_FALSE(d.ensureLoaded());
        d.setText(u"buffer");
    });
    EXPECT_TRUE(reentrant.applyEdits({{0, 0}}, {u"my "}, named("x")));
    EXPECT_EQ(loads, 3);
    EXPECT_EQ(textOf(reentrant), u"my buffer");
}

TEST(EditorDocumentHooksTest, ObserversHearEveryChangeViewsFirst) {
    auto document = loaded(u"abc");
    std::vector<std::string> calls;
    const auto late = document->addChangeObserver(
        [&](EditorDocument&, TextRange, std::int64_t) { calls.push_back("late"); });
    document->addChangeObserver(
        [&](EditorDocument&, TextRange, std::int64_t) { calls.push_back("view"); }, Order::display);
    document->addChangeObserver(
        [&](EditorDocument&, TextRange, std::int64_t) { calls.push_back("later"); });
    ASSERT_TRUE(document->applyEdit({0, 0}, u"x"));
    EXPECT_EQ(calls, (std::vector<std::string>{"view", "late", "later"}));

    // An observer may remove itself and others while the change is being reported.
    calls.clear();
    EditorDocument::HookID self = EditorDocument::HookID::none;
    self = document->addChangeObserver(
        [&](EditorDocument& d, TextRange, std::int64_t) {
            calls.push_back("self");
            d.removeChangeObserver(self);
            d.removeChangeObserver(late);
        },
        Order::display);
    document->undo();
    EXPECT_EQ(calls, (std::vector<std::string>{"view", "self", "later"}));
    calls.clear();
    document->redo();
    EXPECT_EQ(calls, (std::vector<std::string>{"view", "later"}));
}

TEST(EditorDocumentHooksTest, TheRevisionNeverRepeatsAndSnapshotsCarryIt) {
    EditorDocument document(QUuid::createUuid());
    EXPECT_FALSE(document.snapshot()) << "nothing to copy while pending";
    document.setText(u"first");
    EXPECT_EQ(document.contentRevision(), 0) << "the first load is no change";

    std::set<std::int64_t> seen{document.contentRevision()};
    auto expectNew = [&](const char* step) {
        SCOPED_TRACE(step);
        EXPECT_TRUE(seen.insert(document.contentRevision()).second) << "a revision repeated";
        EXPECT_EQ(*seen.rbegin(), document.contentRevision()) << "a revision went back";
        auto snapshot = document.snapshot();
        ASSERT_TRUE(snapshot);
        EXPECT_EQ(snapshot->revision(), static_cast<std::uint64_t>(document.contentRevision()));
        EXPECT_EQ(snapshot->view(), textOf(document));
    };

    ASSERT_TRUE(document.applyEdits({{0, 1}, {2, 1}, {4, 1}}, {u"F", u"R", u"T"}, named("x")));
    expectNew("a step of three replacements counts one");
    EXPECT_EQ(document.contentRevision(), 1);
    const TextSnapshot beforeReload = *document.snapshot();

    document.setText(u"reloaded from disk");
    expectNew("reload");
    EXPECT_NE(beforeReload.revision(), document.snapshot()->revision())
        << "work started on the old text sees that the text changed";
    document.setText(u"FiRsT");
    expectNew("a reload back to an earlier text");
    ASSERT_TRUE(document.applyEdit({0, 0}, u"!"));
    expectNew("edit after reloads");
    document.undo();
    expectNew("undo");
    ASSERT_TRUE(document.replaceAllClearingUndo(u"reopened"));
    expectNew("reopen in another encoding");
    ASSERT_TRUE(document.applyWithoutUndo({{0, 2}}, {u"RE"}));
    expectNew("column edit");
}

} // namespace
} // namespace vendrix::app
