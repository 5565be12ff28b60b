#include "core/persistence/FileSettingsBacking.h"
#include "core/persistence/SettingsStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <limits>
#include <set>

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using test::readFileBytes;
using test::u16;
using test::writeFileBytes;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::u16string repeated(std::u16string_view unit, int count) {
    std::u16string text;
    for (int i = 0; i < count; ++i)
        text += unit;
    return text;
}

EditorSettings loadWith(std::string_view key, SettingsValue value) {
    MemorySettingsBacking backing({{std::string(key), std::move(value)}});
    return SettingsStore(backing).load();
}

TEST(EditorSettingsTest, ClampingTable) {
    struct Case {
        const char* name;
        std::string_view key;
        SettingsValue stored;
        std::function<bool(const EditorSettings&)> expect;
    };
    const Case cases[] = {
        {"font size 3", "editor.fontSize", 3, [](auto& s) { return s.fontSize == 6.0; }},
        {"font size 100", "editor.fontSize", 100.0, [](auto& s) { return s.fontSize == 72.0; }},
        {"font size 14.5", "editor.fontSize", 14.5, [](auto& s) { return s.fontSize == 14.5; }},
        {"font size inf", "editor.fontSize", kInf, [](auto& s) { return s.fontSize == 13.0; }},
        {"font size -inf", "editor.fontSize", -kInf, [](auto& s) { return s.fontSize == 13.0; }},
        {"font size NaN", "editor.fontSize", kNaN, [](auto& s) { return s.fontSize == 13.0; }},
        {"font size string", "editor.fontSize", "20", [](auto& s) { return s.fontSize == 13.0; }},
        {"font size bool", "editor.fontSize", true, [](auto& s) { return s.fontSize == 6.0; }},
        {"tab width 0", "editor.tabWidth", 0, [](auto& s) { return s.tabWidth == 1; }},
        {"tab width -7", "editor.tabWidth", -7, [](auto& s) { return s.tabWidth == 1; }},
        {"tab width 40", "editor.tabWidth", 40, [](auto& s) { return s.tabWidth == 16; }},
        {"tab width 2.9", "editor.tabWidth", 2.9, [](auto& s) { return s.tabWidth == 2; }},
        {"tab width 1e300", "editor.tabWidth", 1e300, [](auto& s) { return s.tabWidth == 16; }},
        {"tab width -1e300", "editor.tabWidth", -1e300, [](auto& s) { return s.tabWidth == 1; }},
        {"tab width inf", "editor.tabWidth", kInf, [](auto& s) { return s.tabWidth == 16; }},
        {"tab width NaN", "editor.tabWidth", kNaN, [](auto& s) { return s.tabWidth == 4; }},
        {"tab width int64 max", "editor.tabWidth", std::numeric_limits<std::int64_t>::max(),
         [](auto& s) { return s.tabWidth == 16; }},
        {"tab width string", "editor.tabWidth", "8", [](auto& s) { return s.tabWidth == 4; }},
        {"insert spaces 2", "editor.insertSpaces", 2, [](auto& s) { return s.insertSpaces; }},
        {"insert spaces 0.5", "editor.insertSpaces", 0.5, [](auto& s) { return s.insertSpaces; }},
        {"insert spaces NaN", "editor.insertSpaces", kNaN, [](auto& s) { return !s.insertSpaces; }},
        {"highlight false", "editor.highlightSelectedWord", false,
         [](auto& s) { return !s.highlightSelectedWord; }},
        {"multiline 0", "editor.multilineTabs", 0, [](auto& s) { return !s.multilineTabs; }},
        {"wrap as string", "editor.wrapByDefault", "true",
         [](auto& s) { return !s.wrapByDefault; }},
        {"theme dark", "editor.theme", "dark",
         [](auto& s) { return s.theme == EditorTheme::dark; }},
        {"theme Dark", "editor.theme", "Dark",
         [](auto& s) { return s.theme == EditorTheme::system; }},
        {"theme number", "editor.theme", 2, [](auto& s) { return s.theme == EditorTheme::system; }},
        {"pretty always", "editor.prettyOnOpen", "always",
         [](auto& s) { return s.prettyOnOpen == PrettyOnOpen::always; }},
        {"pretty number", "editor.prettyOnOpen", 1,
         [](auto& s) { return s.prettyOnOpen == PrettyOnOpen::ask; }},
        {"font name number", "editor.fontName", 5, [](auto& s) { return s.fontName.empty(); }},
        {"font name", "editor.fontName", "JetBrains Mono",
         [](auto& s) { return s.fontName == u"JetBrains Mono"; }},
    };
    for (const auto& c : cases) {
        EditorSettings loaded = loadWith(c.key, c.stored);
        EXPECT_TRUE(c.expect(loaded)) << c.name;
    }
    MemorySettingsBacking empty;
    EXPECT_EQ(SettingsStore(empty).load(), EditorSettings::defaults);
}

