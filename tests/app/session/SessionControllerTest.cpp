#include "app/document/EditorDocument.h"
#include "app/session/SessionController.h"
#include "app/session/SessionRestore.h"
#include "app/workspace/Workspace.h"
#include "core/common/Utf8.h"
#include "core/text/TextChunkCache.h"
#include "core/text/TextStorage.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QUuid>

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <memory>

namespace vendrix::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::u16;

/// A clock and timer driven by hand: advance() moves time and fires the timer when due.
class ManualTimer final : public SessionTimer {
public:
    TimePoint now() const override { return m_now; }
    void start(std::chrono::milliseconds delay, std::function<void()> fire) override {
        m_deadline = m_now + std::max(delay, 0ms);
        m_fire = std::move(fire);
        lastDelay = delay;
    }
    void stop() override { m_deadline.reset(); }
    bool isActive() const override { return m_deadline.has_value(); }
    void advance(std::chrono::milliseconds step) {
        const TimePoint end = m_now + step;
        while (m_deadline && *m_deadline <= end) {
            m_now = *m_deadline;
            m_deadline.reset();
            fired.push_back(m_now);
            auto fire = m_fire;
            fire();
        }
        m_now = end;
    }
    std::chrono::milliseconds lastDelay{0};
    /// When the timer fired (each firing starts a session pass).
    std::vector<TimePoint> fired;

private:
    TimePoint m_now{};
    std::optional<TimePoint> m_deadline;
    std::function<void()> m_fire;
};

class SessionControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto store = std::make_unique<SessionStore>(m_temp.path() / "Vendrix");
        ASSERT_TRUE(store->prepareDirectory());
        ASSERT_TRUE(store->acquireLock());
        (void)store->load();
        auto timer = std::make_unique<ManualTimer>();
        m_timer = timer.get();
        m_session = std::make_unique<SessionController>(std::move(store), std::move(timer));
        m_session->observe(&m_workspace);
        QObject::connect(m_session.get(), &SessionController::failed,
                         [this](const QString& error) { m_errors << error; });
    }

    EditorDocument& addDocument(std::u16string text, bool withFile = false) {
        auto document = std::make_unique<EditorDocument>(QUuid::createUuid());
        if (withFile)
            document->setFileURL((m_temp.path() / "file.txt").string().c_str());
        else
            document->setUntitledNumber(1);
        document->setText(std::move(text));
        document->setDirty(withFile ? false : document->length() > 0);
        EditorDocument& added = m_workspace.insert(std::move(document), m_workspace.count());
        m_workspace.setActiveIndex(0);
        return added;
    }
    void type(EditorDocument& document, std::u16string text) {
        document.applyEdit(TextRange{document.length(), 0}, std::move(text));
        m_session->scheduleSave();
    }
    /// Waits for the queue and runs the completion steps posted to this thread.
    void settle() {
        m_session->drain();
        QCoreApplication::processEvents();
    }
    fs::path buffers() const { return m_session->store().buffersURL(); }
    bool hasBuffer(const EditorDocument& document) const {
        return fs::exists(buffers() / document.bufferFileName());
    }
    std::string bufferText(const EditorDocument& document) const {
        return test::readFileBytes(buffers() / document.bufferFileName());
    }

    test::TempDir m_temp;
    ManualTimer* m_timer = nullptr;
    std::unique_ptr<SessionController> m_session;
    Workspace m_workspace;
    QStringList m_errors;
};

TEST_F(SessionControllerTest, AKeystrokeWritesOnceAboutASecondLaterAndSteadyTypingEveryFiveSeconds) {
    EditorDocument& document = addDocument(u"");
    const auto start = m_timer->now();
    type(document, u"a");
    m_timer->advance(999ms);
    EXPECT_TRUE(m_timer->fired.empty());
    m_timer->advance(1ms);
    ASSERT_EQ(m_timer->fired.size(), 1u);
    EXPECT_EQ(m_timer->fired[0] - start, 1000ms);
    m_timer->advance(10s);
    EXPECT_EQ(m_timer->fired.size(), 1u) << "nothing changed since";
    settle();
    EXPECT_EQ(bufferText(document), "a");

    // Ten seconds of typing, a key every 100 ms: the quiet second never comes, so the cap
    // of five seconds after the first unsaved change decides.
    m_timer->fired.clear();
    const auto typingStart = m_timer->now();
    for (int i = 0; i < 100; ++i) {
        type(document, u"b");
        m_timer->advance(100ms);
    }
    ASSERT_EQ(m_timer->fired.size(), 2u);
    EXPECT_EQ(m_timer->fired[0] - typingStart, 5000ms);
    EXPECT_EQ(m_timer->fired[1] - typingStart, 10000ms);
    m_timer->advance(10s);
    EXPECT_EQ(m_timer->fired.size(), 2u) << "the second pass already took the last key";
    settle();
    EXPECT_EQ(bufferText(document), "a" + std::string(100, 'b'));
    EXPECT_EQ(m_session->saveCount(), 3);
    EXPECT_FALSE(m_session->lastError());
}

