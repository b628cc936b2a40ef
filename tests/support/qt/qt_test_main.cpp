// The GoogleTest main of every Qt test: a widget application in a private
// home. The web engine runs without its sandbox (tests run as root) and GPU,
// its app scheme registered before the application.
#include "private_home.h"

#include <QApplication>
#include <gtest/gtest.h>
#ifdef MOBRIX_TEST_WEB_ENGINE
#include "app_scheme.h"
#endif

int main(int argc, char** argv) {
    PrivateHome home;
#ifdef MOBRIX_TEST_WEB_ENGINE
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    registerAppScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
