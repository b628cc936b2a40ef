#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

// Keeps Qt from writing runtime files anywhere but a private temporary folder.
void useTemporaryHome() {
    char pattern[] = "/tmp/hud-tests-XXXXXX";
    const char* root = mkdtemp(pattern);
    if (root == nullptr)
        return;
    const std::string base(root);
    for (const char* name :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        const std::string dir = base + "/" + name;
        mkdir(dir.c_str(), 0700);
        setenv(name, dir.c_str(), 1);
    }
}

} // namespace

int main(int argc, char** argv) {
    // Test discovery runs the binary outside CTest's environment.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    useTemporaryHome();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
