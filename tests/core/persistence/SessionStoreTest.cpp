#include "core/common/Utf8.h"
#include "core/persistence/SessionStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using test::readFileBytes;
using test::u16;
using test::writeFileBytes;

constexpr std::string_view kPrimaryDamaged =
    "session.json bozuk; session.json.corrupt olarak saklandı";
constexpr std::string_view kFromBackup = "oturum session.json.bak'tan yüklendi";
constexpr std::string_view kBackupDamaged = "session.json.bak bozuk";

std::string recovered(int count) {
    return std::to_string(count) + " buffer dosyası adsız sekme olarak kurtarıldı";
}

unsigned modeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

void setModifiedTime(const fs::path& path, std::int64_t seconds) {
    timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

std::set<std::string> entriesOf(const fs::path& directory) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.insert(entry.path().filename().string());
    return names;
}

/// A tab the way the editor holds it: its record and, when dirty, its text.
struct EditorTab {
    SessionTab record;
    std::u16string text;
};

EditorTab dirtyTab(std::string_view text, std::int64_t untitled = 1) {
    EditorTab tab;
    tab.record.id = Uuid::random();
    tab.record.untitledNumber = untitled;
    tab.record.isDirty = true;
    tab.record.bufferFile = SessionStore::bufferName(tab.record.id);
    tab.text = u16(text);
    return tab;
}

class SessionStoreTest : public ::testing::Test {
protected:
    fs::path dir() const { return m_temp.path() / "data" / "Vendrix"; }

    /// What the application does at start: prepare, lock, load.
    std::unique_ptr<SessionStore> start(SessionLoadResult* result = nullptr) {
        auto store = std::make_unique<SessionStore>(dir());
        EXPECT_TRUE(store->prepareDirectory());
        EXPECT_TRUE(store->acquireLock());
        auto loaded = store->load();
        if (result)
            *result = loaded;
        return store;
    }

    /// One write pass of the session controller: buffers, then the session, then pruning.
    static void writePass(SessionStore& store, const std::vector<EditorTab>& tabs) {
        std::vector<SessionTab> records;
        std::set<std::string> keep;
        for (const auto& tab : tabs) {
            if (tab.record.bufferFile) {
                ASSERT_TRUE(store.writeBuffer(tab.text, *tab.record.bufferFile));
                keep.insert(*tab.record.bufferFile);
            }
            records.push_back(tab.record);
        }
        ASSERT_TRUE(store.writeSession(
            SessionState(records, records.empty() ? std::nullopt : std::optional(records[0].id))));
        (void)store.pruneBuffers(keep);
    }

    /// Every unsaved text a fresh start would restore, by tab.
    std::multiset<std::u16string> restoredTexts() {
        SessionStore store(dir());
        auto result = store.loadReadOnly();
        std::multiset<std::u16string> texts;
        for (const auto& tab : result.state.tabs)
            if (tab.bufferFile)
                if (auto text = store.readBuffer(*tab.bufferFile))
                    texts.insert(*text);
        return texts;
    }

    test::TempDir m_temp;
};

TEST_F(SessionStoreTest, EmptyDirectoryStartsFreshWithPrivateDirectories) {
    SessionLoadResult result;
    auto store = start(&result);
    EXPECT_EQ(result, (SessionLoadResult{SessionState{}, SessionLoadSource::fresh, {}}));
    EXPECT_EQ(modeOf(dir()), 0700u);
    EXPECT_EQ(modeOf(store->buffersURL()), 0700u);
    EXPECT_TRUE(fs::exists(store->lockURL()));
    EXPECT_FALSE(store->primaryIsGood());
}

