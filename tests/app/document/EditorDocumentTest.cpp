#include "app/document/EditorDocument.h"
#include "support/TestSupport.h"

#include <QSignalSpy>
#include <QUndoStack>

#include <gtest/gtest.h>

namespace vendrix::app {
namespace {

using test::u16;
using Options = EditorDocument::EditOptions;

QUuid fixedID() {
    return QUuid(QStringLiteral("{1b4e28ba-2fa1-11d2-883f-0016d3cca427}"));
}

std::unique_ptr<EditorDocument> loaded(std::u16string_view text) {
    auto document = std::make_unique<EditorDocument>(fixedID());
    document->setText(std::u16string(text));
    return document;
}

std::u16string textOf(const EditorDocument& document) {
    return document.storage()->string();
}

Options typing() {
    Options options;
    options.typing = true;
    return options;
}

Options named(const char* name) {
    Options options;
    options.actionName = QString::fromUtf8(name);
    return options;
}

TEST(EditorDocumentTest, StartsWithItsInitialValues) {
    EditorDocument document(fixedID());
    EXPECT_EQ(document.id(), fixedID());
    EXPECT_EQ(document.idString(), "1B4E28BA-2FA1-11D2-883F-0016D3CCA427");
    EXPECT_FALSE(document.untitledNumber());
    EXPECT_FALSE(document.fileURL());
    EXPECT_EQ(document.encoding(), TextEncoding::utf8);
    EXPECT_EQ(document.lineEnding(), LineEnding::lf);
    EXPECT_FALSE(document.languageID());
    EXPECT_FALSE(document.isReadOnly());
    EXPECT_FALSE(document.isDirty());
    EXPECT_EQ(document.selection(), (TextRange{0, 0}));
    EXPECT_EQ(document.undoStack()->undoLimit(), 0) << "unlimited levels";
    EXPECT_FALSE(document.isLoaded());
    EXPECT_EQ(document.lineIndex(), LineIndex());
    EXPECT_EQ(document.pending(), EditorDocument::PendingContent::none());
    EXPECT_EQ(document.contentRevision(), 0);
    EXPECT_FALSE(document.persistedRevision());
    EXPECT_FALSE(document.diskStamp());
    EXPECT_FALSE(document.isAccessingSecurityScope());
}

TEST(EditorDocumentTest, DisplayNameAndFileChanges) {
    EditorDocument document(fixedID());
    EXPECT_EQ(document.displayName(), "Yeni 1") << "no number reads as 1";
    document.setUntitledNumber(3);
    EXPECT_EQ(document.displayName(), "Yeni 3");

    document.setFileURL(std::nullopt);
    EXPECT_EQ(document.untitledNumber(), 3) << "the file did not change";
    document.setFileURL(QStringLiteral("/home/u/notlar/günlük.txt"));
    EXPECT_FALSE(document.untitledNumber()) << "saving under a name drops the number";
    EXPECT_EQ(document.displayName(), QStringLiteral("günlük.txt"));

    document.startAccessingSecurityScope(QStringLiteral("/tmp/a.json"));
    EXPECT_TRUE(document.isAccessingSecurityScope());
    document.setFileURL(QStringLiteral("/tmp/b.json"));
    EXPECT_FALSE(document.isAccessingSecurityScope()) << "a new file releases the old access";
    EXPECT_EQ(document.displayName(), "b.json");
}

TEST(EditorDocumentTest, UntitledNumberIsTheSmallestFree) {
    using Numbers = std::vector<std::optional<std::int64_t>>;
    EXPECT_EQ(EditorDocument::nextUntitledNumber(Numbers{}), 1);
    EXPECT_EQ(EditorDocument::nextUntitledNumber(Numbers{1, 3}), 2);
    EXPECT_EQ(EditorDocument::nextUntitledNumber(Numbers{2, std::nullopt, 3}), 1);
    EXPECT_EQ(EditorDocument::nextUntitledNumber(Numbers{3, 1, 2}), 4);

    EditorDocument one(QUuid::createUuid()), three(QUuid::createUuid()), file(QUuid::createUuid());
    one.setUntitledNumber(1);
    three.setUntitledNumber(3);
    file.setFileURL(QStringLiteral("/tmp/x.txt"));
    std::vector<EditorDocument*> open{&one, &three, &file};
    EXPECT_EQ(EditorDocument::nextUntitledNumber(open), 2);
    open.clear(); // all closed: numbers are reused from 1
    EXPECT_EQ(EditorDocument::nextUntitledNumber(open), 1);
}

TEST(EditorDocumentTest, DirtyRuleDependsOnHavingAFile) {
    auto untitled = loaded(u"");
    EXPECT_FALSE(untitled->isDirty());
    ASSERT_TRUE(untitled->applyEdit({0, 0}, u"a", typing()));
    EXPECT_TRUE(untitled->isDirty());
    ASSERT_TRUE(untitled->applyEdit({0, 1}, u"", typing()));
    EXPECT_FALSE(untitled->isDirty()) << "an untitled document emptied again is clean";

    auto withFile = loaded(u"");
    withFile->setFileURL(QStringLiteral("/tmp/f.txt"));
    ASSERT_TRUE(withFile->applyEdit({0, 0}, u"a", typing()));
    ASSERT_TRUE(withFile->applyEdit({0, 1}, u"", typing()));
    EXPECT_TRUE(withFile->isDirty()) << "a document with a file is dirty after any edit";
}

TEST(EditorDocumentTest, EveryEditIsReportedOnceWithItsRangeAndChange) {
    auto document = loaded(u"one\ntwo\nthree");
    std::vector<std::pair<TextRange, std::int64_t>> reports;
    document->addChangeObserver([&](EditorDocument& d, TextRange range, std::int64_t change) {
        EXPECT_EQ(&d, document.get());
        EXPECT_EQ(d.lineIndex(), LineIndex(d.storage()->string()))
            << "index updated before the call";
        reports.emplace_back(range, change);
    });

    ASSERT_TRUE(document->applyEdit({4, 3}, u"2\n2"));
    EXPECT_EQ(textOf(*document), u"one\n2\n2\nthree");
    ASSERT_TRUE(document->applyEdits({{0, 3}, {8, 5}}, {u"1", u"3!"}, named("Tümünü Değiştir")));
    EXPECT_EQ(textOf(*document), u"1\n2\n2\n3!");

    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], (std::pair{TextRange{4, 3}, std::int64_t{0}}));
    // A multi-range step is one report from its first range to the end of its last.
    EXPECT_EQ(reports[1], (std::pair{TextRange{0, 8}, std::int64_t{-5}}));
    EXPECT_EQ(document->contentRevision(), 2);