TEST_F(SessionControllerTest, UnchangedBuffersAreKeptNotRewrittenAndSavingDropsTheBuffer) {
    EditorDocument& untitled = addDocument(u"entwurf");
    EditorDocument& filed = addDocument(u"kayıtlı", /*withFile=*/true);
    type(filed, u" değişti");
    ASSERT_TRUE(filed.isDirty());
    EXPECT_FALSE(m_session->flush(true));
    ASSERT_TRUE(hasBuffer(untitled));
    ASSERT_TRUE(hasBuffer(filed));
    EXPECT_EQ(untitled.persistedRevision(), untitled.contentRevision());
    EXPECT_EQ(filed.bufferOnDisk(), filed.bufferFileName());

    // Mark the buffer so that a rewrite would show; the next pass must leave it alone.
    const auto stamp = fs::last_write_time(buffers() / untitled.bufferFileName());
    test::writeFileBytes(buffers() / untitled.bufferFileName(), "unberührt");
    fs::last_write_time(buffers() / untitled.bufferFileName(), stamp);
    type(filed, u"!");
    EXPECT_FALSE(m_session->flush(true));
    EXPECT_EQ(bufferText(untitled), "unberührt") << "unchanged text is not rewritten";
    EXPECT_EQ(bufferText(filed), "kayıtlı değişti!");

    // Saving makes the document clean: its bookkeeping is cleared and the pass prunes it.
    filed.setDirty(false);
    EXPECT_FALSE(m_session->flush(true));
    EXPECT_FALSE(hasBuffer(filed));
    EXPECT_FALSE(filed.bufferOnDisk());
    EXPECT_TRUE(hasBuffer(untitled));
    auto loaded = SessionStore(m_session->store().directory()).loadReadOnly();
    ASSERT_EQ(loaded.state.tabs.size(), 2u);
    EXPECT_EQ(loaded.state.tabs[0].bufferFile, untitled.bufferFileName());
    EXPECT_FALSE(loaded.state.tabs[1].bufferFile);
    EXPECT_EQ(loaded.state.selectedTabID, toCoreUuid(untitled.id()));
}

TEST_F(SessionControllerTest, AFailedPassRollsBackAndIsRetriedFiveSecondsLater) {
    EditorDocument& document = addDocument(u"");
    type(document, u"nicht verlieren");
    // A file where the buffers directory should be makes every buffer write fail.
    fs::remove_all(buffers());
    test::writeFileBytes(buffers(), "");
    QStringList statuses;
    QObject::connect(m_session.get(), &SessionController::statusMessage,
                     [&](const QString& text, int seconds) {
                         statuses << text + QString::number(seconds);
                     });
    m_timer->advance(1s);
    EXPECT_EQ(document.persistedRevision(), document.contentRevision()) << "optimistic";
    settle();
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_TRUE(m_session->lastError());
    EXPECT_EQ(statuses, QStringList{"Oturum kaydedilemedi4"});
    EXPECT_FALSE(document.persistedRevision()) << "rolled back, so the next pass rewrites it";
    EXPECT_TRUE(m_session->isTimerPending());
    EXPECT_EQ(m_timer->lastDelay, 5000ms);

    fs::remove(buffers());
    m_timer->advance(4999ms);
    EXPECT_EQ(m_session->saveCount(), 1);
    m_timer->advance(1ms);
    settle();
    EXPECT_EQ(m_session->saveCount(), 2);
    EXPECT_FALSE(m_session->lastError());
    EXPECT_EQ(bufferText(document), "nicht verlieren");
    EXPECT_EQ(document.persistedRevision(), document.contentRevision());

    // A synchronous flush reports its failure to the caller (the quit path decides on it).
    fs::remove_all(buffers());
    test::writeFileBytes(buffers(), "");
    type(document, u"?");
    auto failure = m_session->flush(true);
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->contains(QString::fromStdString(buffers().string())));
}