TEST_F(SessionStoreTest, WritePassRoundTripsAndRotatesTheBackupOnlyFromAGoodPrimary) {
    auto store = start();
    EditorTab a = dirtyTab("birinci sekme\nçok satır"), b = dirtyTab("😀 ikinci", 2);
    SessionTab clean;
    clean.id = Uuid::random();
    clean.filePath = "/etc/hostname";
    writePass(*store, {a, b, {clean, {}}});
    EXPECT_FALSE(fs::exists(store->backupURL())) << "no good primary existed to back up";
    EXPECT_EQ(modeOf(store->sessionURL()), 0600u);
    EXPECT_EQ(modeOf(store->buffersURL() / *a.record.bufferFile), 0600u);
    std::string firstWrite = readFileBytes(store->sessionURL());

    a.text = u16("değişti");
    writePass(*store, {a, b});
    EXPECT_EQ(readFileBytes(store->backupURL()), firstWrite);
    EXPECT_FALSE(fs::exists(fs::path(store->backupURL().string() + ".link")));
    store.reset();

    SessionLoadResult result;
    store = start(&result);
    EXPECT_EQ(result.source, SessionLoadSource::primary);
    EXPECT_TRUE(result.warnings.empty());
    ASSERT_EQ(result.state.tabs.size(), 2u);
    EXPECT_EQ(result.state.tabs[0], a.record);
    EXPECT_EQ(store->readBuffer(*a.record.bufferFile), u16("değişti"));
    EXPECT_EQ(store->readBuffer(*b.record.bufferFile), u16("😀 ikinci"));
    EXPECT_TRUE(store->primaryIsGood());
}

