// Save, save as, save all: encodings, conflicts, links, permissions.
#include "WindowTestSupport.h"

#include "app/workspace/WindowMessages.h"

#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::app::test {
namespace {

using Kind = EditorEvent::Kind;
namespace msg = windowMessages;

class WindowSavingTest : public WindowFixture {
protected:
    void type(EditorDocument& document, std::u16string_view text) {
        ASSERT_TRUE(controller->applyEdits(document, {{document.length(), 0}},
                                           {std::u16string(text)}, "t"));
    }
};

TEST_F(WindowSavingTest, SaveAsProposesTheTabNameAndGivesTheTabItsFile) {
    type(active(), u"one\ntwo\n");
    active().setLineEnding(LineEnding::crlf);
    saveAnswer = path("chosen.txt");
    controller->saving().saveActive();
    EXPECT_EQ(proposedNames, QStringList{"Yeni 1.txt"});
    EXPECT_EQ(read(path("chosen.txt")), "one\r\ntwo\r\n");
    EXPECT_EQ(active().displayName(), "chosen.txt");
    EXPECT_FALSE(active().untitledNumber());
    EXPECT_FALSE(active().isDirty());
    EXPECT_TRUE(active().diskStamp());
    EXPECT_EQ(controller->window()->windowTitle(), "chosen.txt[*] — Vendrix");
    EXPECT_FALSE(controller->window()->isWindowModified());
    EXPECT_EQ(kinds().back(), Kind::documentSaved);
    EXPECT_EQ(recentPaths(), QStringList{path("chosen.txt")});

    // Cancelling the panel saves nothing.
    EditorDocument& other = controller->newDocument(u"x");
    EXPECT_FALSE(controller->saving().saveAs(other));
    EXPECT_TRUE(other.isDirty());
}

TEST_F(WindowSavingTest, AnUnencodableCharacterStopsTheSaveAndNamesIt) {
    const QString file = write("latin.txt", "abc");
    controller->openFiles({file});
    active().setEncoding(TextEncoding::isoLatin1);
    type(active(), u" ğ");
    controller->saving().saveActive();
    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(prompter.requests[0].message, msg::cannotSave("latin.txt"));
    EXPECT_EQ(prompter.requests[0].detail,
              "Metin ISO-8859-1 kodlamasıyla kaydedilemiyor (ilk sorunlu karakter: “ğ”). Başka "
              "bir kodlama seçin, örneğin UTF-8.");
    EXPECT_EQ(read(file), "abc");
    EXPECT_TRUE(active().isDirty());
}

TEST_F(WindowSavingTest, SavingThroughALinkWritesItsTargetAndKeepsTheLinksName) {
    const QString target = write("target.txt", "old");
    ::chmod(QFile::encodeName(target).constData(), 0600);
    const QString link = path("link.txt");
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
    controller->openFiles({link});
    EditorDocument& document = active();
    type(document, u" new");
    controller->saving().saveActive();
    EXPECT_TRUE(prompter.requests.empty());
    EXPECT_TRUE(proposedNames.isEmpty()); // not turned into a save as
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(read(target), "old new");
    EXPECT_EQ(document.displayName(), "link.txt");
    EXPECT_FALSE(document.isDirty());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // The target itself cannot be opened a second time, nor saved over from another tab.
    controller->openFiles({target});
    EXPECT_EQ(count(), 1u);
    EditorDocument& untitled = controller->newDocument(u"other");
    saveAnswer = target;
    EXPECT_FALSE(controller->saving().saveAs(untitled));
    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(prompter.requests[0].message, msg::cannotSave("target.txt"));
    EXPECT_EQ(prompter.requests[0].detail, msg::openInOtherTab("link.txt"));
    EXPECT_EQ(read(target), "old new");
    // Save as onto its own file is allowed.
    saveAnswer = link;
    EXPECT_TRUE(controller->saving().saveAs(document));
}

TEST_F(WindowSavingTest, AReadOnlyTargetIsReportedAndLeftAlone) {
    // Root may write any mode-0444 file; a kernel file refuses the save for everyone (as a
    // failed write rather than by its mode).
    QString file = "/proc/version";
    if (::geteuid() != 0) {
        file = write("locked.txt", "locked");
        ::chmod(QFile::encodeName(file).constData(), 0444);
    }
    const QByteArray before = read(file);
    controller->openFiles({file});
    ASSERT_EQ(active().fileURL(), file);
    type(active(), u"!");
    controller->saving().saveActive();
    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(prompter.requests[0].message, msg::cannotSave(QFileInfo(file).fileName()));
    if (::geteuid() != 0)
        EXPECT_EQ(prompter.requests[0].detail, msg::notWritable());
    else
        EXPECT_FALSE(prompter.requests[0].detail.isEmpty());
    EXPECT_EQ(read(file), before);
    EXPECT_TRUE(active().isDirty());
}

TEST_F(WindowSavingTest, SaveAllWritesDirtyFilesAndLeavesUntitledAndReadOnlyTabs) {
    const QString a = write("a.txt", "a");
    const QString b = write("b.txt", "b");
    controller->openFiles({a, b});
    type(*controller->documentAt(0), u"1");
    type(*controller->documentAt(1), u"2");
    EditorDocument& untitled = controller->newDocument(u"untitled");
    controller->saving().saveAll();
    EXPECT_EQ(read(a), "a1");
    EXPECT_EQ(read(b), "b2");
    EXPECT_TRUE(untitled.isDirty());
    EXPECT_TRUE(proposedNames.isEmpty());
}

} // namespace
} // namespace vendrix::app::test
