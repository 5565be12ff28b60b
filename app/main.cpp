#include "app/AppDelegate.h"
#include "app/CommandLine.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QStringList>

#include <cstdio>

using vendrix::app::AppDelegate;
using vendrix::app::CommandLine;

namespace {

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

} // namespace

int main(int argc, char* argv[]) {
    // The command line is read before the application object exists, so that --help and
    // --version work without a display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = CommandLine::parse(arguments, QDir::currentPath());
    switch (commandLine.action) {
    case CommandLine::Action::help:
        print(stdout, CommandLine::helpText());
        return 0;
    case CommandLine::Action::version:
        print(stdout, CommandLine::versionText());
        return 0;
    case CommandLine::Action::refuse:
        print(stderr, QStringLiteral("Vendrix: ") + commandLine.error + QLatin1Char('\n'));
        return CommandLine::usageExitStatus;
    case CommandLine::Action::run:
        break;
    }

    AppDelegate::raiseOpenFileLimit();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vendrix"));
    // The desktop entry's name: Wayland compositors match the window's app id to it (on X11
    // the window class "Vendrix", from the application name, matches its StartupWMClass).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.korpla.vendrix"));
    // The installed icon, for the window frame and task switchers that do not use the entry.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.korpla.vendrix")));
    AppDelegate::installToolkitTranslations();
    AppDelegate delegate;
    if (auto status = delegate.finishLaunching(commandLine.files))
        return *status;
    return QApplication::exec();
}
