#pragma once

#include "app/context/EditorFeature.h"
#include "core/common/TextRange.h"
#include "core/editing/LineOperation.h"
#include "core/editing/TextEdit.h"

#include <QString>

#include <optional>

namespace vendrix::app {

class EditorDocument;

/// The Edit menu's line, indent and case commands ("Satır İşlemleri", "Harf Dönüşümü"): each
/// computes one edit of the active tab with a core line operation and applies it as one undo
/// step named after the command.
class LinesFeature final : public EditorFeature {
public:
    void attach(EditorContext& context) override;
    void contributeMenus(MenuBuilder& builder) override;

    /// Runs a line command named `title` on the active tab (a case command changes each
    /// line's part of a column selection).
    void runLineOperation(LineOperation operation, const QString& title);
    /// "Girintiyi Artır" (true) and "Girintiyi Azalt": by a tab, or by tab-width spaces when
    /// the settings say indentation inserts spaces.
    void runIndent(bool increase, const QString& title);

private:
    bool activeIsEditable() const;
    /// The document the commands work on: the active one when it is editable, loaded and
    /// shown; null otherwise.
    EditorDocument* editableShownDocument() const;
    /// The selection the commands work on: the bounding range of a column selection, else
    /// the view's selection.
    TextRange effectiveSelection() const;
    /// Applies a line edit to the shown document as one undo step named `title`.
    void applyLineEdit(EditorDocument& document, const std::optional<TextEdit>& edit,
                       const QString& title);

    EditorContext* m_ctx = nullptr;
};

} // namespace vendrix::app
