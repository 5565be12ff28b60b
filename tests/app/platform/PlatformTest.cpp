#include "app/platform/SignalPipe.h"
#include "app/platform/SingleInstance.h"
#include "core/text/OtherUser.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <future>

namespace vendrix::app {
namespace {

using namespace std::chrono_literals;

/// Runs the event loop until `done` or five seconds have passed.
template <typename Predicate> bool spinUntil(Predicate done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

/// Offers from another thread (the client blocks) while this thread serves.
SingleInstance::OfferOutcome offerServed(const QString& path, const OpenRequest& request) {
    auto future = std::async(std::launch::async, [&] {
        return SingleInstance::offer(path, request, 2s);
    });
    spinUntil([&] { return future.wait_for(0ms) == std::future_status::ready; });
    return future.get();
}

TEST(OpenRequestTest, RoundTripsAndRefusesAnythingMalformed) {
    OpenRequest request{{"/tmp/a b.txt", "/home/ü/ç.json"}, "token-123"};
    EXPECT_EQ(OpenRequest::decode(request.encode()), request);
    EXPECT_EQ(OpenRequest::decode(OpenRequest{}.encode()), OpenRequest{}) << "no files: just raise";

    auto refused = [](OpenRequest bad) { return !OpenRequest::decode(bad.encode()); };
    EXPECT_TRUE(refused({{"relative.txt"}, {}}));
    EXPECT_TRUE(refused({{QStringLiteral("/a\0b")}, {}}));
    EXPECT_TRUE(refused({{"/a"}, "two words"})) << "the token goes into the environment";
    EXPECT_TRUE(refused({QStringList(OpenRequest::maximumPaths + 1, "/a"), {}}));
    EXPECT_TRUE(refused({{"/" + QString(OpenRequest::maximumPathBytes, u'x')}, {}}));

    const QByteArray good = request.encode();
    EXPECT_FALSE(OpenRequest::decode(good.left(good.size() - 1))) << "truncated";
    EXPECT_FALSE(OpenRequest::decode(good + "x")) << "trailing bytes";
    QByteArray otherMagic = good;
    otherMagic[0] = 'X';
    EXPECT_FALSE(OpenRequest::decode(otherMagic));
    QByteArray badUtf8 = OpenRequest{{"/ab"}, {}}.encode();
    badUtf8[badUtf8.size() - 1] = '\xFF';
    EXPECT_FALSE(OpenRequest::decode(badUtf8));
}

TEST(SingleInstanceTest, SocketPathIsPerSessionAndFitsTheAddress) {
    test::TempDir temp;
    const QString runtime = QString::fromStdString(temp.path().string());
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    auto first = SingleInstance::socketPath("/home/u/.local/share/Vendrix");
    auto second = SingleInstance::socketPath("/tmp/other/Vendrix");
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->startsWith(runtime + "/vendrix-"));
    EXPECT_NE(*first, *second);
    EXPECT_EQ(SingleInstance::socketPath("/home/u/.local/share/Vendrix/"), first);

    // A runtime directory too deep for a socket address falls back to the session directory.
    const QString deep = runtime + "/" + QString(90, u'd');
    QDir().mkpath(deep);
    qputenv("XDG_RUNTIME_DIR", deep.toUtf8());
    EXPECT_EQ(SingleInstance::socketPath("/s/Vendrix"), QStringLiteral("/s/Vendrix/instance.sock"));
    EXPECT_FALSE(SingleInstance::socketPath("/" + QString(120, u's')));
    qunsetenv("XDG_RUNTIME_DIR");
}

TEST(SingleInstanceTest, HandsFilesOverInArrivalOrderAndRefusesGarbage) {
    test::TempDir temp;
    const QString path = QString::fromStdString((temp.path() / "i.sock").string());
    EXPECT_EQ(SingleInstance::offer(path, {}, 200ms), SingleInstance::OfferOutcome::noInstance);

    // A socket file left by a crashed holder does not stop the next lock holder.
    test::writeFileBytes(temp.path() / "i.sock", "stale");
    SingleInstance server(path);
    ASSERT_TRUE(server.listen());
    QList<OpenRequest> received;
    QObject::connect(&server, &SingleInstance::openRequested,
                     [&](const OpenRequest& request) { received << request; });

    EXPECT_EQ(offerServed(path, {{"/tmp/bir.txt", "/tmp/iki.txt"}, "tok"}),
              SingleInstance::OfferOutcome::delivered);
    EXPECT_EQ(offerServed(path, {{"/tmp/üç.txt"}, {}}), SingleInstance::OfferOutcome::delivered);
    ASSERT_EQ(received.size(), 2);
    EXPECT_EQ(received[0].paths, QStringList({"/tmp/bir.txt", "/tmp/iki.txt"}));
    EXPECT_EQ(received[0].activationToken, "tok");
    EXPECT_EQ(received[1].paths, QStringList{"/tmp/üç.txt"});

    // A message that is not well formed, or announces more than the limit, is dropped with
    // the connection and delivers nothing.
    for (QByteArray garbage : {QByteArray("\0\0\0\x05hello", 9), QByteArray("\x7F\xFF\xFF\xFF", 4)}) {
        QLocalSocket socket;
        socket.connectToServer(path);
        ASSERT_TRUE(socket.waitForConnected(1000));
        socket.write(garbage);
        socket.flush();
        EXPECT_TRUE(spinUntil([&] { return socket.state() == QLocalSocket::UnconnectedState; }));
    }
    EXPECT_EQ(received.size(), 2);
}

// The socket file is private to its owner already; the peer's credentials are the second
// wall, for a socket whose file permissions were opened by someone.
TEST(SingleInstanceTest, RequestsFromAnotherUserAreRefused) {
    test::TempDir temp;
    const QString path = QString::fromStdString((temp.path() / "i.sock").string());
    SingleInstance server(path);
    ASSERT_TRUE(server.listen());
    int received = 0;
    QObject::connect(&server, &SingleInstance::openRequested, [&] { ++received; });
    ::chmod(temp.path().c_str(), 0755);
    ::chmod(path.toLocal8Bit().constData(), 0777);

    QLocalSocket socket;
    {
        test::AsNobody nobody;
        if (!nobody.active())
            GTEST_SKIP() << "needs root to act as another user";
        socket.connectToServer(path);
        ASSERT_TRUE(socket.waitForConnected(1000));
    }
    QByteArray message;
    const QByteArray request = OpenRequest{{"/tmp/x"}, {}}.encode();
    char length[4] = {0, 0, 0, static_cast<char>(request.size())};
    message.append(length, 4).append(request);
    socket.write(message);
    socket.flush();
    EXPECT_TRUE(spinUntil([&] { return socket.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_EQ(received, 0);
    // The same request from the owner is taken.
    EXPECT_EQ(offerServed(path, {{"/tmp/x"}, {}}), SingleInstance::OfferOutcome::delivered);
    EXPECT_EQ(received, 1);
}

TEST(SignalPipeTest, DeliversSignalsOnTheMainThreadInOrder) {
    std::vector<int> received;
    {
        SignalPipe pipe;
        ASSERT_TRUE(pipe.install({SIGHUP, SIGUSR1}));
        SignalPipe second;
        EXPECT_FALSE(second.install({SIGUSR2})) << "one pipe per process";
        QObject::connect(&pipe, &SignalPipe::signalReceived,
                         [&](int number) { received.push_back(number); });
        ::raise(SIGUSR1);
        ::raise(SIGHUP);
        EXPECT_TRUE(received.empty()) << "nothing runs inside the handler";
        EXPECT_TRUE(spinUntil([&] { return received.size() == 2; }));
    }
    EXPECT_EQ(received, (std::vector<int>{SIGUSR1, SIGHUP}));
    struct sigaction current {};
    ::sigaction(SIGHUP, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL) << "the default comes back with the pipe";
}

} // namespace
} // namespace vendrix::app
