#include "core/persistence/SessionState.h"
#include "core/persistence/SessionStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>

namespace vendrix {
namespace {

using nlohmann::json;

const Uuid kFirst = *Uuid::parse("9E1C2F0A-54B3-4C7D-8E21-3F5A6B7C8D90");
const Uuid kSecond = *Uuid::parse("0B7E4D3C-2A19-4F8E-9D6C-5B4A39281706");

SessionTab minimalTab(Uuid id) {
    SessionTab tab;
    tab.id = id;
    return tab;
}

json minimalTabJSON(std::string id = "9E1C2F0A-54B3-4C7D-8E21-3F5A6B7C8D90") {
    return json{{"id", id},           {"selectionLocation", 0}, {"selectionLength", 0},
                {"scrollX", 0.0},     {"scrollY", 0.0},         {"encoding", "utf-8"},
                {"lineEnding", "lf"}, {"isDirty", false}};
}

json documentWith(json tab) {
    return json{{"version", 1}, {"tabs", json::array({tab})}};
}

TEST(UuidTest, ParsesEitherCaseAndPrintsUpperCase) {
    auto lower = Uuid::parse("9e1c2f0a-54b3-4c7d-8e21-3f5a6b7c8d90");
    ASSERT_TRUE(lower);
    EXPECT_EQ(*lower, kFirst);
    EXPECT_EQ(lower->uuidString(), "9E1C2F0A-54B3-4C7D-8E21-3F5A6B7C8D90");
    for (std::string_view bad :
         {"", "9E1C2F0A54B34C7D8E213F5A6B7C8D90", "9E1C2F0A-54B3-4C7D-8E21-3F5A6B7C8D9",
          "9E1C2F0A-54B3-4C7D-8E21-3F5A6B7C8D900", "9E1C2F0A-54B3-4C7D-8E21_3F5A6B7C8D90",
          "9E1C2F0A-54B3-4C7D-8E21-3F5A6B7C8D9G", "{E1C2F0A-54B3-4C7D-8E21-3F5A6B7C8D9}"})
        EXPECT_FALSE(Uuid::parse(bad)) << bad;
    EXPECT_FALSE(Uuid::parse(std::string_view("9E1C2F0A-54B3-4C7D-8E21-3F5A6B7C8D9\0", 36)));
    EXPECT_NE(Uuid::random(), Uuid::random());
    EXPECT_EQ(Uuid::parse(Uuid::random().uuidString()).has_value(), true);

    const std::string a = Uuid::random().uuidString(), b = Uuid::random().uuidString();
    EXPECT_NE(a, b);
    ASSERT_EQ(a.size(), 36u);
    for (char c : a)
        EXPECT_TRUE(c == '-' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << a;
}

TEST(SessionBase64Test, RoundTripsAndRejectsMalformedText) {
    for (std::size_t length = 0; length < 8; ++length) {
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = 0; i < length; ++i)
            bytes.push_back(static_cast<std::uint8_t>(0xF0 + i * 7));
        EXPECT_EQ(sessionBase64::decode(sessionBase64::encode(bytes)), bytes) << length;
    }
    EXPECT_EQ(sessionBase64::encode({0, 1, 2, 0xFF}), "AAEC/w==");
    for (std::string_view bad : {"A", "AAE", "AA=A", "A===", "AAEC/w=", "AA EC", "AAE*", "=AAA"})
        EXPECT_FALSE(sessionBase64::decode(bad)) << bad;
}

TEST(SessionStateCodingTest, GoldenDocumentDecodesAndEncodesBackIdentically) {
    std::string golden = test::readFileBytes(test::dataPath("persistence/session-full.json"));
    auto state = SessionState::decodeJSON(golden);
    ASSERT_TRUE(state) << state.error().key;
    ASSERT_EQ(state->tabs.size(), 2u);
    const SessionTab& first = state->tabs[0];
    EXPECT_EQ(first.id, kFirst);
    EXPECT_EQ(first.filePath, "/home/ayşe/notlar/günlük.md");
    EXPECT_EQ(first.bookmark, (std::vector<std::uint8_t>{0, 1, 2, 0xFF}));
    EXPECT_EQ(first.encoding, TextEncoding::utf16LE);
    EXPECT_EQ(first.lineEnding, LineEnding::crlf);
    EXPECT_EQ(first.scrollY, 1532.5);
    EXPECT_EQ(first.selectionLocation, 120);
    EXPECT_EQ(first.isReadOnly, std::nullopt);
    EXPECT_EQ(state->tabs[1].untitledNumber, 3);
    EXPECT_EQ(state->tabs[1].isReadOnly, true);
    EXPECT_EQ(state->selectedTabID, kFirst);
    EXPECT_EQ(state->encodedJSON() + "\n", golden);
}

TEST(SessionStateCodingTest, EmptyOptionalsWriteOnlyTheRequiredKeys) {
    SessionState state({minimalTab(kFirst)}, std::nullopt);
    json document = json::parse(state.encodedJSON());
    EXPECT_FALSE(document.contains("selectedTabID"));
    std::vector<std::string> keys;
    for (auto& [key, value] : document["tabs"][0].items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"encoding", "id", "isDirty", "lineEnding", "scrollX",
                                              "scrollY", "selectionLength", "selectionLocation"}));
}

