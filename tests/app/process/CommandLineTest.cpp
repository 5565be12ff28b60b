#include "app/CommandLine.h"
#include "support/TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace vendrix::app {
namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

/// Runs the real executable with a display that does not exist, so that anything trying to
/// open a window fails instead of showing one.
Outcome runVendrix(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("DISPLAY", ":97531");
    environment.remove("WAYLAND_DISPLAY");
    process.setProcessEnvironment(environment);
    process.start(VENDRIX_PATH, arguments);
    Outcome run;
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TEST(CommandLineTest, HelpVersionAndUnknownOptionsNeverOpenAWindow) {
    Outcome help = runVendrix({"--help"});
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.startsWith("Kullanım: vendrix")) << help.out.toStdString();
    EXPECT_EQ(runVendrix({"-h"}).out, help.out);

    Outcome version = runVendrix({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("Vendrix ")) << version.out.toStdString();
    EXPECT_TRUE(version.err.isEmpty()) << version.err.toStdString();

    Outcome unknown = runVendrix({"a.txt", "--frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.startsWith("Vendrix: bilinmeyen seçenek “--frobnicate”"))
        << unknown.err.toStdString();
    EXPECT_TRUE(unknown.out.isEmpty());
}

TEST(CommandLineTest, ParsesFilesOptionsAndTheEndOfOptions) {
    auto parse = [](QStringList arguments) { return CommandLine::parse(arguments, "/home/u"); };
    CommandLine files = parse({"a.txt", "../b.json", "/etc/c", "-platform", "offscreen", "-reverse"});
    EXPECT_EQ(files.action, CommandLine::Action::run);
    EXPECT_EQ(files.files, QStringList({"/home/u/a.txt", "/home/b.json", "/etc/c"}));

    CommandLine dashed = parse({"--", "-n.txt", "--version", "-"});
    EXPECT_EQ(dashed.action, CommandLine::Action::run);
    EXPECT_EQ(dashed.files, QStringList({"/home/u/-n.txt", "/home/u/--version", "/home/u/-"}));

    EXPECT_EQ(parse({"-n.txt"}).action, CommandLine::Action::refuse);
    EXPECT_EQ(parse({"-style"}).action, CommandLine::Action::refuse) << "a value is missing";
    EXPECT_EQ(parse({"x", "--version", "--bogus"}).action, CommandLine::Action::version);
    EXPECT_EQ(parse({"-"}).files, QStringList{"/home/u/-"}) << "a lone dash is a file name";
}

} // namespace
} // namespace vendrix::app
