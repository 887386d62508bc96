// Runs the window tests inside the program's own application object, whose
// exception reporting they test too.

#include <gtest/gtest.h>

#include "app/application.h"
#include "tests/qt/test_environment.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    if (!qt_test::isolate(home))
        return 2;
    int qtArgc = 1;
    app::Application application(qtArgc, argv);
    return RUN_ALL_TESTS();
}
