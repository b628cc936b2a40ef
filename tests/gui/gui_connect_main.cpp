#include "app_scheme.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "private_home.h"

// The web engine in a private home, without its sandbox (the tests run as
// root) and without a GPU; the app scheme registered before the application.
int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    usePrivateHome(home.path());
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");

    registerAppScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