    document->undo();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[2], (std::pair{TextRange{0, 13}, std::int64_t{5}}));
    EXPECT_EQ(document->contentRevision(), 3) << "undo is a change of the characters too";
}

TEST(EditorDocumentTest, MultiRangeEditsAreCheckedAndOneUndoStep) {
    struct Case {
        const char* name;
        std::vector<TextRange> ranges;
        std::vector<std::u16string> replacements;
        bool accepted;
        const char16_t* result;
    };
    const Case cases[] = {
        {"ascending ranges", {{3, 2}, {5, 1}}, {u"X", u"Y"}, true, u"012XY6789"},
        {"descending ranges", {{5, 2}, {3, 1}}, {u"X", u"Y"}, false, u"0123456789"},
        {"overlapping ranges", {{2, 3}, {4, 1}}, {u"X", u"Y"}, false, u"0123456789"},
        {"two inserts at one place keep their order",
         {{4, 0}, {4, 0}},
         {u"a", u"b"},
         true,
         u"0123ab456789"},
        {"range past the end", {{8, 3}}, {u"X"}, false, u"0123456789"},
        {"negative location", {{-1, 1}}, {u"X"}, false, u"0123456789"},
        {"counts differ", {{1, 1}, {2, 1}}, {u"X"}, false, u"0123456789"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto document = loaded(u"0123456789");
        EXPECT_EQ(document->applyEdits(c.ranges, c.replacements, named("Biçimle")), c.accepted);
        EXPECT_EQ(textOf(*document), c.result);
        EXPECT_EQ(document->undoStack()->count(), c.accepted ? 1 : 0);
        EXPECT_EQ(document->contentRevision(), c.accepted ? 1 : 0);
        if (c.accepted) {
            EXPECT_EQ(document->undoStack()->undoText(), "Biçimle");
            document->undo();
            EXPECT_EQ(textOf(*document), u"0123456789");
            document->redo();
            EXPECT_EQ(textOf(*document), c.result);
        }
    }

    auto document = loaded(u"abc");
    EXPECT_TRUE(document->applyEdits({}, {}, named("x"))) << "no ranges: nothing happens";
    EXPECT_EQ(document->contentRevision(), 0);
    EXPECT_TRUE(document->applyEdit({1, 0}, u"")) << "replacing nothing by nothing changes nothing";
    EXPECT_EQ(document->undoStack()->count(), 0);
}

TEST(EditorDocumentTest, ReadOnlyAndPendingDocuments) {
    auto readOnly = loaded(u"bin\r\x01");
    readOnly->setReadOnly(true);
    EXPECT_FALSE(readOnly->applyEdit({0, 0}, u"x"));
    EXPECT_FALSE(readOnly->applyEdits({{0, 1}}, {u"y"}, named("Değiştir")));
    EXPECT_EQ(readOnly->contentRevision(), 0);

    EditorDocument pending(fixedID());
    pending.setPending(EditorDocument::PendingContent::ofBuffer("X.txt"));
    int loads = 0;
    pending.setLoadHandler([&](EditorDocument&) { ++loads; }); // fails to load
    EXPECT_FALSE(pending.applyEdit({0, 0}, u"x"));
    EXPECT_EQ(loads, 1);
    pending.setLoadHandler([&](EditorDocument& d) { d.setText(u"from buffer"); });
    EXPECT_TRUE(pending.applyEdit({0, 4}, u"FROM"));
    EXPECT_EQ(textOf(pending), u"FROM buffer");
    EXPECT_EQ(pending.pending(), EditorDocument::PendingContent::none());

    EditorDocument fresh(fixedID()); // nothing pending: an empty text needs no handler
    EXPECT_TRUE(fresh.applyEdit({0, 0}, u"hi"));
    EXPECT_EQ(textOf(fresh), u"hi");
}

TEST(EditorDocumentTest, TypingMergesUntilTheRunIsBroken) {
    auto document = loaded(u"");
    auto now = std::chrono::steady_clock::time_point{};
    document->setClock([&] { return now; });
    auto type = [&](std::u16string_view s) {
        for (char16_t c : s) {
            const std::int64_t caret = document->selection().location;
            ASSERT_TRUE(document->applyEdit({caret, 0}, std::u16string(1, c), typing()));
            now += std::chrono::milliseconds(200);
        }
    };
    QUndoStack& stack = *document->undoStack();

    type(u"abc");
    EXPECT_EQ(stack.count(), 1);
    EXPECT_EQ(stack.undoText(), "Yazma");
    ASSERT_TRUE(document->applyEdit({2, 1}, u"", typing())); // backspace joins the run
    EXPECT_EQ(stack.count(), 1);

    document->breakTypingRun(); // the caret moved
    type(u"de");
    EXPECT_EQ(stack.count(), 2);

    now += std::chrono::milliseconds(1500); // a pause
    type(u"f");
    EXPECT_EQ(stack.count(), 3);

    ASSERT_TRUE(document->applyEdit({0, 0}, u"#", named("Girintiyi Artır")));
    document->setSelection({6, 0});
    type(u"g");
    EXPECT_EQ(stack.count(), 5) << "another command ends the run";
    EXPECT_EQ(textOf(*document), u"#abdefg");

    document->undo();
    document->undo();
    document->undo();
    EXPECT_EQ(textOf(*document), u"abde");
    document->undo();
    EXPECT_EQ(textOf(*document), u"ab");
    document->undo();
    EXPECT_EQ(textOf(*document), u"") << "typing and its backspace were one step";

    // Typing a character and deleting it again leaves no step behind.
    auto scratch = loaded(u"x");
    scratch->setSelection({1, 0});
    ASSERT_TRUE(scratch->applyEdit({1, 0}, u"y", typing()));
    ASSERT_TRUE(scratch->applyEdit({1, 1}, u"", typing()));
    EXPECT_EQ(scratch->undoStack()->count(), 0);
}

TEST(EditorDocumentTest, TypingAfterUndoStartsANewStep) {
    auto document = loaded(u"");
    ASSERT_TRUE(document->applyEdit({0, 0}, u"a", typing()));
    ASSERT_TRUE(document->applyEdit({1, 0}, u"b", typing()));
    document->undoStack()->undo(); // as the menu action does, past the document's wrapper
    ASSERT_TRUE(document->applyEdit({0, 0}, u"c", typing()));
    EXPECT_EQ(document->undoStack()->count(), 1);
    document->undo();
    EXPECT_EQ(textOf(*document), u"");
}

TEST(EditorDocumentTest, UndoAndRedoRestoreTheSelection) {
    auto document = loaded(u"hello world");
    QSignalSpy restored(document.get(), &EditorDocument::selectionRestored);
    Options options = named("Değiştir");
    options.selectionBefore = TextRange{6, 5};
    options.selectionAfter = TextRange{6, 3};
    ASSERT_TRUE(document->applyEdit({6, 5}, u"all", options));
    EXPECT_EQ(document->selection(), (TextRange{6, 3}));
    EXPECT_EQ(restored.count(), 0) << "the edit itself leaves the selection to its caller";

    document->undo();
    ASSERT_EQ(restored.count(), 1);
    EXPECT_EQ(restored.at(0).at(0).value<TextRange>(), (TextRange{6, 5}));
    EXPECT_EQ(document->selection(), (TextRange{6, 5}));
    document->redo();
    EXPECT_EQ(restored.at(1).at(0).value<TextRange>(), (TextRange{6, 3}));

    // Without explicit selections: the document's selection before, a caret after the edit.
    document->setSelection({0, 5});
    ASSERT_TRUE(document->applyEdit({0, 5}, u"bye"));
    EXPECT_EQ(document->selection(), (TextRange{3, 0}));
    document->undo();
    EXPECT_EQ(document->selection(), (TextRange{0, 5}));
}

TEST(EditorDocumentTest, IncomingTextIsLFOnlyAndOtherwiseUntouched) {
    auto document = loaded(u"a\r\nb\rc");
    EXPECT_EQ(textOf(*document), u"a\nb\nc");
    ASSERT_TRUE(document->applyEdit({5, 0}, u"\r\nd\re\r\n"));
    EXPECT_EQ(textOf(*document), u"a\nb\nc\nd\ne\n");
    ASSERT_TRUE(document->applyEdits({{0, 0}}, {u"\r"}, named("Yapıştır")));
    EXPECT_EQ(textOf(*document), u"\na\nb\nc\nd\ne\n");
    EXPECT_EQ(document->lineIndex().lineCount(), 7);

    // Separators, noncharacters and no-break spaces are text like any other.
    const std::u16string special = u"\u2029x\uFDD0\uFDD1y\u00A0z\u202F";
    auto plain = loaded(special);
    ASSERT_TRUE(plain->applyEdit({1, 0}, special));
    std::u16string expected = special;
    expected.insert(1, special);
    EXPECT_EQ(textOf(*plain), expected);
    plain->undo();
    EXPECT_EQ(textOf(*plain), special);

    // A binary-looking file is shown exactly as decoded.
    EditorDocument binary(fixedID());
    binary.setText(u"a\r\nb\r", true);
    EXPECT_EQ(textOf(binary), u"a\r\nb\r");
}

TEST(EditorDocumentTest, ChangeFilterSeesAndMayRewriteOrRefuse) {
    auto document = loaded(u"abc");
    std::vector<std::u16string> seen;
    document->addChangeFilter(
        [&](std::span<const TextRange> ranges, std::span<std::u16string> texts) {
            EXPECT_EQ(ranges.size(), texts.size());
            for (auto& text : texts) {
                seen.push_back(text);
                if (text == u"no")
                    return false;
                if (text == u"tab")
                    text = u"\t";
            }
            return true;
        });
    EXPECT_FALSE(document->applyEdit({0, 0}, u"no"));
    EXPECT_EQ(textOf(*document), u"abc");
    EXPECT_TRUE(document->applyEdit({0, 0}, u"tab"));
    EXPECT_EQ(textOf(*document), u"\tabc");
    EXPECT_TRUE(document->applyEdit({4, 0}, u"x\r\n"));
    EXPECT_EQ(seen.back(), u"x\n") << "the filter sees normalised text";
    const size_t asked = seen.size();
    document->undo();
    document->redo();
    EXPECT_EQ(seen.size(), asked) << "undo and redo are not proposals";
}

TEST(EditorDocumentTest, EditsFromInsideAReportAreRefused) {
    auto document = loaded(u"abc");
    bool nestedResult = true;
    const auto observer =
        document->addChangeObserver([&](EditorDocument& d, TextRange, std::int64_t) {
            nestedResult = d.applyEdit({0, 0}, u"nested") || d.applyWithoutUndo({{0, 0}}, {u"raw"});
            d.undo();
        });
    ASSERT_TRUE(document->applyEdit({3, 0}, u"d"));
    EXPECT_FALSE(nestedResult);
    EXPECT_EQ(textOf(*document), u"abcd");
    EXPECT_EQ(document->undoStack()->count(), 1);
    EXPECT_TRUE(document->removeChangeObserver(observer));
    document->undo();
    EXPECT_EQ(textOf(*document), u"abc");
}

TEST(EditorDocumentTest, LoadingAndReplacingTheWholeText) {
    auto document = loaded(u"abc");
    ASSERT_TRUE(document->applyEdit({3, 0}, u"d"));
    document->setDirty(false);
    QSignalSpy replaced(document.get(), &EditorDocument::textReplaced);
    document->setText(u"x\ny");
    EXPECT_EQ(replaced.count(), 1);
    EXPECT_EQ(document->contentRevision(), 2) << "a new text is a new revision";
    EXPECT_FALSE(document->isDirty());
    EXPECT_EQ(document->undoStack()->count(), 0) << "steps of the old text are gone";
    EXPECT_EQ(document->lineIndex().lineCount(), 2);

    ASSERT_TRUE(document->applyEdit({0, 0}, u"1"));
    ASSERT_TRUE(document->replaceAllClearingUndo(u"new\r\ntext"));
    EXPECT_EQ(textOf(*document), u"new\ntext");
    EXPECT_EQ(document->contentRevision(), 4);
    EXPECT_EQ(document->undoStack()->count(), 0);

    ASSERT_TRUE(document->applyWithoutUndo({{0, 3}}, {u"old"}));
    EXPECT_EQ(textOf(*document), u"old\ntext");
    EXPECT_EQ(document->undoStack()->count(), 0);
    EXPECT_FALSE(document->applyWithoutUndo({{5, 9}}, {u"?"}));

    ASSERT_TRUE(document->applyEdit({0, 0}, u"!"));
    document->startAccessingSecurityScope(QStringLiteral("/tmp/t.txt"));
    document->closeDown();
    EXPECT_EQ(document->undoStack()->count(), 0);
    EXPECT_FALSE(document->isAccessingSecurityScope());
}

TEST(EditorDocumentTest, SessionRecordFollowsTheFlags) {
    EditorDocument document(fixedID());
    document.setUntitledNumber(2);
    document.setSelection({4, 2});
    document.setScrollOrigin({1.5, 300});
    document.setLanguageID("json");
    document.setEncoding(TextEncoding::utf16LE);
    document.setLineEnding(LineEnding::crlf);

    SessionTab clean = document.sessionRecord();
    EXPECT_EQ(clean.id.uuidString(), "1B4E28BA-2FA1-11D2-883F-0016D3CCA427");
    EXPECT_EQ(toQUuid(clean.id), fixedID());
    const QUuid random = QUuid::createUuid();
    EXPECT_EQ(toQUuid(toCoreUuid(random)), random);
    EXPECT_EQ(clean.untitledNumber, 2);
    EXPECT_FALSE(clean.filePath);
    EXPECT_FALSE(clean.bufferFile) << "a clean document keeps no buffer";
    EXPECT_EQ(clean.selectionLocation, 4);
    EXPECT_EQ(clean.selectionLength, 2);
    EXPECT_EQ(clean.scrollX, 1.5);
    EXPECT_EQ(clean.scrollY, 300);
    EXPECT_EQ(clean.languageID, "json");
    EXPECT_EQ(clean.encoding, TextEncoding::utf16LE);
    EXPECT_EQ(clean.lineEnding, LineEnding::crlf);
    EXPECT_FALSE(clean.isDirty);
    EXPECT_FALSE(clean.isReadOnly) << "absent, not false";

    document.setDirty(true);
    EXPECT_EQ(document.sessionRecord().bufferFile, "1B4E28BA-2FA1-11D2-883F-0016D3CCA427.txt");
    document.setReadOnly(true);
    document.setFileURL(QStringLiteral("/tmp/ü.bin"));
    SessionTab readOnly = document.sessionRecord();
    EXPECT_FALSE(readOnly.bufferFile) << "a read-only document is never buffered";
    EXPECT_EQ(readOnly.isReadOnly, true);
    EXPECT_EQ(readOnly.filePath, "/tmp/\xC3\xBC.bin");
    EXPECT_FALSE(readOnly.untitledNumber);
}

} // namespace
} // namespace vendrix::app

namespace vendrix::app {
namespace {

TEST(DiskStampTest, StampsRegularFilesOnly) {
    test::TempDir dir;
    const auto file = dir.path() / "a.txt";
    test::writeFileBytes(file, "hello");
    const auto path = QString::fromStdString(file.string());
    auto stamp = DiskStamp::of(path);
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->size, 5);
    EXPECT_EQ(DiskStamp::of(path), stamp) << "an unchanged file keeps its stamp";
    test::writeFileBytes(file, "hello!");
    EXPECT_NE(DiskStamp::of(path), stamp);

    EXPECT_FALSE(DiskStamp::of(QString::fromStdString(dir.path().string()))) << "a directory";
    EXPECT_FALSE(DiskStamp::of(QString::fromStdString((dir.path() / "missing").string())));
    EXPECT_FALSE(DiskStamp::of(QString()));
}

} // namespace
} // namespace vendrix::app