// A large unsaved text is copied for the pass over several event-loop turns, with typing in
// between; the pass writes exactly the text of the moment it captured, and the next passes
// copy only the chunks that changed.
TEST_F(SessionControllerTest, ALargeTextIsCopiedBetweenEventsAndThePassWritesWhatItCaptured) {
    constexpr std::int64_t chunk = TextChunkCache::defaultChunkUnits;
    std::u16string initial;
    for (std::int64_t i = 0; initial.size() < static_cast<std::size_t>(6 * chunk); ++i)
        initial += i % 9 == 8 ? u"öğe\n" : u"satır ";
    EditorDocument& document = addDocument(initial);
    m_session->setPreparationStepTime(0us); // one chunk per turn
    int edits = 0;
    auto edit = [&] {
        const std::int64_t length = document.length();
        const std::int64_t border = (edits % 5 + 1) * chunk;
        switch (edits++ % 6) {
        case 0: document.applyEdit({std::min(border, length), 0}, u"[sınır]"); break;
        case 1: document.applyEdit({std::min(border, length) - 4, 9}, u"<üstünden>"); break;
        case 2: document.applyEdit({0, 1}, u"Ş"); break;
        case 3: document.applyEdit({length, 0}, u"son"); break;
        // A surrogate pair across the writer's 64 Ki-unit blocks.
        case 4: document.applyEdit({65535, 0}, u"\U0001F600"); break;
        default: document.applyEdit({length / 2 - 2 * chunk, chunk + 3}, u""); break;
        }
        m_session->scheduleSave();
    };

    auto captureWhileTyping = [&] {
        (void)m_session->flush(false);
        int turns = 0;
        // Captured once the bookkeeping names the current revision.
        while (document.persistedRevision() != document.contentRevision() && turns < 500) {
            if (++turns % 3 == 1)
                edit();
            QCoreApplication::processEvents();
        }
        return turns;
    };
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const int turns = captureWhileTyping();
        ASSERT_EQ(document.persistedRevision(), document.contentRevision());
        EXPECT_GE(turns, 3) << "copied over several turns";
        const std::u16string captured = document.storage()->string();
        edit(); // typing goes on while the pass writes
        settle();
        ASSERT_FALSE(m_session->lastError());
        EXPECT_TRUE(bufferText(document) == utf8::encode(captured)) << "the buffer holds the captured text";
        EXPECT_GE(document.storage()->chunkCacheUnits(), document.length() - 2 * chunk)
            << "a pass is pending: the copies are kept for it";
        // Three chunks far apart change: more than a flush copies on the spot.
        document.applyEdit({0, 0}, u"a");
        document.applyEdit({3 * chunk + 10, 0}, u"b");
        document.applyEdit({document.length(), 0}, u"c");
    }

    // A change of one chunk is captured on the spot; with nothing pending, the copies go.
    captureWhileTyping();
    type(document, u"!"); // while that pass writes
    settle();
    (void)m_session->flush(false);
    EXPECT_EQ(document.persistedRevision(), document.contentRevision());
    settle();
    EXPECT_TRUE(bufferText(document) == utf8::encode(document.storage()->string()));
    EXPECT_EQ(document.storage()->chunkCacheUnits(), 0);
}

// A restored tab whose buffer cannot be read stays pending, and its buffer — possibly the
// only copy of its text, possibly under another UUID than the tab's — survives every pass.
TEST_F(SessionControllerTest, AnUnreadableRestoredBufferIsNeverPruned) {
    const Uuid tabID = Uuid::random();
    const std::string foreign = SessionStore::bufferName(Uuid::random());
    SessionTab tab;
    tab.id = tabID;
    tab.untitledNumber = 2;
    tab.bufferFile = foreign;
    tab.isDirty = true;
    SessionLoadResult loaded{SessionState({tab}, tabID), SessionLoadSource::primary, {}};
    RestoredSession restored = restoreSession(loaded);
    ASSERT_EQ(restored.documents.size(), 1u);
    EditorDocument& document = *restored.documents[0];
    EXPECT_EQ(document.pending().bufferName, foreign);
    m_workspace.insert(std::move(restored.documents[0]), m_workspace.count());

    // Something that is not a regular file stands in the buffer's place; pruning would
    // delete it like any file that no tab keeps.
    ASSERT_EQ(::mkfifo((buffers() / foreign).c_str(), 0600), 0);
    auto read = m_session->readBuffer(foreign);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().kind, BufferReadError::Kind::unreadable);

    EXPECT_FALSE(m_session->flush(true));
    EXPECT_TRUE(fs::exists(buffers() / foreign));
    EXPECT_TRUE(document.isDirty());
    EXPECT_EQ(document.sessionRecord().bufferFile, foreign);
    // Even a window that shows such a tab read-only must not lose the buffer.
    document.setReadOnly(true);
    EXPECT_FALSE(m_session->flush(true));
    EXPECT_TRUE(fs::exists(buffers() / foreign));
    document.setReadOnly(false);
    EXPECT_FALSE(m_session->flush(true));
    auto session = SessionStore(m_session->store().directory()).loadReadOnly();
    ASSERT_EQ(session.state.tabs.size(), 1u);
    EXPECT_EQ(session.state.tabs[0].bufferFile, foreign) << "the session still names it";
    EXPECT_EQ(session.source, SessionLoadSource::primary);
}

