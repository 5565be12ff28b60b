// Opening files, dropping them, the untouched tab, binary and long-line files, lazy loading.
#include "WindowTestSupport.h"

#include "app/workspace/WindowMessages.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::app::test {
namespace {

using Kind = EditorEvent::Kind;
namespace msg = windowMessages;

class WindowOpeningTest : public WindowFixture {};

TEST_F(WindowOpeningTest, OpeningReplacesTheUntouchedTabAndActivatesAnOpenFileAgain) {
    // The empty untitled tab was typed into and emptied again: still untouched.
    EditorDocument& untitled = active();
    ASSERT_TRUE(controller->applyEdits(untitled, {{0, 0}}, {u"x"}, "t"));
    ASSERT_TRUE(controller->applyEdits(untitled, {{0, 1}}, {u""}, "t"));
    const QString a = write("a.txt", "alpha\n");
    controller->openFiles({a});
    ASSERT_EQ(count(), 1u);
    EXPECT_EQ(active().fileURL(), QFileInfo(a).absoluteFilePath());
    EXPECT_EQ(text(active()), u"alpha\n");
    EXPECT_FALSE(active().isDirty());
    EXPECT_EQ(controller->textView()->document(), &active());
    EXPECT_EQ(controller->window()->windowTitle(), "a.txt[*] — Vendrix");

    // The same file through "." and ".." and through a link only activates its tab.
    const QString b = write("b.txt", "beta");
    controller->openFiles({b});
    ASSERT_EQ(count(), 2u);
    QDir().mkdir(path("sub"));
    ASSERT_EQ(::symlink(QFile::encodeName(a).constData(), QFile::encodeName(path("link.txt")).constData()), 0);
    controller->openFiles({path("sub/../a.txt")});
    EXPECT_EQ(count(), 2u);
    EXPECT_EQ(controller->activeIndex(), 0);
    controller->activate(*controller->documentAt(1));
    controller->openFiles({path("link.txt")});
    EXPECT_EQ(count(), 2u);
    EXPECT_EQ(controller->activeIndex(), 0);

    // A dirty untitled tab is never replaced.
    EditorDocument& typed = controller->newDocument(u"kept");
    EXPECT_TRUE(typed.isDirty());
    controller->openFiles({write("c.txt", "c")});
    EXPECT_EQ(count(), 4u);
    EXPECT_TRUE(prompter.requests.empty());
}

TEST_F(WindowOpeningTest, FifosDevicesAndMissingFilesAreRefusedWithoutBlocking) {
    const QString fifo = path("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // No writer ever opens the FIFO: a blocking open would hang the test here.
    controller->openFiles({fifo, "/dev/zero", path("missing.txt"), folder.path()});
    EXPECT_EQ(count(), 1u);
    EXPECT_FALSE(active().fileURL());
    EXPECT_EQ(promptMessages(), (QStringList{msg::cannotOpen("pipe"), msg::cannotOpen("zero"),
                                             msg::cannotOpen("missing.txt"),
                                             msg::cannotOpen(QFileInfo(folder.path()).fileName())}));
    for (const PromptRequest& request : prompter.requests) {
        EXPECT_FALSE(request.detail.isEmpty());
        EXPECT_EQ(request.buttons, QStringList{"Tamam"});
    }

    // A file too large for the text system is refused before anything is read (sparse here).
    const QString huge = path("huge.log");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64{3} << 30));
    }
    prompter.requests.clear();
    controller->openFiles({huge});
    EXPECT_EQ(count(), 1u);
    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(prompter.requests[0].message, msg::cannotOpen("huge.log"));
    EXPECT_TRUE(prompter.requests[0].detail.contains("büyük"));
}