TEST(SessionStateCodingTest, WriterOutputIsSortedOneMemberPerLineAndReadsBack) {
    SessionTab tab = minimalTab(kFirst);
    tab.filePath = "/tmp/a \"quoted\"\\name/x";
    tab.untitledNumber = -2;
    tab.scrollX = std::numeric_limits<double>::quiet_NaN();
    tab.scrollY = std::numeric_limits<double>::infinity();
    tab.languageID = "json";
    SessionState state({tab}, kFirst);
    std::string text = state.encodedJSON();
    EXPECT_NE(text.find("\n"), std::string::npos);
    EXPECT_LT(text.find("\"selectedTabID\""), text.find("\"tabs\""));
    EXPECT_LT(text.find("\"tabs\""), text.find("\"version\""));
    auto back = SessionState::decodeJSON(text);
    ASSERT_TRUE(back) << "non-finite scroll values must not make the file unreadable";
    tab.scrollX = 0;
    tab.scrollY = 0;
    EXPECT_EQ(back->tabs, std::vector<SessionTab>{tab});
}

TEST(SessionStateCodingTest, InvalidUtf8InAPathStillWritesAReadableDocument) {
    SessionTab tab = minimalTab(kFirst);
    tab.filePath = std::string("/tmp/caf\xE9.txt");
    auto back = SessionState::decodeJSON(SessionState({tab}, kFirst).encodedJSON());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->tabs[0].filePath, "/tmp/caf\xEF\xBF\xBD.txt");
}

struct UnreadableCase {
    const char* name;
    std::function<void(json&)> damage;
    SessionDecodeError::Kind kind;
};

TEST(SessionStateCodingTest, DocumentsThatAreUnreadableAsAWhole) {
    using Kind = SessionDecodeError::Kind;
    const UnreadableCase cases[] = {
        {"version 2", [](json& d) { d["version"] = 2; }, Kind::unsupportedVersion},
        {"version missing", [](json& d) { d.erase("version"); }, Kind::missingKey},
        {"version as string", [](json& d) { d["version"] = "1"; }, Kind::wrongType},
        {"version fractional", [](json& d) { d["version"] = 1.5; }, Kind::wrongType},
        {"tabs missing", [](json& d) { d.erase("tabs"); }, Kind::missingKey},
        {"tabs null", [](json& d) { d["tabs"] = nullptr; }, Kind::wrongType},
        {"tabs an object", [](json& d) { d["tabs"] = json::object(); }, Kind::wrongType},
        {"tab not an object", [](json& d) { d["tabs"].push_back(5); }, Kind::wrongType},
        {"scrollY missing", [](json& d) { d["tabs"][0].erase("scrollY"); }, Kind::missingKey},
        {"id lower-case garbage", [](json& d) { d["tabs"][0]["id"] = "not-a-uuid"; },
         Kind::invalidValue},
        {"id null", [](json& d) { d["tabs"][0]["id"] = nullptr; }, Kind::wrongType},
        {"selection as string", [](json& d) { d["tabs"][0]["selectionLocation"] = "3"; },
         Kind::wrongType},
        {"selection beyond int64",
         [](json& d) { d["tabs"][0]["selectionLength"] = 18446744073709551615ull; },
         Kind::wrongType},
        {"isDirty as number", [](json& d) { d["tabs"][0]["isDirty"] = 1; }, Kind::wrongType},
        {"unknown encoding", [](json& d) { d["tabs"][0]["encoding"] = "UTF-8"; },
         Kind::invalidValue},
        {"unknown line ending", [](json& d) { d["tabs"][0]["lineEnding"] = "crlf "; },
         Kind::invalidValue},
        {"bookmark not Base64", [](json& d) { d["tabs"][0]["bookmark"] = "A"; },
         Kind::invalidValue},
        {"optional of the wrong type", [](json& d) { d["tabs"][0]["untitledNumber"] = "1"; },
         Kind::wrongType},
        {"selectedTabID not a UUID", [](json& d) { d["selectedTabID"] = "x"; }, Kind::invalidValue},
        {"top level an array", [](json& d) { d = json::array(); }, Kind::wrongType},
    };
    for (const auto& c : cases) {
        json document = documentWith(minimalTabJSON());
        c.damage(document);
        auto result = SessionState::decodeJSON(document.dump());
        ASSERT_FALSE(result) << c.name;
        EXPECT_EQ(result.error().kind, c.kind) << c.name;
    }
    for (std::string_view text : {"", "{", "{\"version\":1,\"tabs\":[]", "null", "\xFF\xFE{}",
                                  "{\"version\":1,\"tabs\":[]} trailing"})
        EXPECT_FALSE(SessionState::decodeJSON(text)) << text;
}

