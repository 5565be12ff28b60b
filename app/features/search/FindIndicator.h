#pragma once

#include "core/common/TextRange.h"

namespace vendrix::app {

class EditorTextView;

/// A short-lived highlight over a found match, so the eye finds it after a jump. It sits on
/// the view's viewport, ignores the mouse and removes itself after `durationMs`.
struct FindIndicator {
    static constexpr int durationMs = 600;
    /// Object name of the indicator widget (tests look for it).
    static constexpr const char* objectName = "findIndicator";

    static void flash(EditorTextView* view, TextRange range);
};

} // namespace vendrix::app