TEST_F(WindowOpeningTest, AMissingPathFromTheCommandLineIsANewFileItsFirstSaveCreates) {
    using Missing = EditorWindowController::MissingFile;
    const QString fresh = path("new.txt");
    controller->openFiles({fresh}, Missing::newTab);
    ASSERT_EQ(count(), 1u) << "it takes the untouched empty tab's place";
    EditorDocument& document = active();
    EXPECT_EQ(document.fileURL(), fresh);
    EXPECT_EQ(document.displayName(), "new.txt");
    EXPECT_TRUE(document.isLoaded());
    EXPECT_EQ(document.length(), 0);
    EXPECT_TRUE(document.isDirty()) << "not on disk: unsaved, kept by the session";
    EXPECT_TRUE(prompter.requests.empty());
    EXPECT_EQ(statusMessage(), msg::newFile("new.txt"));
    EXPECT_FALSE(QFileInfo::exists(fresh));
    // Becoming active again does not take it for a deleted file.
    controller->applicationBecameActive();
    EXPECT_EQ(statusMessage(), msg::newFile("new.txt"));

    controller->saving().saveActive();
    EXPECT_TRUE(QFileInfo::exists(fresh));
    EXPECT_EQ(read(fresh), "");
    EXPECT_FALSE(document.isDirty());
    EXPECT_TRUE(document.diskStamp());
    ASSERT_TRUE(controller->applyEdits(document, {{0, 0}}, {u"merhaba\n"}, "t"));
    controller->saving().saveActive();
    EXPECT_EQ(read(fresh), "merhaba\n");
    EXPECT_EQ(recentPaths(), QStringList{fresh});

    // A missing folder: the tab opens, its save fails with the usual message.
    const QString nowhere = path("no/such/dir.txt");
    controller->openFiles({nowhere}, Missing::newTab);
    ASSERT_EQ(active().fileURL(), nowhere);
    controller->saving().saveActive();
    EXPECT_EQ(promptMessages(), QStringList{msg::cannotSave("dir.txt")});
    EXPECT_EQ(count(), 2u);

    // The open panel, the recent menu and drops still say the file is not there; an existing
    // path opens as it always did.
    prompter.requests.clear();
    controller->openFiles({path("gone.txt")});
    EXPECT_EQ(promptMessages(), QStringList{msg::cannotOpen("gone.txt")});
    EXPECT_EQ(prompter.requests[0].detail, "Dosya bulunamadı.");
    EXPECT_FALSE(controller->openDroppedFiles({QUrl::fromLocalFile(path("gone.txt"))}));
    controller->openFiles({write("there.txt", "there")}, Missing::newTab);
    EXPECT_EQ(text(active()), u"there");
    EXPECT_EQ(count(), 3u);
}

TEST_F(WindowOpeningTest, MixedLineEndingsAndNulBytesAreNamedOnceOnOpening) {
    struct Case {
        const char* name;
        QByteArray bytes;
        QString message;
        QByteArray saved; // after typing "x" at the start
    } cases[] = {
        {"crlf-lf.txt", "a\r\nb\nc\r\n", msg::mixedLineEndings("crlf-lf.txt", "CRLF"),
         "xa\r\nb\r\nc\r\n"},
        {"cr-lf.txt", "a\nb\rc\n", msg::mixedLineEndings("cr-lf.txt", "LF"), "xa\nb\nc\n"},
        {"nul.txt", QByteArray("a\0b\n", 4) + QByteArray(200, 'c'), msg::holdsNul("nul.txt"),
         QByteArray("xa\0b\n", 5) + QByteArray(200, 'c')},
        {"crlf.txt", "a\r\nb\r\n", QString(), "xa\r\nb\r\n"},
    };
    for (const Case& c : cases) {
        controller->showMessage({}, 0);
        controller->openFiles({write(c.name, c.bytes)});
        EXPECT_EQ(statusMessage(), c.message) << c.name;
        EXPECT_FALSE(active().isReadOnly()) << c.name;
        ASSERT_TRUE(controller->applyEdits(active(), {{0, 0}}, {u"x"}, "t"));
        controller->saving().saveActive();
        EXPECT_EQ(read(path(c.name)), c.saved) << c.name << ": what the message said";
        // Coming back to the tab says nothing more.
        EditorDocument& opened = active();
        controller->newDocument();
        controller->showMessage({}, 0);
        controller->activate(opened);
        EXPECT_EQ(statusMessage(), QString()) << c.name;
    }
    controller->openFiles(
        {write("both.txt", QByteArray("a\r\nb\r\n\0c\n", 9) + QByteArray(200, 'd'))});
    EXPECT_EQ(statusMessage(),
              msg::mixedLineEndings("both.txt", "CRLF") + " " + msg::holdsNul("both.txt"));
}