TEST(EditorSettingsTest, FontNameLimitCountsGraphemesNotUnits) {
    EditorSettings settings;
    settings.fontName = repeated(u"a", 200);
    EXPECT_EQ(settings.clamped().fontName.size(), 200u);
    settings.fontName = repeated(u"a", 201);
    EXPECT_TRUE(settings.clamped().fontName.empty());
    // 200 family emoji: 11 UTF-16 units each, but 200 characters.
    settings.fontName = repeated(u"👨‍👩‍👧", 200);
    EXPECT_EQ(settings.clamped().fontName, settings.fontName);
    settings.fontName += u"e\u0301";
    EXPECT_TRUE(settings.clamped().fontName.empty());
    EXPECT_EQ(graphemeCount(u"e\u0301\r\n😀"), 3u);
}

TEST(SettingsStoreTest, SaveWritesOnlyWhatChangedInStoredForm) {
    MemorySettingsBacking backing;
    SettingsStore store(backing);
    store.save(EditorSettings::defaults);
    EXPECT_EQ(backing.setCount(), 0);
    EXPECT_TRUE(backing.values().empty());

    EditorSettings changed = EditorSettings::defaults;
    changed.showInvisibles = true;
    store.save(changed);
    EXPECT_EQ(backing.values(), (SettingsDictionary{{"editor.showInvisibles", true}}));

    changed.fontSize = 100;
    changed.theme = EditorTheme::light;
    changed.tabWidth = 0;
    store.save(changed);
    EXPECT_EQ(backing.object("editor.fontSize"), SettingsValue(72.0));
    EXPECT_EQ(backing.object("editor.theme"), SettingsValue("light"));
    EXPECT_EQ(backing.object("editor.tabWidth"), SettingsValue(std::int64_t{1}));
    int writes = backing.setCount();
    store.save(changed);
    EXPECT_EQ(backing.setCount(), writes) << "72 is already the effective value";

    changed.fontName = repeated(u"x", 201);
    store.save(changed);
    EXPECT_FALSE(backing.object("editor.fontName")) << "an over-long name saves as the default";
    EXPECT_EQ(store.load(), changed.clamped());
}

/// A value of `setting` other than its default, in stored form.
SettingsValue otherThanDefault(const SettingDescriptor& setting) {
    const SettingsValue fallback = setting.value(EditorSettings::defaults);
    switch (setting.kind) {
    case SettingKind::fontFamily:
        return "Ağaç Mono";
    case SettingKind::number:
        return setting.limits.lowerBound + 0.5;
    case SettingKind::integer:
        return static_cast<std::int64_t>(setting.limits.upperBound) - 1;
    case SettingKind::flag:
        return !std::get<bool>(fallback.value);
    case SettingKind::choice:
        for (std::string_view raw : setting.rawValues)
            if (SettingsValue(std::string(raw)) != fallback)
                return std::string(raw);
    }
    return fallback;
}

class FileSettingsBackingTest : public ::testing::Test {
protected:
    fs::path file() const { return m_temp.path() / "config" / "Vendrix" / "settings.plist"; }
    test::TempDir m_temp;
};

