#include "support/CliRunner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace vendrix {
namespace {

using test::CliRun;

const test::CliRunner cli{VENDRIX_CLI_PATH};

std::string data(const char* name) { return test::dataPath(std::string("text/") + name).string(); }

TEST(TextCliTest, DecodeReportsEveryEncoding) {
    struct Case {
        const char* file;
        const char* encoding;
        const char* lineEnding;
        bool binary;
    } cases[] = {
        {"turkish-windows1254.txt", "windows-1254", "crlf", false},
        {"turkish-iso8859-9.txt", "windows-1254", "lf", false},
        {"latin1.txt", "iso-8859-1", "lf", false},
        {"utf8.txt", "utf-8", "lf", false},
        {"utf8-bom.txt", "utf-8-bom", "lf", false},
        {"utf16le-bom.txt", "utf-16le", "lf", false},
        {"utf16be-bom.txt", "utf-16be", "lf", false},
        {"utf16le-nobom.txt", "utf-16le-nobom", "lf", false},
        {"utf16be-nobom.txt", "utf-16be-nobom", "lf", false},
        {"mixed-endings.txt", "utf-8", "crlf", false},
        {"binary.bin", "iso-8859-1", "lf", true},
    };
    for (const auto& c : cases) {
        CliRun r = cli.run("decode " + data(c.file));
        ASSERT_EQ(r.status, 0) << c.file << r.err;
        auto json = nlohmann::json::parse(r.out);
        EXPECT_EQ(json["encoding"], c.encoding) << c.file;
        EXPECT_EQ(json["lineEnding"], c.lineEnding) << c.file;
        EXPECT_EQ(json["isBinary"], c.binary) << c.file;
    }
    auto mixed = nlohmann::json::parse(cli.run("decode " + data("mixed-endings.txt")).out);
    EXPECT_EQ(mixed["lineCount"], 6);
    EXPECT_EQ(mixed["length"], 24);

    CliRun forced = cli.run("decode --as utf-8 " + data("turkish-windows1254.txt"));
    EXPECT_EQ(forced.status, 1);
    EXPECT_NE(forced.err.find("UTF-8"), std::string::npos);
    EXPECT_EQ(forced.err.find('\n'), forced.err.size() - 1) << "one line";
    auto latin5 = nlohmann::json::parse(
        cli.run("decode --as iso-8859-9 " + data("turkish-iso8859-9.txt")).out);
    EXPECT_EQ(latin5["encoding"], "iso-8859-9");
}

TEST(TextCliTest, ConvertRoundTripsAndRefusesUnencodableText) {
    test::TempDir dir;
    std::string out = (dir.path() / "out.txt").string();
    ASSERT_EQ(
        cli.run("convert " + data("turkish-windows1254.txt") + " --to utf-16be -o " + out).status,
        0);
    auto json = nlohmann::json::parse(cli.run("decode " + out).out);
    EXPECT_EQ(json["encoding"], "utf-16be");
    EXPECT_EQ(json["lineEnding"], "crlf");
    CliRun back = cli.run("convert " + out + " --to windows-1254");
    EXPECT_EQ(back.out, test::readFileBytes(data("turkish-windows1254.txt")));
    EXPECT_EQ(cli.run("convert " + data("mixed-endings.txt") + " --to utf-8 --line-ending lf").out,
              "one\ntwo\nthree\nfour\nfive\n");

    // "ı" (U+0131) is the fourth unit of the second line: "Merhaba dünya!" and CR LF come first.
    test::writeFileBytes(out, "untouched");
    CliRun refused =
        cli.run("convert " + data("turkish-windows1254.txt") + " --to iso-8859-1 -o " + out);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("U+0131"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("offset 19"), std::string::npos) << refused.err;
    EXPECT_EQ(test::readFileBytes(out), "untouched");
    CliRun noFile = cli.run("convert " + data("utf8.txt") + " --to iso-8859-1 -o " +
                            (dir.path() / "new.txt").string());
    EXPECT_EQ(noFile.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "new.txt"));
}

TEST(TextCliTest, GotoAndUsageErrors) {
    EXPECT_EQ(
        nlohmann::json::parse(cli.run("goto " + data("mixed-endings.txt") + " 2:3").out)["offset"],
        6);
    EXPECT_EQ(
        nlohmann::json::parse(cli.run("goto " + data("mixed-endings.txt") + " 99").out)["offset"],
        24);
    EXPECT_EQ(cli.run("goto " + data("utf8.txt") + " 0").status, 1);
    EXPECT_EQ(cli.run("decode --frobnicate " + data("utf8.txt")).status, 2);
    EXPECT_EQ(cli.run("convert " + data("utf8.txt") + " --to klingon").status, 2);
    EXPECT_EQ(cli.run("nosuchcommand").status, 2);
    CliRun help = cli.run("decode --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: vendrix-cli decode"), std::string::npos);
    EXPECT_EQ(cli.run("--help").status, 0);
}

} // namespace
} // namespace vendrix
