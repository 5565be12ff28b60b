// An edit that replaces the whole text (replace-all of many matches, formatting, reload) is
// kept in the history as the two texts; undo and redo must restore everything exactly.
#include "app/document/EditorDocument.h"
#include "support/TestSupport.h"

#include <QSignalSpy>
#include <QUndoStack>

#include <gtest/gtest.h>

namespace vendrix::app {
namespace {

using Options = EditorDocument::EditOptions;

std::unique_ptr<EditorDocument> loaded(std::u16string_view text) {
    auto document = std::make_unique<EditorDocument>(QUuid::createUuid());
    document->setText(std::u16string(text));
    return document;
}

std::u16string textOf(const EditorDocument& document) {
    return document.storage()->string();
}

/// Lines of "cat …" as a large replace-all sees them.
std::u16string lines(int count, std::u16string_view word) {
    std::u16string text;
    for (int i = 0; i < count; ++i) {
        text += word;
        text += u" and more words\n";
    }
    return text;
}

struct Report {
    TextRange range;
    std::int64_t change = 0;
    bool indexFits = false;
    std::int64_t revision = 0;
    friend bool operator==(const Report&, const Report&) = default;
};

TEST(WholeTextEditTest, UndoAndRedoRestoreTextLinesSelectionAndRevisions) {
    const std::u16string before = lines(300, u"cat");
    const std::u16string after = lines(300, u"lion") + u"tail without LF";
    auto document = loaded(before);
    std::vector<Report> reports;
    document->addChangeObserver([&](EditorDocument& d, TextRange range, std::int64_t change) {
        reports.push_back({range, change, d.lineIndex() == LineIndex(textOf(d)),
                           d.contentRevision()});
    });
    QSignalSpy restored(document.get(), &EditorDocument::selectionRestored);
    const TextSnapshot searched = *document->snapshot(); // as the search took it

    Options options;
    options.actionName = QStringLiteral("Tümünü Değiştir");
    options.selectionBefore = TextRange{4, 3};
    ASSERT_TRUE(document->applyEdits({{0, document->length()}}, {after}, options));
    const auto oldLength = static_cast<std::int64_t>(before.size());
    const auto newLength = static_cast<std::int64_t>(after.size());
    EXPECT_EQ(textOf(*document), after);
    EXPECT_EQ(document->undoStack()->count(), 1);
    EXPECT_EQ(document->undoStack()->undoText(), "Tümünü Değiştir");
    EXPECT_EQ(document->selection(), (TextRange{newLength, 0})) << "caret after the new text";
    EXPECT_TRUE(document->isDirty());
    EXPECT_EQ(document->snapshot()->revision(), 1u);
    EXPECT_EQ(document->snapshot()->view(), after);
    EXPECT_EQ(searched.view(), before) << "the searched snapshot is never written to";

    document->undo();
    EXPECT_EQ(textOf(*document), before);
    EXPECT_EQ(document->lineIndex(), LineIndex(before));
    EXPECT_EQ(document->selection(), (TextRange{4, 3}));
    ASSERT_EQ(restored.count(), 1);
    EXPECT_EQ(restored.at(0).at(0).value<TextRange>(), (TextRange{4, 3}));
    EXPECT_EQ(document->snapshot()->view(), before);
    EXPECT_EQ(document->snapshot()->revision(), 2u) << "undo is a new revision, never an old one";

    document->redo();
    EXPECT_EQ(textOf(*document), after);
    EXPECT_EQ(document->lineIndex(), LineIndex(after));
    EXPECT_EQ(document->selection(), (TextRange{newLength, 0}));

    // One report per step, for the whole new text, with the index already in step.
    const std::vector<Report> expected = {
        {{0, newLength}, newLength - oldLength, true, 1},
        {{0, oldLength}, oldLength - newLength, true, 2},
        {{0, newLength}, newLength - oldLength, true, 3},
    };
    EXPECT_EQ(reports, expected);

    // Ordinary edits after the whole-text step unwind back through it.
    ASSERT_TRUE(document->applyEdit({0, 4}, u"tiger\n"));
    ASSERT_TRUE(document->applyEdits({{0, 0}, {10, 4}}, {u"A", u"B"}, options));
    for (int i = 0; i < 3; ++i)
        document->undo();
    EXPECT_EQ(textOf(*document), before);
    EXPECT_EQ(document->lineIndex(), LineIndex(before));
    for (int i = 0; i < 3; ++i)
        document->redo();
    EXPECT_EQ(document->lineIndex(), LineIndex(textOf(*document)));
    EXPECT_EQ(document->contentRevision(), 11) << "each step and each undo or redo is one";
}

TEST(WholeTextEditTest, FiltersAndLineBreaksApplyToWholeTextEdits) {
    auto document = loaded(u"a\nb\nc");
    // A filter that rewrites the whole replacement: the index follows what was applied.
    document->addChangeFilter([](std::span<const TextRange>, std::span<std::u16string> texts) {
        texts[0] += u"\nadded";
        return true;
    });
    ASSERT_TRUE(document->applyEdits({{0, 5}}, {u"x\r\ny\rz"}, Options{}));
    EXPECT_EQ(textOf(*document), u"x\ny\nz\nadded") << "CR and CRLF become LF";
    EXPECT_EQ(document->lineIndex(), LineIndex(std::u16string_view(u"x\ny\nz\nadded")));
    document->undo();
    EXPECT_EQ(textOf(*document), u"a\nb\nc");

    // Emptying the text and filling an empty text are whole-text steps too.
    auto empty = loaded(u"some\ntext");
    ASSERT_TRUE(empty->applyEdits({{0, 9}}, {u""}, Options{}));
    EXPECT_EQ(textOf(*empty), u"");
    EXPECT_EQ(empty->lineIndex(), LineIndex());
    ASSERT_TRUE(empty->applyEdits({{0, 0}}, {u"new\n"}, Options{}));
    EXPECT_EQ(empty->lineIndex().lineCount(), 2);
    empty->undo();
    empty->undo();
    EXPECT_EQ(textOf(*empty), u"some\ntext");
    EXPECT_EQ(empty->lineIndex(), LineIndex(std::u16string_view(u"some\ntext")));

    // Typing into an empty text still merges into one step.
    auto typed = loaded(u"");
    Options typing;
    typing.typing = true;
    ASSERT_TRUE(typed->applyEdit({0, 0}, u"a", typing));
    ASSERT_TRUE(typed->applyEdit({1, 0}, u"b", typing));
    EXPECT_EQ(typed->undoStack()->count(), 1);
    typed->undo();
    EXPECT_EQ(textOf(*typed), u"");
}

} // namespace
} // namespace vendrix::app