TEST_F(WindowOpeningTest, DroppedFoldersAreSkippedWithAMessageAndFilesOpen) {
    QDir().mkdir(path("folder"));
    EXPECT_FALSE(controller->openDroppedFiles({QUrl::fromLocalFile(path("folder"))}));
    EXPECT_EQ(statusMessage(), msg::notAFile("folder"));
    EXPECT_EQ(count(), 1u);
    const QString file = write("dropped.txt", "d");
    EXPECT_TRUE(controller->openDroppedFiles({QUrl("https://example.org/x"),
                                              QUrl::fromLocalFile(path("folder")),
                                              QUrl::fromLocalFile(file)}));
    EXPECT_EQ(active().displayName(), "dropped.txt");

    // A file dragged onto the text opens, even where the text takes dragged text (file
    // managers offer the path as text too): nothing is inserted.
    const QString other = write("other.txt", "o");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(other)});
    data.setText(other);
    QWidget* viewport = controller->textView()->viewport();
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(active().displayName(), "other.txt");
    EXPECT_EQ(text(active()), u"o");
    EXPECT_EQ(text(*controller->documentAt(0)), u"d");
}

TEST_F(WindowOpeningTest, BinaryFilesOpenReadOnlyWithTheirAlert) {
    QByteArray bytes("PK\x03\x04", 4);
    bytes.append(QByteArray(200, '\0'));
    controller->openFiles({write("archive.zip", bytes)});
    EXPECT_TRUE(active().isReadOnly());
    EXPECT_EQ(promptMessages(), QStringList{msg::binaryOpened("archive.zip")});
    EXPECT_FALSE(controller->textView()->isEditable());
    EXPECT_FALSE(controller->applyEdits(active(), {{0, 0}}, {u"x"}, "t"));
}

