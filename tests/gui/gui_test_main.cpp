#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "private_home.h"

// Every test runs in a private temporary home.
int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    usePrivateHome(home.path());

    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