TEST(SessionStateCodingTest, ToleratedVariations) {
    json tab = minimalTabJSON();
    tab["languageID"] = nullptr;
    tab["bufferFile"] = nullptr;
    tab["unknownTabKey"] = json{{"nested", json::array({1, 2})}};
    tab["selectionLocation"] = 7.0; // a whole number written as a real
    tab["scrollX"] = 3;             // an integer where a real is stored
    json document = documentWith(tab);
    document["version"] = 0;
    document["someFutureKey"] = "ignored";
    auto state = SessionState::decodeJSON(document.dump());
    ASSERT_TRUE(state) << state.error().key;
    EXPECT_EQ(state->version, 1);
    EXPECT_EQ(state->tabs[0].languageID, std::nullopt);
    EXPECT_EQ(state->tabs[0].selectionLocation, 7);
    EXPECT_EQ(state->tabs[0].scrollX, 3.0);
    EXPECT_EQ(state->selectedTabID, kFirst) << "an absent selection becomes the first tab";
}

// The file's stamp travels with the tab so that a restored tab with unsaved text notices a
// file changed while the editor was not running. The keys are optional both ways: older
// sessions lack them, and a damaged stamp must not cost the whole session.
TEST(SessionStateCodingTest, DiskStampIsOptionalAndNeverMakesTheDocumentUnreadable) {
    SessionTab stamped = minimalTab(kFirst);
    stamped.diskSize = 12;
    stamped.diskModified = 1'765'000'000'123'456'789;
    SessionState state({stamped}, kFirst);
    json written = json::parse(state.encodedJSON());
    EXPECT_EQ(written["tabs"][0]["diskSize"], 12);
    EXPECT_EQ(written["tabs"][0]["diskModified"], 1'765'000'000'123'456'789);
    auto read = SessionState::decodeJSON(state.encodedJSON());
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, state) << "nanoseconds survive exactly";

    auto stampOf = [](json tab) {
        auto decoded = SessionState::decodeJSON(documentWith(std::move(tab)).dump());
        EXPECT_TRUE(decoded);
        return decoded ? std::pair(decoded->tabs[0].diskSize, decoded->tabs[0].diskModified)
                       : std::pair(std::optional<std::int64_t>(), std::optional<std::int64_t>());
    };
    using Stamp = std::pair<std::optional<std::int64_t>, std::optional<std::int64_t>>;
    json tab = minimalTabJSON();
    EXPECT_EQ(stampOf(tab), Stamp()) << "an older session has no stamp";
    tab["diskSize"] = "zwölf";
    tab["diskModified"] = 5;
    EXPECT_EQ(stampOf(tab), Stamp()) << "a wrong type drops the stamp, not the session";
    tab["diskSize"] = 3;
    tab.erase("diskModified");
    EXPECT_EQ(stampOf(tab), Stamp()) << "half a stamp is no stamp";
    tab["diskSize"] = -1;
    tab["diskModified"] = 5;
    EXPECT_EQ(stampOf(tab), Stamp());
    tab["diskSize"] = 0;
    EXPECT_EQ(stampOf(tab), Stamp(0, 5));
}

TEST(SessionStateCodingTest, DeeplyNestedUnknownValueDoesNotOverflowTheStack) {
    std::string deep(200000, '[');
    deep += std::string(200000, ']');
    std::string text = "{\"version\":1,\"tabs\":[],\"x\":" + deep + "}";
    auto state = SessionState::decodeJSON(text);
    ASSERT_TRUE(state);
    EXPECT_TRUE(state->tabs.empty());
}

TEST(SessionStateSanitizeTest, DropsDuplicatesFixesNamesAndSelection) {
    SessionTab a = minimalTab(kFirst);
    a.selectionLocation = -5;
    a.selectionLength = -1;
    a.bufferFile = "0b7e4d3c-2a19-4f8e-9d6c-5b4a39281706.txt"; // another tab's UUID, lower case
    SessionTab duplicate = minimalTab(kFirst);
    duplicate.untitledNumber = 9;
    SessionTab b = minimalTab(kSecond);
    b.bufferFile = "notes.txt";
    SessionTab c = minimalTab(Uuid::random());
    c.bufferFile = kSecond.uuidString() + ".TXT";
    SessionState state({a, duplicate, b, c}, kFirst);
    state.version = -3;

    SessionState clean = state.sanitized();
    EXPECT_EQ(clean.version, 1);
    ASSERT_EQ(clean.tabs.size(), 3u);
    EXPECT_EQ(clean.tabs[0].untitledNumber, std::nullopt) << "the first duplicate wins";
    EXPECT_EQ(clean.tabs[0].selectionLocation, 0);
    EXPECT_EQ(clean.tabs[0].selectionLength, 0);
    EXPECT_EQ(clean.tabs[0].bufferFile, a.bufferFile);
    EXPECT_EQ(clean.tabs[1].bufferFile, std::nullopt);
    EXPECT_EQ(clean.tabs[2].bufferFile, std::nullopt);
    EXPECT_EQ(clean.selectedTabID, kFirst);

    EXPECT_EQ(SessionState({b}, kFirst).sanitized().selectedTabID, kSecond);
    EXPECT_EQ(SessionState({}, kFirst).sanitized().selectedTabID, std::nullopt);
}

} // namespace
} // namespace vendrix