TEST_F(WindowOpeningTest, ALongLineWrapsItsTabOnlyWithAMessage) {
    controller->openFiles({write("short.txt", "short\n")});
    controller->openFiles({write("long.txt", QByteArray(120'000, 'a'))});
    EXPECT_TRUE(controller->effectiveWrap());
    EXPECT_TRUE(controller->textView()->wrapsLines());
    EXPECT_TRUE(statusMessage().startsWith("Çok uzun satır ("));
    events.clear();
    controller->activate(*controller->documentAt(0));
    EXPECT_FALSE(controller->effectiveWrap());
    EXPECT_FALSE(controller->textView()->wrapsLines());
    const auto seen = kinds();
    EXPECT_NE(std::ranges::find(seen, Kind::appearanceChanged), seen.end());
}

TEST_F(WindowOpeningTest, AFailedLazyLoadKeepsTheTabPendingUntilARetrySucceeds) {
    const QString gone = path("later.txt");
    auto restored = std::make_unique<EditorDocument>(QUuid::createUuid());
    restored->setFileURL(gone);
    restored->setPending(EditorDocument::PendingContent::ofFile());
    EditorDocument* document = restored.get();
    std::vector<std::unique_ptr<EditorDocument>> list;
    list.push_back(std::move(restored));
    controller->restoreDocuments(std::move(list), 0);
    EXPECT_EQ(controller->activeDocument(), document);
    EXPECT_FALSE(document->isLoaded());
    EXPECT_EQ(document->pending().kind, EditorDocument::PendingContent::Kind::file);
    EXPECT_EQ(statusMessage(), msg::fileNotFound(gone));

    // Saving it would write an empty text over a file that may come back: refused.
    write("later.txt", "");
    ::unlink(QFile::encodeName(gone).constData());
    document->setDirty(true);
    EXPECT_FALSE(controller->saving().save(*document, gone));
    EXPECT_EQ(promptMessages(), QStringList{msg::cannotSave("later.txt")});
    EXPECT_FALSE(QFileInfo::exists(gone));

    // Once the file is there, activation loads it.
    write("later.txt", "back\n");
    controller->activate(*controller->documentAt(0));
    controller->activate(*document);
    ASSERT_TRUE(document->isLoaded());
    EXPECT_EQ(text(*document), u"back\n");
    EXPECT_EQ(controller->textView()->document(), document);
}

TEST_F(WindowOpeningTest, BuffersLoadFromTheSessionAndFallBackToTheFile) {
    const QString file = write("f.txt", "from file");
    session.buffers.emplace("present.txt", u"from buffer");
    session.buffers.emplace(
        "locked.txt", std::unexpected(BufferReadError{BufferReadError::Kind::unreadable, EACCES}));
    controller->setSession(&session);
    std::vector<std::unique_ptr<EditorDocument>> list;
    for (const char* name : {"present.txt", "absent.txt", "locked.txt"}) {
        auto document = std::make_unique<EditorDocument>(QUuid::createUuid());
        document->setFileURL(file);
        document->setDirty(true);
        document->setPending(EditorDocument::PendingContent::ofBuffer(name));
        list.push_back(std::move(document));
    }
    EditorDocument* first = list[0].get();
    EditorDocument* second = list[1].get();
    EditorDocument* third = list[2].get();
    controller->restoreDocuments(std::move(list), 1);
    EXPECT_FALSE(first->isLoaded());
    EXPECT_EQ(text(*second), u"from file");
    EXPECT_TRUE(second->isDirty());
    controller->activate(*first);
    EXPECT_EQ(text(*first), u"from buffer");
    // A buffer that exists but cannot be read is not replaced by the file: the tab waits.
    controller->activate(*third);
    EXPECT_FALSE(third->isLoaded());
    EXPECT_EQ(third->pending(), EditorDocument::PendingContent::ofBuffer("locked.txt"));
    EXPECT_TRUE(third->isDirty());
}

TEST_F(WindowOpeningTest, ARestoredBufferWhoseFileChangedMeanwhileAsksBeforeItIsSaved) {
    // Edited, quit, then another program rewrote the file before the next start.
    const QString file = write("pulled.txt", "old text\n");
    const std::optional<DiskStamp> before = DiskStamp::of(file);
    ASSERT_TRUE(before);
    write("pulled.txt", "pulled text, longer\n");
    session.anyOther = u"my unsaved text\n";
    controller->setSession(&session);
    auto restored = std::make_unique<EditorDocument>(QUuid::createUuid());
    restored->setFileURL(file);
    restored->setDirty(true);
    restored->setDiskStamp(before);
    restored->setPending(EditorDocument::PendingContent::ofBuffer("buffer.txt"));
    EditorDocument* document = restored.get();
    std::vector<std::unique_ptr<EditorDocument>> list;
    list.push_back(std::move(restored));
    controller->restoreDocuments(std::move(list), 0);
    ASSERT_TRUE(document->isLoaded());
    EXPECT_EQ(text(*document), u"my unsaved text\n");
    EXPECT_EQ(document->diskStamp(), before);
    EXPECT_TRUE(document->externalChangePending());

    // Saving asks first; "Diskten ..." (the second answer) keeps the pulled file.
    prompter.requests.clear();
    answer(1);
    EXPECT_FALSE(controller->saving().save(*document, file));
    ASSERT_FALSE(prompter.requests.empty());
    EXPECT_EQ(read(file), QByteArray("pulled text, longer\n"));
}

TEST_F(WindowOpeningTest, NewDocumentsTakeTheSmallestFreeNumberAndOpenAfterTheActiveTab) {
    EditorDocument& two = controller->newDocument();
    EditorDocument& three = controller->newDocument(u"a\r\nb");
    EXPECT_EQ(two.displayName(), "Yeni 2");
    EXPECT_EQ(text(three), u"a\nb");
    controller->activate(*controller->documentAt(0));
    controller->closeDocument(two);
    EXPECT_EQ(controller->newDocument().displayName(), "Yeni 2");
    EXPECT_EQ(controller->activeIndex(), 1);
}

} // namespace
} // namespace vendrix::app::test
