#include "core/persistence/FileSettingsBacking.h"
#include "core/persistence/SessionStore.h"
#include "support/CliRunner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <map>

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

using test::CliRun;

const test::CliRunner cli{VENDRIX_CLI_PATH};

std::string quoted(const fs::path& path) {
    return test::shellQuoted(path.string());
}

/// Names, contents and modification times of every file under `root`.
std::map<std::string, std::pair<std::string, std::int64_t>> snapshot(const fs::path& root) {
    std::map<std::string, std::pair<std::string, std::int64_t>> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        std::string content = entry.is_regular_file() ? test::readFileBytes(entry.path()) : "";
        files[fs::relative(entry.path(), root).string()] = {
            content, info.st_mtim.tv_sec * 1'000'000'000LL + info.st_mtim.tv_nsec};
    }
    return files;
}

TEST(PersistenceCliTest, SessionShowsARealDamagedSessionWithoutTouchingIt) {
    test::TempDir temp;
    fs::path dir = temp.path() / "Vendrix";
    SessionTab untitled, file, recent;
    untitled.id = Uuid::random();
    untitled.untitledNumber = 1;
    untitled.isDirty = true;
    untitled.bufferFile = SessionStore::bufferName(untitled.id);
    file.id = Uuid::random();
    file.filePath = "/home/ayşe/not.md";
    file.languageID = "markdown";
    file.encoding = TextEncoding::windows1254;
    file.lineEnding = LineEnding::crlf;
    file.selectionLocation = 5;
    file.scrollY = 40.5;
    recent.id = Uuid::random();
    recent.untitledNumber = 2;
    recent.isDirty = true;
    recent.bufferFile = SessionStore::bufferName(recent.id);

    auto holder = std::make_unique<SessionStore>(dir);
    ASSERT_TRUE(holder->prepareDirectory());
    ASSERT_TRUE(holder->acquireLock());
    (void)holder->load();
    ASSERT_TRUE(holder->writeBuffer(u"merhaba 😀", *untitled.bufferFile));
    ASSERT_TRUE(holder->writeSession(SessionState({untitled, file}, file.id)));
    ASSERT_TRUE(holder->writeSession(SessionState({untitled, file}, file.id)));
    // A tab opened afterwards whose session write never happened, then a damaged primary.
    ASSERT_TRUE(holder->writeBuffer(u"son", *recent.bufferFile));
    test::writeFileBytes(dir / "session.json", "{\"version\": 1, \"tabs\": [");
    auto before = snapshot(dir);

    // The editor still holds the lock: the command needs none.
    CliRun run = cli.run("session " + quoted(dir));
    ASSERT_EQ(run.status, 0) << run.err;
    json output = json::parse(run.out);
    EXPECT_EQ(output["source"], "backup");
    EXPECT_EQ(output["warnings"],
              json({"session.json bozuk", "oturum session.json.bak'tan yüklendi",
                    "1 buffer dosyası adsız sekme olarak kurtarıldı"}));
    EXPECT_EQ(output["selectedTabID"], file.id.uuidString());
    ASSERT_EQ(output["tabs"].size(), 3u);
    json first = output["tabs"][0];
    EXPECT_EQ(first["id"], untitled.id.uuidString());
    EXPECT_EQ(first["bufferLength"], 10) << "UTF-16 units: 8 letters and a surrogate pair";
    EXPECT_EQ(first["untitledNumber"], 1);
    json second = output["tabs"][1];
    EXPECT_EQ(second["bufferLength"], nullptr);
    EXPECT_EQ(second["filePath"], "/home/ayşe/not.md");
    EXPECT_EQ(second["encoding"], "windows-1254");
    EXPECT_EQ(second["lineEnding"], "crlf");
    EXPECT_EQ(second["scrollY"], 40.5);
    EXPECT_FALSE(second.contains("bufferFile"));
    EXPECT_EQ(output["tabs"][2]["bufferFile"], *recent.bufferFile);
    EXPECT_EQ(output["tabs"][2]["bufferLength"], 3);

    EXPECT_EQ(snapshot(dir), before) << "the command must change nothing on disk";
}

TEST(PersistenceCliTest, SessionDefaultsToTheXdgDataDirectory) {
    test::TempDir temp;
    {
        SessionStore store(temp.path() / "Vendrix");
        ASSERT_TRUE(store.prepareDirectory());
        SessionTab tab;
        tab.id = Uuid::random();
        ASSERT_TRUE(store.writeSession(SessionState({tab}, tab.id)));
    }
    CliRun run = cli.run("session", test::withEnvironment("XDG_DATA_HOME", temp.path().string()));
    ASSERT_EQ(run.status, 0) << run.err;
    json output = json::parse(run.out);
    EXPECT_EQ(output["source"], "primary");
    EXPECT_EQ(output["warnings"], json::array());
    EXPECT_EQ(output["tabs"].size(), 1u);

    CliRun missing = cli.run("session " + quoted(temp.path() / "nowhere"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("nowhere"), std::string::npos);
    EXPECT_EQ(cli.run("session a b").status, 2);
}

TEST(PersistenceCliTest, SettingsShowsLoadedValuesAndLeavesADamagedFileAlone) {
    test::TempDir temp;
    fs::path file = temp.path() / "Vendrix" / "settings.plist";
    fs::create_directories(file.parent_path());
    test::writeFileBytes(file, FileSettingsBacking::serialize({
                                   {"editor.fontSize", 100.0},
                                   {"editor.tabWidth", 2.9},
                                   {"editor.theme", "dark"},
                                   {"editor.prettyOnOpen", "Always"},
                                   {"editor.showInvisibles", std::int64_t{1}},
                                   {"editor.fontName", "Fira Code"},
                               }));
    CliRun run =
        cli.run("settings", test::withEnvironment("XDG_CONFIG_HOME", temp.path().string()));
    ASSERT_EQ(run.status, 0) << run.err;
    json output = json::parse(run.out);
    EXPECT_EQ(output, json({{"editor.fontName", "Fira Code"},
                            {"editor.fontSize", 72.0},
                            {"editor.tabWidth", 2},
                            {"editor.insertSpaces", false},
                            {"editor.wrapByDefault", false},
                            {"editor.theme", "dark"},
                            {"editor.highlightSelectedWord", true},
                            {"editor.showInvisibles", true},
                            {"editor.multilineTabs", true},
                            {"editor.prettyOnOpen", "ask"}}));

    test::writeFileBytes(file, "not a plist");
    CliRun damaged = cli.run("settings " + quoted(file));
    ASSERT_EQ(damaged.status, 0);
    EXPECT_NE(damaged.err.find("not a property-list dictionary"), std::string::npos);
    EXPECT_EQ(json::parse(damaged.out)["editor.tabWidth"], 4);
    EXPECT_EQ(test::readFileBytes(file), "not a plist");
    EXPECT_FALSE(fs::exists(file.string() + ".corrupt"));
}

} // namespace
} // namespace vendrix
