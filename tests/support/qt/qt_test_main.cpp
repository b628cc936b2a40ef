// The GoogleTest main of every Qt test: a widget application in a private
// home, drawing offscreen (test discovery runs the binary outside CTest's
// environment).
#include "private_home.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    PrivateHome home;
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