TEST_F(SessionStoreTest, DamagedPrimaryIsQuarantinedAndTheBackupServes) {
    struct Case {
        const char* name;
        std::function<std::string(const std::string&)> damage;
    };
    const Case cases[] = {
        {"truncated", [](const std::string& good) { return good.substr(0, good.size() / 2); }},
        {"empty", [](const std::string&) { return std::string(); }},
        {"other format version",
         [](const std::string& good) {
             std::string v2 = good;
             v2.replace(v2.find("\"version\": 1"), 12, "\"version\": 2");
             return v2;
         }},
        {"binary garbage", [](const std::string&) { return std::string("\0\x01\xFF{", 4); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir());
        EditorTab older = dirtyTab("eski metin"), newer = dirtyTab("yeni metin", 2);
        {
            auto store = start();
            writePass(*store, {older});
            writePass(*store, {older, newer}); // the backup now lists only `older`
        }
        std::string good = readFileBytes(dir() / "session.json");
        std::string damaged = c.damage(good);
        writeFileBytes(dir() / "session.json", damaged);

        SessionLoadResult result;
        auto store = start(&result);
        EXPECT_EQ(result.source, SessionLoadSource::backup);
        // `newer` is not in the backup, but its buffer is: it comes back as a recovered tab.
        EXPECT_EQ(result.warnings,
                  (std::vector<std::string>{std::string(kPrimaryDamaged), std::string(kFromBackup),
                                            recovered(1)}));
        ASSERT_EQ(result.state.tabs.size(), 2u);
        EXPECT_EQ(result.state.tabs[0].id, older.record.id);
        EXPECT_EQ(result.state.tabs[1].id, newer.record.id);
        EXPECT_EQ(readFileBytes(store->corruptURL()), damaged);
        EXPECT_EQ(modeOf(store->corruptURL()), 0600u);
        EXPECT_FALSE(fs::exists(store->sessionURL()));

        // The first write after a backup load must not replace the good backup.
        std::string backupBefore = readFileBytes(store->backupURL());
        std::vector<EditorTab> restored = {older, newer};
        restored[1].record = result.state.tabs[1];
        writePass(*store, restored);
        EXPECT_EQ(readFileBytes(store->backupURL()), backupBefore);
        std::string firstOutput = readFileBytes(store->sessionURL());
        restored[0].record.scrollY = 99;
        writePass(*store, restored);
        EXPECT_EQ(readFileBytes(store->backupURL()), firstOutput);
        EXPECT_EQ(restoredTexts(),
                  (std::multiset<std::u16string>{u16("eski metin"), u16("yeni metin")}));
    }
}

TEST_F(SessionStoreTest, EmptyPrimaryWithoutBackupOrBuffersGivesAFreshSession) {
    fs::create_directories(dir());
    writeFileBytes(dir() / "session.json", "");
    SessionLoadResult result;
    auto store = start(&result);
    EXPECT_EQ(result.source, SessionLoadSource::fresh);
    EXPECT_EQ(result.warnings, std::vector<std::string>{std::string(kPrimaryDamaged)});
    EXPECT_TRUE(fs::exists(store->corruptURL()));
}

TEST_F(SessionStoreTest, BothFilesDamagedRebuildsTabsFromBuffersOldestFirst) {
    EditorTab first = dirtyTab("ilk"), second = dirtyTab("ikinci", 2);
    {
        auto store = start();
        writePass(*store, {second, first});
        writePass(*store, {second, first});
    }
    writeFileBytes(dir() / "session.json", "{\"version\":1,");
    writeFileBytes(dir() / "session.json.bak", "[]");
    writeFileBytes(dir() / "buffers" / "notes.txt", "not a buffer");
    setModifiedTime(dir() / "buffers" / *first.record.bufferFile, 1000);
    setModifiedTime(dir() / "buffers" / *second.record.bufferFile, 2000);

    SessionLoadResult result;
    auto store = start(&result);
    EXPECT_EQ(result.source, SessionLoadSource::recoveredBuffers);
    EXPECT_EQ(result.warnings,
              (std::vector<std::string>{std::string(kPrimaryDamaged), std::string(kBackupDamaged),
                                        recovered(2)}));
    ASSERT_EQ(result.state.tabs.size(), 2u);
    SessionTab expected;
    expected.id = first.record.id;
    expected.bufferFile = first.record.bufferFile;
    expected.isDirty = true;
    EXPECT_EQ(result.state.tabs[0], expected);
    EXPECT_EQ(result.state.tabs[1].id, second.record.id);
    EXPECT_EQ(result.state.selectedTabID, first.record.id);
    EXPECT_TRUE(fs::exists(store->backupURL())) << "a damaged backup stays in place";

    // The application restores them and writes at once; the text survives the rewrite.
    std::vector<EditorTab> restored;
    for (const auto& tab : result.state.tabs)
        restored.push_back({tab, *store->readBuffer(*tab.bufferFile)});
    writePass(*store, restored);
    EXPECT_FALSE(fs::exists(store->buffersURL() / "notes.txt"));
    EXPECT_EQ(restoredTexts(), (std::multiset<std::u16string>{u16("ilk"), u16("ikinci")}));
    SessionStore again(dir());
    EXPECT_EQ(again.loadReadOnly().source, SessionLoadSource::primary);
}

TEST_F(SessionStoreTest, InterruptedPassBetweenBuffersAndSessionLosesNoText) {
    EditorTab a = dirtyTab("a, ilk hali");
    {
        auto store = start();
        writePass(*store, {a});
        // The next pass wrote its buffers, then the process died before writeSession.
        ASSERT_TRUE(store->writeBuffer(u16("a, son hali"), *a.record.bufferFile));
        EditorTab b = dirtyTab("b, yeni sekme", 2);
        ASSERT_TRUE(store->writeBuffer(b.text, *b.record.bufferFile));
    }
    SessionLoadResult result;
    auto store = start(&result);
    EXPECT_EQ(result.source, SessionLoadSource::primary);
    EXPECT_EQ(result.warnings, std::vector<std::string>{recovered(1)});
    ASSERT_EQ(result.state.tabs.size(), 2u);
    EXPECT_EQ(store->readBuffer(*result.state.tabs[0].bufferFile), u16("a, son hali"));

    std::vector<EditorTab> restored;
    for (const auto& tab : result.state.tabs)
        restored.push_back({tab, *store->readBuffer(*tab.bufferFile)});
    writePass(*store, restored);
    EXPECT_EQ(restoredTexts(),
              (std::multiset<std::u16string>{u16("a, son hali"), u16("b, yeni sekme")}));
}

TEST_F(SessionStoreTest, StaleLinkFileDoesNotStopRotation) {
    EditorTab a = dirtyTab("metin");
    {
        auto store = start();
        writePass(*store, {a});
    }
    std::string previous = readFileBytes(dir() / "session.json");
    fs::path link = dir() / "session.json.bak.link";
    writeFileBytes(link, "left over from a crash");

    auto store = start();
    a.text = u16("metin 2");
    writePass(*store, {a});
    EXPECT_EQ(readFileBytes(store->backupURL()), previous);
    EXPECT_FALSE(fs::exists(link));

    // A link name that cannot be removed only skips the rotation; the write still happens.
    fs::create_directory(link);
    writeFileBytes(link / "x", "");
    std::string backupBefore = readFileBytes(store->backupURL());
    a.text = u16("metin 3");
    writePass(*store, {a});
    EXPECT_EQ(readFileBytes(store->backupURL()), backupBefore);
    EXPECT_EQ(restoredTexts(), std::multiset<std::u16string>{u16("metin 3")});
}

TEST_F(SessionStoreTest, PrepareDirectoryTightensPermissionsAndReplacesAFileNamedBuffers) {
    fs::create_directories(dir());
    ::chmod(dir().c_str(), 0755);
    writeFileBytes(dir() / "buffers", "not a directory");
    writeFileBytes(dir() / "session.json", "{}");
    ::chmod((dir() / "session.json").c_str(), 0644);
    {
        SessionStore store(dir());
        ASSERT_TRUE(store.prepareDirectory());
    }
    fs::path buffer = dir() / "buffers" / (Uuid::random().uuidString() + ".txt");
    writeFileBytes(buffer, "x");
    ::chmod(buffer.c_str(), 0666);
    fs::path target = m_temp.path() / "elsewhere";
    writeFileBytes(target, "");
    ::chmod(target.c_str(), 0644);
    fs::create_symlink(target, dir() / "buffers" / "link");

    SessionStore store(dir());
    ASSERT_TRUE(store.prepareDirectory());
    EXPECT_EQ(modeOf(dir()), 0700u);
    EXPECT_EQ(modeOf(store.buffersURL()), 0700u);
    EXPECT_EQ(modeOf(store.sessionURL()), 0600u);
    EXPECT_EQ(modeOf(buffer), 0600u);
    EXPECT_EQ(modeOf(target), 0644u) << "links are not followed";

    writeFileBytes(m_temp.path() / "plain-file", "");
    SessionStore blocked(m_temp.path() / "plain-file" / "Vendrix");
    auto prepared = blocked.prepareDirectory();
    ASSERT_FALSE(prepared);
    EXPECT_EQ(prepared.error().operation, "mkdir");
}

TEST_F(SessionStoreTest, LockRefusesASecondStoreInTheSameProcess) {
    auto first = std::make_unique<SessionStore>(dir());
    ASSERT_TRUE(first->prepareDirectory());
    EXPECT_TRUE(first->acquireLock());
    EXPECT_TRUE(first->acquireLock()) << "taking it again is a no-op";
    SessionStore second(dir());
    EXPECT_FALSE(second.acquireLock());
    EXPECT_EQ(second.lockFD(), -1);
    first.reset();
    EXPECT_TRUE(second.acquireLock());

    // Another process is refused while this one holds the lock.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SessionStore other(dir());
        ::_exit(other.acquireLock() ? 1 : 0);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other process got the lock";

    SessionStore nowhere(m_temp.path() / "missing");
    EXPECT_FALSE(nowhere.acquireLock());
}

TEST_F(SessionStoreTest, BufferNameSpellingDifferingInCaseIsReadAndKept) {
    auto store = start();
    Uuid id = Uuid::random();
    std::string upper = SessionStore::bufferName(id);
    std::string lower = upper;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    lower.replace(lower.size() - 4, 4, ".txt");
    ASSERT_TRUE(store->writeBuffer(u16("büyük harfli"), upper));

    EXPECT_EQ(store->readBuffer(lower), u16("büyük harfli"));
    EXPECT_EQ(store->pruneBuffers({lower}), std::vector<std::string>{});
    EXPECT_TRUE(fs::exists(store->buffersURL() / upper));

    // A session that names the file in lower case neither loses it nor adopts it twice.
    SessionTab tab;
    tab.id = id;
    tab.isDirty = true;
    tab.bufferFile = lower;
    ASSERT_TRUE(store->writeSession(SessionState({tab}, id)));
    auto result = SessionStore(dir()).loadReadOnly();
    EXPECT_TRUE(result.warnings.empty());
    EXPECT_EQ(result.state.tabs.size(), 1u);

    // Once the editor writes the canonical name, the old spelling is superseded.
    ASSERT_TRUE(store->writeBuffer(u16("yeni"), upper));
    EXPECT_EQ(store->pruneBuffers({upper}), std::vector<std::string>{});
}

// Two spellings of one buffer on disk and a third named in the session: the newest file is the
// tab's text, whichever spelling it has, and the older one is adopted as a tab of its own,
// never pruned as if it were the tab's.
TEST_F(SessionStoreTest, OfSeveralSpellingsTheNewestFileIsTheTabsText) {
    const Uuid id = *Uuid::parse("0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D");
    const std::string upper = SessionStore::bufferName(id);
    const std::string lower = "0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d.txt";
    const std::string named = "0a1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D.txt";
    for (const bool upperIsNewer : {false, true}) {
        auto store = start();
        const std::string& newer = upperIsNewer ? upper : lower;
        const std::string& older = upperIsNewer ? lower : upper;
        writeFileBytes(store->buffersURL() / newer, "son yazılan");
        writeFileBytes(store->buffersURL() / older, "eski yazılan");
        setModifiedTime(store->buffersURL() / newer, 2'000'000);
        setModifiedTime(store->buffersURL() / older, 1'000'000);
        SessionTab tab;
        tab.id = id;
        tab.isDirty = true;
        tab.bufferFile = named;
        ASSERT_TRUE(store->writeSession(SessionState({tab}, id)));

        EXPECT_EQ(store->readBuffer(named), u16("son yazılan")) << newer;
        auto result = SessionStore(dir()).loadReadOnly();
        ASSERT_EQ(result.state.tabs.size(), 2u) << newer;
        EXPECT_EQ(result.state.tabs[1].bufferFile, older);
        EXPECT_EQ(store->pruneBuffers({named}), std::vector<std::string>{older});
        EXPECT_EQ(entriesOf(store->buffersURL()), std::set<std::string>{newer});
        store.reset();
        fs::remove_all(dir());
    }
}

// A text read piece by piece is written byte for byte as the same text in one string:
// surrogate pairs across the writer's 64 Ki-unit blocks stay whole, lone ones become U+FFFD.
TEST_F(SessionStoreTest, BufferFromATextSourceMatchesTheWholeString) {
    auto store = start();
    const std::string name = SessionStore::bufferName(Uuid::random());
    std::u16string text(65535, u'a');
    text += u"\U0001F600"; // high surrogate last in the first block
    text += std::u16string(65534, u'b');
    text += char16_t(0xDC00); // a lone low surrogate first in the third block
    text += u"ğ";
    text += u"\uFEFF\u0000\u07FF\u0800\uFFFF\U0010FFFF";
    text += char16_t(0xD800); // a lone high surrogate at the very end
    for (const std::u16string& sample : {text, text.substr(0, 65536), std::u16string()}) {
        ASSERT_TRUE(store->writeBuffer(StringTextSource(sample), name));
        EXPECT_TRUE(readFileBytes(store->buffersURL() / name) == utf8::encode(sample)) << sample.size();
        // Read back as the general decoder reads the same bytes (lone surrogates as U+FFFD).
        EXPECT_TRUE(store->readBuffer(name) == utf8::decode(utf8::encode(sample))) << sample.size();
    }
}

TEST_F(SessionStoreTest, StaleCopyUnderAnotherSpellingIsAdoptedUnderAFreshIdentity) {
    auto store = start();
    EditorTab a = dirtyTab("güncel");
    writePass(*store, {a});
    std::string lower = *a.record.bufferFile;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    writeFileBytes(store->buffersURL() / lower, "eski kopya");

    auto result = SessionStore(dir()).loadReadOnly();
    ASSERT_EQ(result.state.tabs.size(), 2u);
    EXPECT_EQ(result.warnings, std::vector<std::string>{recovered(1)});
    EXPECT_NE(result.state.tabs[1].id, a.record.id);
    EXPECT_EQ(result.state.tabs[1].bufferFile, lower);
    EXPECT_EQ(restoredTexts(), (std::multiset<std::u16string>{u16("güncel"), u16("eski kopya")}));
}

TEST_F(SessionStoreTest, PruneDeletesEverythingUnkeptExceptDirectories) {
    auto store = start();
    std::string kept = SessionStore::bufferName(Uuid::random());
    std::string orphan = SessionStore::bufferName(Uuid::random());
    writeFileBytes(store->buffersURL() / kept, "k");
    writeFileBytes(store->buffersURL() / orphan, "o");
    writeFileBytes(store->buffersURL() / ".X.txt.1234.tmp", "");
    writeFileBytes(store->buffersURL() / "b-notes", "");
    fs::create_directory(store->buffersURL() / "subdir");
    fs::create_symlink("/nonexistent", store->buffersURL() / "a-dangling");
    auto deleted = store->pruneBuffers({kept});
    std::vector<std::string> expected{".X.txt.1234.tmp", "a-dangling", "b-notes", orphan};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(deleted, expected);
    EXPECT_EQ(entriesOf(store->buffersURL()), (std::set<std::string>{kept, "subdir"}));
}

TEST_F(SessionStoreTest, ReadBufferRefusesLinksAndSpecialFilesAndRepairsBadUtf8) {
    using Kind = BufferReadError::Kind;
    auto kindOf = [](const auto& read) { return read ? std::nullopt : std::optional(read.error().kind); };
    auto store = start();
    std::string name = SessionStore::bufferName(Uuid::random());
    writeFileBytes(m_temp.path() / "target", "secret");
    fs::create_symlink(m_temp.path() / "target", store->buffersURL() / name);
    EXPECT_EQ(kindOf(store->readBuffer(name)), Kind::unreadable);

    std::string fifo = SessionStore::bufferName(Uuid::random());
    ASSERT_EQ(::mkfifo((store->buffersURL() / fifo).c_str(), 0600), 0);
    EXPECT_EQ(kindOf(store->readBuffer(fifo)), Kind::unreadable) << "must not block";

    std::string bad = SessionStore::bufferName(Uuid::random());
    writeFileBytes(store->buffersURL() / bad, std::string("a\xC3(b\xF0\x9F\x98", 7));
    EXPECT_EQ(store->readBuffer(bad), u"a\uFFFD(b\uFFFD");
    std::string empty = SessionStore::bufferName(Uuid::random());
    writeFileBytes(store->buffersURL() / empty, "");
    EXPECT_EQ(store->readBuffer(empty), u"");
    EXPECT_EQ(kindOf(store->readBuffer("../session.json")), Kind::unreadable);
    EXPECT_EQ(kindOf(store->readBuffer(SessionStore::bufferName(Uuid::random()))), Kind::missing);
}

// Only "no such file" may count as missing: anything else that stands in the buffer's place
// means the text may still exist, and a caller that took it for missing would let the next
// pass prune the only copy.
TEST_F(SessionStoreTest, ReadBufferTellsAMissingBufferFromAnUnreadableOne) {
    using Kind = BufferReadError::Kind;
    auto store = start();
    std::string directory = SessionStore::bufferName(Uuid::random());
    fs::create_directory(store->buffersURL() / directory);
    auto read = store->readBuffer(directory);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().kind, Kind::unreadable);
    EXPECT_NE(read.error().errnoValue, ENOENT);

    // Without a buffers directory nothing can be there.
    fs::remove_all(store->buffersURL());
    read = store->readBuffer(SessionStore::bufferName(Uuid::random()));
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().kind, Kind::missing);
    // A file standing where the directory should be is not "no such file".
    writeFileBytes(store->buffersURL(), "kein Verzeichnis");
    read = store->readBuffer(SessionStore::bufferName(Uuid::random()));
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().kind, Kind::unreadable);
}

