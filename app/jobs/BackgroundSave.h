#pragma once

#include "app/context/JobRunner.h"
#include "core/text/TextFileSaver.h"
#include "core/text/TextStorage.h"

#include <QString>

#include <expected>
#include <functional>
#include <optional>
#include <string_view>

class QWidget;

namespace vendrix::app {

class ProgressPanel;

/// Saves a snapshot of a document's text as a job of the window's runner: encoded piece by
/// piece straight into the file (TextFileSaver). The snapshot is a chunked copy; copying a
/// large text for it is spread over event-loop turns (`prepare`, a short step per turn)
/// before it is taken and handed to the job, which waits for it. The caller waits in a local event
/// loop, so the window keeps painting and taking input (the document may be edited meanwhile; the
/// file gets the snapshot). A save still running after `panelDelayMilliseconds` shows a progress
/// panel whose "Vazgeç" cancels it, preparation included; a cancelled save leaves the old file as
/// it was.
class BackgroundSave {
public:
    struct Request {
        /// One short step of copying the text; true when `capture` would copy little. Called
        /// once right away and then once per event-loop turn until it returns true.
        std::function<bool()> prepare;
        /// Takes the snapshot to write; none when the text is gone (the save is cancelled).
        std::function<std::optional<TextChunkSnapshot>()> capture;
        TextEncoding encoding = TextEncoding::utf8;
        LineEnding lineEnding = LineEnding::lf;
        /// The file to write, symbolic links resolved.
        QString target;
        /// The progress panel's title.
        QString title;
    };
    struct Options {
        int panelDelayMilliseconds = 500;
        /// Test seam, handed to the writer (UserFileWriteOptions::fault); runs on the worker.
        std::function<int(std::string_view operation)> fault;
        /// Called when the progress panel appears.
        std::function<void(ProgressPanel& panel)> panelShown;
    };
    using Result = std::expected<UserFileWriteResult, TextFileSaveFailure>;

    /// Runs the save on `runner` and returns once the job has finished.
    /// `captured`, when given, receives the snapshot written (its revision names the text
    /// the file now holds; its chunks stay alive as long as the caller keeps it).
    static Result run(JobRunner& runner, const Request& request, QWidget* parent,
                      const Options& options, std::optional<TextChunkSnapshot>* captured = nullptr);
};

} // namespace vendrix::app
