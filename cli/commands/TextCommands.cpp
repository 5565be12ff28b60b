// decode, convert and goto: the text foundation on the command line.
#include "cli/CliSupport.h"
#include "core/text/GoToLineTarget.h"
#include "core/text/LineIndex.h"
#include "core/text/TextFileCodec.h"

#include <cstdio>

namespace vendrix::cli {
namespace {

std::string describeCharacter(std::u16string_view character) {
    char32_t cp = character.empty() ? 0 : character[0];
    if (character.size() == 2)
        cp = 0x10000 + ((char32_t(character[0]) - 0xD800) << 10) + (character[1] - 0xDC00);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(cp));
    return buffer;
}

std::optional<TextEncoding> encodingArgument(const CliCommand& command, const std::string& raw) {
    auto encoding = textEncoding::fromRawValue(raw);
    if (!encoding) {
        std::string known;
        for (TextEncoding e : textEncoding::allCases)
            known += std::string(known.empty() ? "" : ", ") + std::string(textEncoding::rawValue(e));
        usageError(command, "unknown encoding " + raw + " (one of: " + known + ")");
    }
    return encoding;
}

const char* kDecodeUsage =
    "Usage: vendrix-cli decode [--as ENCODING] FILE\n\n"
    "Reads FILE as the editor would (encoding and binary detection, line breaks normalised)\n"
    "and prints {\"encoding\", \"lineEnding\", \"isBinary\", \"length\", \"lineCount\"} as JSON.\n"
    "length counts UTF-16 units of the decoded text.\n\n"
    "  --as ENCODING  decode with this encoding only (utf-8, utf-8-bom, utf-16le, utf-16be,\n"
    "                 windows-1254, iso-8859-9, iso-8859-1, utf-16le-nobom, utf-16be-nobom);\n"
    "                 bytes invalid in it fail with exit status 1\n";

int runDecode(const CliCommand& command, std::span<const std::string> args) {
    auto parsed = parseArgs(command, args, {"--as"}, {});
    if (!parsed)
        return parsed.error();
    if (parsed->positionals.size() != 1)
        return usageError(command, "expected one FILE");
    std::optional<TextEncoding> forced;
    if (auto as = parsed->value("--as")) {
        forced = encodingArgument(command, *as);
        if (!forced)
            return kExitUsage;
    }
    auto bytes = readInput(parsed->positionals[0]);
    if (!bytes)
        return kExitFailure;
    DecodedText decoded;
    if (forced) {
        auto result = TextFileCodec::decode(*bytes, *forced);
        if (!result)
            return fail(parsed->positionals[0] + " is not valid " +
                        std::string(textEncoding::displayName(*forced)));
        decoded = std::move(*result);
    } else {
        decoded = TextFileCodec::decode(*bytes);
    }
    LineIndex index(decoded.text);
    printJSON({{"encoding", textEncoding::rawValue(decoded.encoding)},
               {"lineEnding", lineEnding::rawValue(decoded.lineEnding)},
               {"isBinary", decoded.isBinary},
               {"length", index.length()},
               {"lineCount", index.lineCount()}});
    return kExitOK;
}

const char* kConvertUsage =
    "Usage: vendrix-cli convert FILE --to ENCODING [--line-ending lf|crlf|cr] [-o OUT]\n\n"
    "Decodes FILE as the editor would and writes it again in ENCODING (and the given line\n"
    "ending, by default the one FILE has) to standard output, or to OUT, which is replaced\n"
    "atomically: an existing OUT keeps its mode (and its owner and group where permitted),\n"
    "a new one gets 0666 less the umask. A character ENCODING cannot hold stops with exit\n"
    "status 1, naming it and its UTF-16 offset, and writes nothing.\n";

int runConvert(const CliCommand& command, std::span<const std::string> args) {
    auto parsed = parseArgs(command, args, {"--to", "--line-ending", "-o"}, {});
    if (!parsed)
        return parsed.error();
    if (parsed->positionals.size() != 1)
        return usageError(command, "expected one FILE");
    auto to = parsed->value("--to");
    if (!to)
        return usageError(command, "--to ENCODING is required");
    auto encoding = encodingArgument(command, *to);
    if (!encoding)
        return kExitUsage;
    std::optional<LineEnding> ending;
    if (auto raw = parsed->value("--line-ending")) {
        ending = lineEnding::fromRawValue(*raw);
        if (!ending)
            return usageError(command, "unknown line ending " + *raw);
    }
    auto bytes = readInput(parsed->positionals[0]);
    if (!bytes)
        return kExitFailure;
    DecodedText decoded = TextFileCodec::decode(*bytes);
    auto encoded = TextFileCodec::encode(decoded.text, *encoding, ending.value_or(decoded.lineEnding));
    if (!encoded)
        return fail(parsed->positionals[0] + " cannot be written in " +
                    std::string(textEncoding::displayName(*encoding)) + ": character " +
                    describeCharacter(encoded.error().character) + " at UTF-16 offset " +
                    std::to_string(encoded.error().offset));
    if (auto out = parsed->value("-o"))
        return writeOutputFile(*out, *encoded);
    writeStdout(*encoded);
    return kExitOK;
}

const char* kGotoUsage =
    "Usage: vendrix-cli goto FILE INPUT\n\n"
    "Resolves a go-to-line INPUT (\"12\", \"12:5\", \"12,5\", \"12 5\") in FILE and prints the\n"
    "caret offset as {\"offset\": N} in UTF-16 units of the decoded text.\n";

int runGoto(const CliCommand& command, std::span<const std::string> args) {
    auto parsed = parseArgs(command, args, {}, {});
    if (!parsed)
        return parsed.error();
    if (parsed->positionals.size() != 2)
        return usageError(command, "expected FILE and INPUT");
    auto target = GoToLineTarget::parse(fromUTF8(parsed->positionals[1]));
    if (!target)
        return fail("not a line (and column): " + parsed->positionals[1]);
    auto bytes = readInput(parsed->positionals[0]);
    if (!bytes)
        return kExitFailure;
    DecodedText decoded = TextFileCodec::decode(*bytes);
    printJSON({{"offset", target->location(LineIndex(decoded.text))}});
    return kExitOK;
}

CliCommand makeCommand(std::string name, std::string summary, const char* usage,
                       int (*run)(const CliCommand&, std::span<const std::string>)) {
    CliCommand command{std::move(name), std::move(summary), usage, nullptr};
    command.run = [run, command](std::span<const std::string> args) { return run(command, args); };
    return command;
}

const CommandRegistrar decodeCommand{
    makeCommand("decode", "detect a file's encoding, line ending and binary nature", kDecodeUsage,
                runDecode)};
const CommandRegistrar convertCommand{
    makeCommand("convert", "re-encode a file in another encoding or line ending", kConvertUsage,
                runConvert)};
const CommandRegistrar gotoCommand{
    makeCommand("goto", "resolve a go-to-line input to a text offset", kGotoUsage, runGoto)};

} // namespace
} // namespace vendrix::cli
