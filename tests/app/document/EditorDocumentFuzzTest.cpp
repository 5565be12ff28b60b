// Random edits, undos and redos against a plain-string model of the text and its history.

#include "app/document/EditorDocument.h"
#include "core/text/LineEnding.h"
#include "support/TestSupport.h"

#include <QUndoStack>

#include <gtest/gtest.h>

#include <random>

namespace vendrix::app {
namespace {

/// Pieces that random texts are made of: ASCII, LF, CR and CRLF (normalised on the way
/// in), a surrogate pair, a combining mark, and characters other text systems rewrite.
const std::u16string_view kPieces[] = {
    u"a",       u"b",      u"xyz",    u"\n",     u"\r",     u"\r\n", u"\U0001F600",
    u"e\u0301", u"\u0301", u"\u2029", u"\uFDD0", u"\u00A0", u"ş",
};

class Model {
public:
    explicit Model(std::uint32_t seed) : m_rng(seed) {}

    std::int64_t pick(std::int64_t lo, std::int64_t hi) {
        return std::uniform_int_distribution<std::int64_t>(lo, hi)(m_rng);
    }
    std::u16string randomText(std::int64_t maxPieces) {
        std::u16string text;
        for (std::int64_t n = pick(0, maxPieces); n > 0; --n)
            text += kPieces[static_cast<size_t>(pick(0, std::size(kPieces) - 1))];
        return text;
    }
    /// Ascending, disjoint, mostly short ranges of a text of `length` units.
    std::vector<TextRange> randomRanges(std::int64_t length, int count) {
        std::vector<std::int64_t> starts;
        for (int i = 0; i < count; ++i)
            starts.push_back(pick(0, length));
        std::sort(starts.begin(), starts.end());
        std::vector<TextRange> ranges;
        for (size_t i = 0; i < starts.size(); ++i) {
            const std::int64_t limit = i + 1 < starts.size() ? starts[i + 1] : length;
            ranges.push_back({starts[i], std::min(pick(0, 6), limit - starts[i])});
        }
        return ranges;
    }

private:
    std::mt19937 m_rng;
};

/// Applies an edit report to a copy of the old text, the way a listener that keeps its own
/// copy would; it must end up equal to the document's text.
void applyReport(std::u16string& shadow, const std::u16string& newText, TextRange edited,
                 std::int64_t change) {
    const auto oldLength = static_cast<size_t>(edited.length - change);
    shadow.replace(
        static_cast<size_t>(edited.location), oldLength,
        newText.substr(static_cast<size_t>(edited.location), static_cast<size_t>(edited.length)));
}

TEST(EditorDocumentFuzzTest, RandomEditsUndosAndRedosMatchTheModel) {
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        Model model(seed);
        const std::u16string original = lineEnding::normalizeToLF(model.randomText(60));
        EditorDocument document(QUuid::createUuid());
        document.setText(original);
        auto now = std::chrono::steady_clock::time_point{};
        document.setClock([&] { return now; });

        // history[i] is the text at undo index i; edits truncate it, merges rewrite its top.
        std::vector<std::u16string> history{original};
        std::u16string reference = original;
        std::u16string shadow = original;
        std::int64_t reports = 0;
        document.addChangeObserver([&](EditorDocument& d, TextRange edited, std::int64_t change) {
            ++reports;
            applyReport(shadow, d.storage()->string(), edited, change);
        });
        QUndoStack& stack = *document.undoStack();

        for (int step = 0; step < 1500; ++step) {
            const auto length = static_cast<std::int64_t>(reference.size());
            const std::int64_t revision = document.contentRevision();
            const std::int64_t reportsBefore = reports;
            bool changed = true;
            const std::int64_t action = model.pick(0, 9);
            if (action <= 4) { // typing or deleting at or near the caret
                const std::int64_t caret = model.pick(0, 3) == 0
                                               ? model.pick(0, length)
                                               : std::min(document.selection().location, length);
                const std::int64_t kind = model.pick(0, 5);
                const bool backspace = kind == 0 && caret > 0;
                const bool forwardDelete = kind == 1 && caret < length;
                const TextRange range = backspace       ? TextRange{caret - 1, 1}
                                        : forwardDelete ? TextRange{caret, 1}
                                                        : TextRange{caret, 0};
                std::u16string text = backspace || forwardDelete ? u"" : model.randomText(1);
                EditorDocument::EditOptions options;
                options.typing = true;
                ASSERT_TRUE(document.applyEdit(range, text, options));
                reference.replace(static_cast<size_t>(range.location),
                                  static_cast<size_t>(range.length),
                                  lineEnding::normalizeToLF(text));
                changed = !(range.empty() && text.empty());
                now += std::chrono::milliseconds(model.pick(0, 1200));
            } else if (action <= 6) { // a multi-range edit
                std::vector<TextRange> ranges =
                    model.randomRanges(length, static_cast<int>(model.pick(1, 4)));
                std::vector<std::u16string> texts;
                for (size_t i = 0; i < ranges.size(); ++i)
                    texts.push_back(model.randomText(3));
                EditorDocument::EditOptions options;
                options.actionName = QStringLiteral("Değiştir");
                ASSERT_TRUE(document.applyEdits(ranges, texts, options));
                changed = false;
                for (size_t i = ranges.size(); i-- > 0;) {
                    reference.replace(static_cast<size_t>(ranges[i].location),
                                      static_cast<size_t>(ranges[i].length),
                                      lineEnding::normalizeToLF(texts[i]));
                    changed = changed || !(ranges[i].empty() && texts[i].empty());
                }
            } else if (action == 7) {
                changed = stack.canUndo();
                document.undo();
                reference = history[static_cast<size_t>(stack.index())];
            } else if (action == 8) {
                changed = stack.canRedo();
                document.redo();
                reference = history[static_cast<size_t>(stack.index())];
            } else {
                document.breakTypingRun();
                changed = false;
            }
            if (action <= 6 && changed) { // an edit that changed nothing leaves the history alone
                history.resize(static_cast<size_t>(stack.index()) + 1);
                history.back() = reference;
            }
            ASSERT_EQ(static_cast<std::int64_t>(history.size()), stack.count() + 1);

            const std::u16string actual = document.storage()->string();
            ASSERT_EQ(actual, reference) << "after step " << step;
            ASSERT_EQ(document.lineIndex(), LineIndex(actual)) << "after step " << step;
            ASSERT_EQ(shadow, actual) << "the edit reports describe the change, step " << step;
            ASSERT_EQ(document.contentRevision(), revision + (changed ? 1 : 0))
                << "after step " << step;
            ASSERT_EQ(reports, reportsBefore + (changed ? 1 : 0));
            ASSERT_EQ(document.snapshot()->revision(),
                      static_cast<std::uint64_t>(document.contentRevision()))
                << "snapshots are numbered like the document, step " << step;
            ASSERT_TRUE(document.selection().fits(document.length()));
        }

        while (stack.canUndo())
            document.undo();
        EXPECT_EQ(document.storage()->string(), original) << "undo back to the start";
        EXPECT_EQ(document.lineIndex(), LineIndex(original));
        while (stack.canRedo())
            document.redo();
        EXPECT_EQ(document.storage()->string(), history.back());
    }
}

} // namespace
} // namespace vendrix::app