TEST(SessionRestoreTest, TabsBecomePendingDocumentsWithTheirBookkeeping) {
    auto tabWith = [](auto&& configure) {
        SessionTab tab;
        tab.id = Uuid::random();
        configure(tab);
        return tab;
    };
    // A file path that is not in composed form stays as it is: on Linux names are bytes.
    const std::string decomposed = "/tmp/Cafe\xCC\x81/notlar.txt";
    SessionTab buffered = tabWith([](SessionTab& t) {
        t.untitledNumber = 3;
        t.bufferFile = SessionStore::bufferName(t.id);
        t.isDirty = true;
        t.selectionLocation = 4;
        t.selectionLength = 2;
        t.scrollY = 120;
    });
    SessionTab filed = tabWith([&](SessionTab& t) {
        t.filePath = decomposed;
        t.bufferFile = SessionStore::bufferName(t.id);
        t.isDirty = true;
        t.diskSize = 42;
        t.diskModified = 1'700'000'000'000'000'123;
        t.encoding = TextEncoding::windows1254;
        t.lineEnding = LineEnding::crlf;
        t.languageID = "json";
    });
    SessionTab sameNumber = tabWith([](SessionTab& t) { t.untitledNumber = 3; });
    SessionTab noNumber = tabWith([](SessionTab& t) { t.isDirty = true; });
    SessionTab readOnly = tabWith([](SessionTab& t) {
        t.filePath = "/tmp/ikili.bin";
        t.isReadOnly = true;
    });
    SessionLoadResult loaded{
        SessionState({buffered, filed, sameNumber, noNumber, readOnly}, filed.id),
        SessionLoadSource::backup,
        {"session.json bozuk; session.json.corrupt olarak saklandı",
         "oturum session.json.bak'tan yüklendi"}};
    RestoredSession restored = restoreSession(loaded);
    ASSERT_EQ(restored.documents.size(), 5u);
    const auto& docs = restored.documents;
    EXPECT_EQ(restored.selectedIndex, 1u);
    EXPECT_EQ(restored.recoveryMessage,
              QStringLiteral("Oturum kurtarıldı: session.json bozuk; session.json.corrupt olarak "
                             "saklandı; oturum session.json.bak'tan yüklendi"));

    EXPECT_EQ(docs[0]->untitledNumber(), 3);
    EXPECT_EQ(docs[2]->untitledNumber(), 4) << "a number already taken moves past the largest";
    EXPECT_EQ(docs[3]->untitledNumber(), 5);
    EXPECT_FALSE(docs[1]->untitledNumber());
    EXPECT_FALSE(docs[3]->isDirty()) << "nothing to load: empty and clean";
    for (const auto& document : docs)
        EXPECT_FALSE(document->isLoaded()) << "no text is read while restoring";

    EXPECT_EQ(docs[0]->pending(), EditorDocument::PendingContent::ofBuffer(*buffered.bufferFile));
    EXPECT_EQ(docs[0]->bufferOnDisk(), buffered.bufferFile);
    EXPECT_EQ(docs[0]->persistedRevision(), docs[0]->contentRevision());
    EXPECT_EQ(docs[0]->selection(), (TextRange{4, 2}));
    EXPECT_EQ(docs[0]->scrollOrigin().y(), 120);
    EXPECT_EQ(docs[1]->fileURL(), QString::fromStdString(decomposed));
    EXPECT_EQ(docs[1]->fileURL()->toStdString(), decomposed);
    EXPECT_EQ(docs[1]->diskStamp(), (DiskStamp{42, 1'700'000'000'000'000'123}));
    EXPECT_EQ(docs[1]->encoding(), TextEncoding::windows1254);
    EXPECT_EQ(docs[4]->pending(), EditorDocument::PendingContent::ofFile());
    EXPECT_TRUE(docs[4]->isReadOnly());

    // Written back unchanged, every tab reads as it was (the stamp included).
    for (std::size_t i : {0u, 1u, 4u})
        EXPECT_EQ(docs[i]->sessionRecord(), loaded.state.tabs[i]) << i;

    RestoredSession empty = restoreSession({});
    ASSERT_EQ(empty.documents.size(), 1u);
    EXPECT_EQ(empty.documents[0]->untitledNumber(), 1);
    EXPECT_FALSE(empty.recoveryMessage);
}

} // namespace
} // namespace vendrix::app
