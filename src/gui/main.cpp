#include "app_scheme.h"
#include "device_root.h"
#include "gui_arguments.h"
#include "link_channel.h"
#include "process_identity.h"
#include "process_tool_runner.h"
#include "restart_guard_runner.h"
#include "secret_store_keychain.h"
#include "shell.h"
#include "web_link_presenter.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

namespace {

// The web engine will not start as root with its sandbox on.
void allowWebEngineAsRoot() {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (flags.contains("--no-sandbox"))
        return;
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --no-sandbox").trimmed());
}

} // namespace

int main(int argc, char** argv) {
    // Root rights are needed to read and write other users' folders; the
    // identity is settled before anything reads the environment or arguments.
    if (std::string refusal = process_identity::settle(); !refusal.empty()) {
        std::fprintf(stderr, "RootMobrix: %s\n", refusal.c_str());
        return 1;
    }
    const bool root = process_identity::isRoot();
    if (root)
        allowWebEngineAsRoot();
    registerAppScheme();
    // The web engine shares its graphics context with the window's.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    QApplication application(argc, argv);
    // Credential items of the OAuth component live in the per-user secret store.
    OAuthKeychain::setDefaultKeychain(std::make_shared<platform::SecretStoreKeychain>());
    QApplication::setApplicationName(QStringLiteral("RootMobrix"));
    QApplication::setApplicationDisplayName(QStringLiteral("Mobrix"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    QApplication::setDesktopFileName(QStringLiteral("RootMobrix"));

    const GuiArguments arguments = parseGuiArguments(application.arguments().mid(1));
    if (!arguments.error.isEmpty()) {
        std::fprintf(stderr, "RootMobrix: %s\n%s", qPrintable(arguments.error), kGuiUsage);
        return 2;
    }
    if (arguments.help) {
        std::fputs(kGuiUsage, stdout);
        return 0;
    }
    if (arguments.version) {
        std::puts("RootMobrix 1.0.0");
        return 0;
    }

    // A window already runs: it takes the link answers, and this launch ends.
    const QString socketPath = link_channel::socketPath();
    if (link_channel::forward(socketPath, arguments.urls))
        return 0;

    if (!QFileInfo(arguments.root).isDir()) {
        std::fprintf(stderr, "RootMobrix: the device root %s does not exist\n",
                     qPrintable(arguments.root));
        return 2;
    }
    const DeviceRoot deviceRoot(arguments.root.toStdString());
    ProcessToolRunner processes;
    RestartGuardRunner runner(processes, deviceRoot.isSystem(),
                              RestartGuardRunner::environmentRecorder());
    Shell shell(deviceRoot.root(), runner);
    platform::LinkPresenter::setShared(std::make_shared<WebLinkPresenter>(
        &shell.window(), shell.screen(), [&shell](const std::string& url) {
            shell.openUrl(QString::fromStdString(url));
            return true;
        }));
    if (!shell.listenForLinks(socketPath))
        std::fprintf(stderr, "RootMobrix: warning: link answers of later launches cannot reach "
                             "this window\n");
    QObject::connect(&application, &QGuiApplication::applicationStateChanged, &shell,
                     &Shell::applicationStateChanged);

    shell.window().show();
    for (const QString& url : arguments.urls)
        shell.openUrl(url);
    if (!root)
        QTimer::singleShot(0, &shell, [&shell] { shell.showNotRootAlert(); });
    return application.exec();
}
