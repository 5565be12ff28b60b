#pragma once

#include <string_view>

namespace vendrix::app {

/// Pauses and faults a test plants in the background reads and writes of the flows. The
/// default does nothing. Called on the workers: an implementation must be thread-safe.
class WorkerProbe {
public:
    virtual ~WorkerProbe() = default;
    /// Each progress step of a background open or load, before it goes on.
    virtual void openStep(double fraction) { (void)fraction; }
    /// The errno a save's writer fails `operation` with (UserFileWriteOptions::fault); 0: none.
    virtual int saveFault(std::string_view operation) {
        (void)operation;
        return 0;
    }
};

} // namespace vendrix::app