TEST_F(SessionStoreTest, WriteBufferRefusesBadNamesAndRecreatesAMissingDirectory) {
    auto store = start();
    auto refused = store->writeBuffer(u"x", "../session.json");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().operation, "name");
    EXPECT_FALSE(fs::exists(dir() / "session.json"));

    fs::remove_all(store->buffersURL());
    std::string name = SessionStore::bufferName(Uuid::random());
    ASSERT_TRUE(store->writeBuffer(u"\xD800 yalnız", name));
    EXPECT_EQ(store->readBuffer(name), u"\uFFFD yalnız");
}

TEST_F(SessionStoreTest, FailedSessionWriteKeepsStateAndAnUnreadablePrimaryIsSetAside) {
    fs::create_directories(dir() / "session.json" / "inner");
    SessionLoadResult result;
    auto store = start(&result);
    EXPECT_EQ(result.warnings, std::vector<std::string>{std::string(kPrimaryDamaged)});
    EXPECT_TRUE(fs::is_directory(store->corruptURL()));
    ASSERT_TRUE(store->writeSession(SessionState{}));

    fs::remove(store->sessionURL());
    fs::create_directories(store->sessionURL() / "blocker");
    SessionStore other(dir());
    auto written = other.writeSession(SessionState{});
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().operation, "rename");
    EXPECT_FALSE(other.primaryIsGood());
}

