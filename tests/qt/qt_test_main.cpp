// Runs a GoogleTest suite of the desktop program inside a QApplication.

#include <gtest/gtest.h>

#include <QApplication>

#include "tests/qt/test_environment.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    if (!qt_test::isolate(home))
        return 2;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvelin"));
    return RUN_ALL_TESTS();
}