TEST_F(FileSettingsBackingTest, FirstSetCreatesTheDirectoryAndAPrivateXmlFile) {
    FileSettingsBacking backing(file());
    EXPECT_EQ(backing.fileState(), FileSettingsBacking::FileState::missing);
    SettingsStore(backing).save(EditorSettings{u"Fira Code", 15, 2, true, false, EditorTheme::dark,
                                               true, false, true, PrettyOnOpen::never});
    ASSERT_TRUE(fs::exists(file()));
    struct stat info {};
    ASSERT_EQ(::stat(file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    std::string xml = readFileBytes(file());
    EXPECT_NE(xml.find("<plist version=\"1.0\">"), std::string::npos);
    EXPECT_NE(xml.find("<key>editor.fontName</key>"), std::string::npos);

    FileSettingsBacking reread(file());
    EXPECT_EQ(reread.fileState(), FileSettingsBacking::FileState::loaded);
    EditorSettings loaded = SettingsStore(reread).load();
    EXPECT_EQ(loaded.fontName, u"Fira Code");
    EXPECT_EQ(loaded.fontSize, 15.0);
    EXPECT_EQ(loaded.tabWidth, 2);
    EXPECT_TRUE(loaded.insertSpaces);
    EXPECT_EQ(loaded.theme, EditorTheme::dark);
    EXPECT_EQ(loaded.prettyOnOpen, PrettyOnOpen::never);
}

TEST_F(FileSettingsBackingTest, EveryDescriptorRoundTripsThroughTheFileUnderItsOwnKey) {
    std::set<std::string_view> keys;
    for (const SettingDescriptor& setting : settingDescriptors()) {
        SCOPED_TRACE(setting.key);
        EXPECT_TRUE(keys.insert(setting.key).second) << "keys are distinct";
        EXPECT_EQ(settingDescriptor(setting.key), &setting);
        fs::remove_all(file().parent_path());
        const SettingsValue stored = otherThanDefault(setting);
        ASSERT_NE(stored, setting.value(EditorSettings::defaults));
        EditorSettings changed = EditorSettings::defaults;
        ASSERT_TRUE(setting.assign(changed, stored));
        ASSERT_EQ(changed.clamped(), changed) << "the value is within the limits";
        {
            FileSettingsBacking backing(file());
            SettingsStore(backing).save(changed);
            EXPECT_EQ(backing.values(), (SettingsDictionary{{std::string(setting.key), stored}}))
                << "only this key is written, in its stored form";
        }
        FileSettingsBacking reread(file());
        const EditorSettings loaded = SettingsStore(reread).load();
        EXPECT_EQ(loaded, changed);
        EXPECT_EQ(setting.value(loaded), stored);
    }
}

TEST_F(FileSettingsBackingTest, UnknownKeysOfEveryTypeSurviveARewrite) {
    SettingsDictionary unknown{
        {"other.flag", true},
        {"other.count", std::int64_t{-42}},
        {"other.ratio", 0.25},
        {"other.name", "Ağaç ✓"},
        {"other.blob", SettingsData{{0, 1, 2, 0xFF}}},
        {"other.when", SettingsDate{725846400}}, // XML dates keep whole seconds
        {"other.list", SettingsArray{1, "iki", SettingsArray{3.5}}},
        {"other.nested", SettingsDictionary{{"a", SettingsDictionary{{"b", false}}}}},
        {"formatting.indent", "tab"},
    };
    fs::create_directories(file().parent_path());
    writeFileBytes(file(), FileSettingsBacking::serialize(unknown));
    {
        FileSettingsBacking backing(file());
        ASSERT_EQ(backing.values(), unknown);
        backing.set(SettingsValue(14.0), "editor.fontSize");
    }
    FileSettingsBacking reread(file());
    SettingsDictionary expected = unknown;
    expected.insert_or_assign(std::string("editor.fontSize"), 14.0);
    EXPECT_EQ(reread.values(), expected);

    reread.set(std::nullopt, "other.blob");
    EXPECT_EQ(FileSettingsBacking(file()).values().count("other.blob"), 0u);
}

TEST_F(FileSettingsBackingTest, ReadsBinaryPropertyLists) {
    // A binary list holding { "editor.tabWidth": 8, "editor.theme": "light" }.
    const unsigned char bytes[] = {
        'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xD2, 0x01, 0x02, 0x03, 0x04, 0x5F, 0x10, 0x0F, 'e',
        'd', 'i', 't', 'o', 'r', '.', 't', 'a', 'b', 'W', 'i', 'd', 't', 'h', 0x5C, 'e', 'd', 'i',
        't', 'o', 'r', '.', 't', 'h', 'e', 'm', 'e', 0x10, 0x08, 0x55, 'l', 'i', 'g', 'h', 't',
        // offset table (5 one-byte offsets)
        0x08, 0x0D, 0x1F, 0x2C, 0x2E,
        // trailer
        0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0x34};
    fs::create_directories(file().parent_path());
    writeFileBytes(file(), std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
    FileSettingsBacking backing(file());
    ASSERT_EQ(backing.fileState(), FileSettingsBacking::FileState::loaded);
    EditorSettings loaded = SettingsStore(backing).load();
    EXPECT_EQ(loaded.tabWidth, 8);
    EXPECT_EQ(loaded.theme, EditorTheme::light);
}

TEST_F(FileSettingsBackingTest, DamagedFileIsMovedAsideBeforeTheFirstWrite) {
    const std::pair<const char*, std::string> cases[] = {
        {"garbage", "this is not a property list"},
        {"array at the top", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a"
                             "</string></array></plist>"},
        {"empty", ""},
        {"too deep", "<plist version=\"1.0\"><dict><key>k</key>" + std::string(100000, '<') +
                         "</dict></plist>"},
    };
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        fs::remove_all(file().parent_path());
        fs::create_directories(file().parent_path());
        writeFileBytes(file(), content);
        FileSettingsBacking backing(file());
        EXPECT_EQ(backing.fileState(), FileSettingsBacking::FileState::damaged);
        EXPECT_TRUE(backing.values().empty());
        EXPECT_EQ(readFileBytes(file()), content) << "reading alone changes nothing";
        backing.set(SettingsValue(true), "editor.showInvisibles");
        EXPECT_EQ(readFileBytes(fs::path(file().string() + ".corrupt")), content);
        EXPECT_EQ(FileSettingsBacking(file()).values(),
                  (SettingsDictionary{{"editor.showInvisibles", true}}));
    }
}

TEST_F(FileSettingsBackingTest, DeeplyNestedArraysAreRefusedWithoutCrashing) {
    std::string deep = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key>";
    for (int i = 0; i < 300000; ++i)
        deep += "<array>";
    for (int i = 0; i < 300000; ++i)
        deep += "</array>";
    deep += "</dict></plist>";
    EXPECT_FALSE(FileSettingsBacking::parse(deep));
    std::string shallow = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key>"
                          "<array><array/><dict/></array></dict></plist>";
    EXPECT_TRUE(FileSettingsBacking::parse(shallow));
}

/// A binary list of `levels` arrays where each array holds the next one twice: tiny on disk,
/// 2^levels nodes once every reference is expanded.
std::string doublingBinaryList(int levels) {
    std::string bytes = "bplist00";
    std::vector<std::size_t> offsets;
    for (int level = 0; level < levels; ++level) {
        offsets.push_back(bytes.size());
        if (level == levels - 1) {
            bytes += '\x08'; // false
        } else {
            bytes += '\xA2';
            bytes += static_cast<char>(level + 1);
            bytes += static_cast<char>(level + 1);
        }
    }
    std::size_t table = bytes.size();
    for (std::size_t offset : offsets)
        bytes += static_cast<char>(offset);
    std::string trailer(32, '\0');
    trailer[6] = 1;
    trailer[7] = 1;
    trailer[15] = static_cast<char>(levels);
    trailer[31] = static_cast<char>(table);
    return bytes + trailer;
}

TEST(FileSettingsParseTest, HostileBinaryListsAreRefusedBeforeParsing) {
    // Wrapped in a dictionary so that the shape itself would be acceptable.
    std::string small = doublingBinaryList(8);
    EXPECT_FALSE(FileSettingsBacking::parse(small)) << "top level is an array, not a dictionary";
    EXPECT_FALSE(FileSettingsBacking::parse(doublingBinaryList(40))) << "2^40 nodes";
    const unsigned char selfContaining[] = {
        'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xD1, 0x01, 0x00, 0x51, 'k', 0x08, 0x0B, 0,
        0,   0,   0,   0,   0,   1,   1,   0,   0,    0,    0,    0,    0,   0,    2,    0,
        0,   0,   0,   0,   0,   0,   0,   0,   0,    0,    0,    0,    0,   0,    0x0D};
    EXPECT_FALSE(FileSettingsBacking::parse(
        std::string(reinterpret_cast<const char*>(selfContaining), sizeof selfContaining)));
    EXPECT_FALSE(FileSettingsBacking::parse("bplist00"));
    EXPECT_FALSE(FileSettingsBacking::parse(std::string("bplist00") + std::string(40, '\xFF')));
}

TEST_F(FileSettingsBackingTest, UnreadableFileIsNeverReplacedByAOneKeyFile) {
    fs::create_directories(file().parent_path());
    std::string original = FileSettingsBacking::serialize(
        {{"editor.tabWidth", std::int64_t{8}}, {"editor.fontName", "Iosevka"}});
    // A settings file too large to be read stands for any read failure (running as root,
    // permission bits cannot make a file unreadable here).
    writeFileBytes(file(), original);
    fs::resize_file(file(), 17u << 20);
    std::string unreadable = readFileBytes(file());

    FileSettingsBacking backing(file());
    EXPECT_EQ(backing.fileState(), FileSettingsBacking::FileState::unreadable);
    SettingsStore store(backing);
    EditorSettings changed = store.load();
    changed.showInvisibles = true;
    store.save(changed);
    EXPECT_EQ(readFileBytes(file()), unreadable) << "the file must not be overwritten";
    EXPECT_TRUE(store.load().showInvisibles) << "the change is kept in memory";
    EXPECT_FALSE(fs::exists(fs::path(file().string() + ".corrupt")));

    // Once the file can be read again, the next change is merged into its content.
    writeFileBytes(file(), original);
    changed.wrapByDefault = true;
    store.save(changed);
    EXPECT_EQ(backing.fileState(), FileSettingsBacking::FileState::loaded);
    EditorSettings merged = SettingsStore(*std::make_unique<FileSettingsBacking>(file())).load();
    EXPECT_EQ(merged.tabWidth, 8);
    EXPECT_EQ(merged.fontName, u"Iosevka");
    EXPECT_TRUE(merged.showInvisibles);
    EXPECT_TRUE(merged.wrapByDefault);
}

TEST_F(FileSettingsBackingTest, WriteFailureKeepsTheValueInMemoryAndIsReported) {
    fs::create_directories(file());
    FileSettingsBacking backing(file());
    EXPECT_EQ(backing.fileState(), FileSettingsBacking::FileState::unreadable);
    backing.set(SettingsValue("x"), "editor.fontName");
    EXPECT_EQ(backing.object("editor.fontName"), SettingsValue("x"));
    EXPECT_TRUE(fs::is_directory(file()));

    fs::path blocked = m_temp.path() / "file" / "settings.plist";
    writeFileBytes(m_temp.path() / "file", "");
    FileSettingsBacking cannotWrite(blocked);
    cannotWrite.set(SettingsValue(true), "editor.insertSpaces");
    EXPECT_TRUE(cannotWrite.lastWriteError());
    EXPECT_EQ(cannotWrite.object("editor.insertSpaces"), SettingsValue(true));
}

} // namespace
} // namespace vendrix
