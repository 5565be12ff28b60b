// Reloading from disk, reopening in an encoding, and the save encoding and line ending.
#include "WindowTestSupport.h"

#include "app/workspace/WindowMessages.h"

#include <QUndoStack>

namespace vendrix::app::test {
namespace {

namespace msg = windowMessages;

class WindowReloadingTest : public WindowFixture {};

TEST_F(WindowReloadingTest, AReloadIsOneUndoStepAndLeavesTheDocumentClean) {
    const QString file = write("r.txt", "first\n");
    controller->openFiles({file});
    EditorDocument& document = active();
    write("r.txt", "second\n");
    controller->reloadFromDisk(document);
    EXPECT_EQ(text(document), u"second\n");
    EXPECT_FALSE(document.isDirty());
    EXPECT_EQ(statusMessage(), msg::reloadedByUser("r.txt"));
    EXPECT_EQ(document.undoStack()->undoText(), "Diskten Yeniden Yükle");
    controller->textView()->undo();
    EXPECT_EQ(text(document), u"first\n");
    EXPECT_TRUE(document.isDirty());

    // A stamp given by the watcher words the message as an outside change.
    write("r.txt", "third\n");
    const auto stamp = DiskStamp::of(file);
    controller->reloadFromDisk(document, stamp);
    EXPECT_EQ(statusMessage(), msg::reloadedAfterOutsideChange("r.txt"));
    EXPECT_EQ(document.diskStamp(), stamp);
}

TEST_F(WindowReloadingTest, AReloadKeepsTheUsersEncodingUnlessTheBytesCarryAMark) {
    controller->openFiles({write("tr.txt", "plain ascii")});
    EditorDocument& document = active();
    controller->saving().setSaveEncoding(TextEncoding::isoLatin5);
    controller->reloadFromDisk(document);
    write("tr.txt", "ba\xfe"); // ş in Windows-1254 and ISO-8859-9 alike
    controller->reloadFromDisk(document);
    EXPECT_EQ(document.encoding(), TextEncoding::isoLatin5);
    EXPECT_EQ(text(document), u"baş");

    write("tr.txt", "\xEF\xBB\xBF" "ba\xC5\x9F");
    controller->reloadFromDisk(document);
    EXPECT_EQ(document.encoding(), TextEncoding::utf8BOM);
    EXPECT_EQ(text(document), u"baş");
}

TEST_F(WindowReloadingTest, ADirtyDocumentAsksBeforeBinaryBytesReplaceItsEdits) {
    const QString file = write("b.txt", "text");
    controller->openFiles({file});
    EditorDocument& document = active();
    ASSERT_TRUE(controller->applyEdits(document, {{4, 0}}, {u" edited"}, "t"));
    QByteArray binary(300, '\0');
    write("b.txt", binary);

    answer(0); // Benimkini Koru
    controller->reloadFromDisk(document);
    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(prompter.requests[0].message, msg::externalChange("b.txt"));
    EXPECT_EQ(prompter.requests[0].buttons, (QStringList{"Benimkini Koru", "Diskteki Sürümü Yükle"}));
    EXPECT_EQ(text(document), u"text edited");
    EXPECT_TRUE(document.isDirty());

    answer(1); // Diskteki Sürümü Yükle
    controller->reloadFromDisk(document);
    EXPECT_TRUE(document.isReadOnly());
    EXPECT_EQ(document.length(), 300);
    EXPECT_FALSE(document.undoStack()->canUndo());
    EXPECT_FALSE(document.isDirty());
    EXPECT_EQ(controller->statusBar()->field("encoding")->label->text(), "Salt okunur");
}

TEST_F(WindowReloadingTest, ARefusedReloadDoesNoReloadBookkeeping) {
    const QString file = write("v.txt", "old");
    controller->openFiles({file});
    EditorDocument& document = active();
    ASSERT_TRUE(controller->applyEdits(document, {{3, 0}}, {u"!"}, "t"));
    const auto stamp = document.diskStamp();
    write("v.txt", "changed on disk");
    controller->textView()->setChangeDelegate([](TextRange, std::u16string&) { return false; });
    controller->showMessage("before", 10);
    controller->reloadFromDisk(document);
    EXPECT_EQ(text(document), u"old!");
    EXPECT_TRUE(document.isDirty());
    EXPECT_EQ(document.diskStamp(), stamp);
    EXPECT_EQ(statusMessage(), "before");
}

TEST_F(WindowReloadingTest, ReopeningInAnEncodingReadsTheFileAgainOrReportsWhy) {
    const QString file = write("e.txt", "caf\xC3\xA9\r\n");
    controller->openFiles({file});
    EditorDocument& document = active();
    controller->reopenWithEncoding(document, TextEncoding::isoLatin1);
    EXPECT_EQ(text(document), u"cafÃ©\n");
    EXPECT_EQ(document.encoding(), TextEncoding::isoLatin1);
    EXPECT_EQ(document.lineEnding(), LineEnding::crlf);
    EXPECT_FALSE(document.isDirty());

    write("e.txt", "\xFF\xFE\x00");
    controller->reopenWithEncoding(document, TextEncoding::utf8);
    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(prompter.requests[0].message, "Dosya UTF-8 olarak okunamadı.");
    EXPECT_EQ(text(document), u"cafÃ©\n");
}

TEST_F(WindowReloadingTest, LineEndingAndEncodingChangesDirtyOnlyFileBackedDocuments) {
    controller->saving().setLineEnding(LineEnding::crlf);
    EXPECT_EQ(active().lineEnding(), LineEnding::crlf);
    EXPECT_FALSE(active().isDirty());
    EXPECT_EQ(controller->statusBar()->field("lineEnding")->label->text(), "CRLF");
    controller->openFiles({write("x.txt", "x")});
    controller->saving().setLineEnding(LineEnding::cr);
    EXPECT_TRUE(active().isDirty());
    EXPECT_TRUE(controller->window()->isWindowModified());
    controller->saving().saveActive();
    controller->saving().setSaveEncoding(TextEncoding::utf16LE);
    EXPECT_TRUE(active().isDirty());
    EXPECT_EQ(controller->statusBar()->field("encoding")->label->text(),
              QString::fromUtf8(textEncoding::displayName(TextEncoding::utf16LE)));
}

} // namespace
} // namespace vendrix::app::test
