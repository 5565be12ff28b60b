#pragma once

#include "core/common/TextRange.h"

#include <QUndoCommand>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace vendrix::app {

class EditorDocument;

/// One undo step of a document: one or more replacements made together, with the selection
/// before and after. Typing steps merge with the step before them while the typing run lasts.
class TextEditCommand final : public QUndoCommand {
public:
    /// One replaced range: where it starts in the text before the step, what it held and
    /// what replaced it. Pieces are ascending and disjoint.
    struct Piece {
        std::int64_t location = 0;
        std::u16string oldText;
        std::u16string newText;
    };
    /// What decides whether a typing step may absorb the next one.
    struct TypingRun {
        bool typing = false;
        std::uint64_t generation = 0;
        std::chrono::steady_clock::time_point lastEdit{};
    };

    /// The longest pause inside one run of typing.
    static constexpr std::chrono::milliseconds maximumTypingPause{1000};

    TextEditCommand(EditorDocument& document, std::vector<Piece> pieces, TextRange selectionBefore,
                    TextRange selectionAfter, const QString& actionName, TypingRun run);

    void redo() override;
    void undo() override;
    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;

    const std::vector<Piece>& pieces() const { return m_pieces; }

private:
    EditorDocument& m_document;
    std::vector<Piece> m_pieces;
    TextRange m_selectionBefore;
    TextRange m_selectionAfter;
    TypingRun m_run;
    bool m_hasBeenApplied = false;
};

} // namespace vendrix::app
