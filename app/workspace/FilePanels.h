#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vendrix::app {

/// The dialogs that choose files for the flows: the window's open and save panels, or a
/// test's answers.
class FilePanels {
public:
    virtual ~FilePanels() = default;
    /// The files chosen to open (several allowed); empty when cancelled.
    virtual QStringList chooseFilesToOpen() = 0;
    /// Where to save, proposing `proposedName`; none when cancelled.
    virtual std::optional<QString> chooseSaveTarget(const QString& proposedName) = 0;
};

} // namespace vendrix::app