TEST_F(SessionStoreTest, ReadOnlyLoadChangesNothingOnDisk) {
    EditorTab a = dirtyTab("x");
    {
        auto store = start();
        writePass(*store, {a});
        writePass(*store, {a});
    }
    writeFileBytes(dir() / "session.json", "garbage");
    auto before = entriesOf(dir());
    SessionStore store(dir());
    auto result = store.loadReadOnly();
    EXPECT_EQ(result.source, SessionLoadSource::backup);
    EXPECT_EQ(result.warnings,
              (std::vector<std::string>{"session.json bozuk", std::string(kFromBackup)}));
    EXPECT_EQ(entriesOf(dir()), before);
    EXPECT_EQ(readFileBytes(dir() / "session.json"), "garbage");
    EXPECT_EQ(store.lockFD(), -1);
    EXPECT_FALSE(store.primaryIsGood());
}

TEST(SessionStoreNamesTest, BufferNameRules) {
    Uuid id = *Uuid::parse("0b7e4d3c-2a19-4f8e-9d6c-5b4a39281706");
    EXPECT_EQ(SessionStore::bufferName(id), "0B7E4D3C-2A19-4F8E-9D6C-5B4A39281706.txt");
    EXPECT_TRUE(SessionStore::isValidBufferName("0b7e4d3c-2a19-4f8e-9d6c-5b4a39281706.txt"));
    for (std::string_view bad :
         {"0B7E4D3C-2A19-4F8E-9D6C-5B4A39281706.TXT", "0B7E4D3C-2A19-4F8E-9D6C-5B4A39281706.md",
          "0B7E4D3C-2A19-4F8E-9D6C-5B4A39281706", "notes.txt", ".txt",
          "x/0B7E4D3C-2A19-4F8E-9D6C-5B4A39281706.txt"})
        EXPECT_FALSE(SessionStore::isValidBufferName(bad)) << bad;
    for (auto source : {SessionLoadSource::primary, SessionLoadSource::backup,
                        SessionLoadSource::recoveredBuffers, SessionLoadSource::fresh})
        EXPECT_EQ(sessionLoadSource::fromRawValue(sessionLoadSource::rawValue(source)), source);
    EXPECT_EQ(sessionLoadSource::rawValue(SessionLoadSource::recoveredBuffers), "recoveredBuffers");
}

} // namespace
} // namespace vendrix
