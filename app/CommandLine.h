#pragma once

#include <QString>
#include <QStringList>

namespace vendrix::app {

/// What the command line asks for. Parsed from the raw arguments before the application
/// object exists, so that --help and --version work without a display. The toolkit's own
/// single-dash options (-platform NAME, -style NAME, -reverse, ...) are let through to it.
struct CommandLine {
    enum class Action { run, help, version, refuse };
    Action action = Action::run;
    /// The files to open, absolute and cleaned, in command-line order.
    QStringList files;
    /// For refuse: the complete message (Turkish), without the "Vendrix: " prefix.
    QString error;

    /// `arguments` without the program name; relative file names are taken relative to
    /// `currentDirectory`. After "--" everything is a file name.
    static CommandLine parse(const QStringList& arguments, const QString& currentDirectory);

    static QString helpText();
    static QString versionText();
    /// The version the build was made as (the project's version in CMake); --version prints
    /// it and the application carries it (QCoreApplication::applicationVersion()).
    static QString version();
    /// Exit status for a refused command line.
    static constexpr int usageExitStatus = 2;
};

} // namespace vendrix::app
