#pragma once

#include "core/formatting/FormatError.h"
#include "core/formatting/FormatIndent.h"

#include <QKeySequence>
#include <QList>
#include <QString>

#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {
class ProgressToken;
}

namespace vendrix::app {

/// One transforming command of the Format menu: its title (also the undo action's name), its
/// shortcuts, what it does to a text and the language it gives a whole document it formatted.
struct FormattingCommand {
    using Result = std::expected<std::u16string, FormatError>;
    /// Runs on the main thread (progress: null) or in a job (its token).
    using Transform = std::function<Result(std::u16string_view text, FormatIndent indent,
                                           ProgressToken* progress)>;

    QString title;
    QList<QKeySequence> shortcuts;
    Transform transform;
    std::optional<std::string> language;

    /// The Format menu's commands in menu order, an empty title standing for a separator
    /// ("Belgeyi Biçimlendir" and "JSON Doğrula" are not here: they decide at run time).
    static std::vector<FormattingCommand> formatters();
    /// The "Kodla / Çöz" submenu's codecs, with separators as above.
    static std::vector<FormattingCommand> codecs();
};

} // namespace vendrix::app
