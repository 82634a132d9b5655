// main() for GoogleTest executables that need a QApplication (window tests on the offscreen
// platform, or anything that uses Qt's event loop).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
