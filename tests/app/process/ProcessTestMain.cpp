// Process-level tests. The executable doubles as the child process of the crash test:
// "--session-writer DIR TABS UNITS" runs the writer instead of the tests.
#include "SessionCrashChild.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--session-writer") == 0) {
        QCoreApplication application(argc, argv);
        return vendrix::app::crashTest::runWriter(QString::fromLocal8Bit(argv[2]),
                                                  std::atoi(argv[3]),
                                                  static_cast<std::size_t>(std::atol(argv[4])));
    }
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
