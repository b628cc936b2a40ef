#include "app_scheme.h"
#include "bundle_version.h"
#include "cs_client_context.h"
#include "device_root.h"
#include "gui_arguments.h"
#include "hidden_arguments.h"
#include "link_channel.h"
#include "process_tool_runner.h"
#include "restart_guard_runner.h"
#include "secret_store_keychain.h"
#include "service_options.h"
#include "shell.h"
#include "startup_identity.h"
#include "user_folders.h"
#include "web_link_presenter.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <cerrno>
#include <cstdio>

namespace {

// The web engine will not start as root with its sandbox on.
void allowWebEngineAsRoot() {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (flags.contains("--no-sandbox"))
        return;
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --no-sandbox").trimmed());
}

// Link answers given as arguments, copied and then blanked in the process's
// command line, which every local user can read.
QStringList takeLinkAnswers(int argc, char** argv) {
    const QString prefix = QStringLiteral("%1:").arg(QLatin1String(kAppScheme));
    QStringList answers;
    for (int i = 1; i < argc; ++i) {
        const QString word = QString::fromLocal8Bit(argv[i]);
        if (word.startsWith(prefix, Qt::CaseInsensitive))
            answers << word;
    }
    platform::hideArgumentsStartingWith(argc, argv, prefix.toStdString());
    return answers;
}

// Link answers on standard input, one per line (RootMobrix-open writes them
// and closes the pipe). Bounded like the link socket.
QStringList readLinkAnswers() {
    QByteArray input;
    char buffer[4096];
    ssize_t n = 0;
    while (input.size() <= gui::link_channel::kMaxMessage &&
           (n = ::read(STDIN_FILENO, buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        input.append(buffer, n);
    }
    QStringList answers;
    if (input.size() > gui::link_channel::kMaxMessage)
        return answers;
    for (const QByteArray& line : input.split('\n'))
        if (const QString url = QString::fromUtf8(line).trimmed(); !url.isEmpty())
            answers << url;
    return answers;
}

// The test hook --test-home, never taken from a program started with raised
// rights, whose arguments come from a less trusted user.
bool applyTestHome(const QString& home) {
    if (home.isEmpty())
        return true;
    if (platform::startedWithRaisedRights())
        return false;
    platform::setUserFoldersOverride(platform::UserFolders::underHome(home.toStdString()));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    // Root rights are needed to read and write other users' folders; the
    // identity is settled before anything reads the environment or arguments.
    if (auto settled = runtime::startup_identity::settle(); !settled) {
        std::fprintf(stderr, "RootMobrix: %s\n", settled.error().message.c_str());
        return 1;
    }
    const bool root = runtime::startup_identity::isRoot();
    if (root)
        allowWebEngineAsRoot();
    QStringList linkAnswers = takeLinkAnswers(argc, argv);
    registerAppScheme();
    // The web engine shares its graphics context with the window's.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    QApplication application(argc, argv);
    // What the cloud client works in, for this run. Credential items of the
    // OAuth component live in the per-user secret store.
    CSClientContext client;
    client.keychain = std::make_shared<platform::SecretStoreKeychain>();
    QApplication::setApplicationName(QStringLiteral("RootMobrix"));
    QApplication::setApplicationDisplayName(QStringLiteral("Mobrix"));
    QApplication::setApplicationVersion(QStringLiteral(MOBRIX_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("RootMobrix"));

    GuiArguments arguments = parseGuiArguments(application.arguments().mid(1));
    if (arguments.error.isEmpty() && !applyTestHome(arguments.testHome))
        arguments.error = QStringLiteral("--test-home is refused when started with raised rights");
    // The service named for this run: every request goes there, trusting only its file.
    if (arguments.error.isEmpty())
        if (auto applied = cloud::applyServiceOptions(arguments.serviceUrl.toStdString(),
                                                      arguments.serviceCa.toStdString(), client);
            !applied)
            arguments.error = QString::fromStdString(applied.error().message);
    if (!arguments.error.isEmpty()) {
        std::fprintf(stderr, "RootMobrix: %s\n%s", qPrintable(arguments.error), kGuiUsage);
        return 2;
    }
    if (arguments.help) {
        std::fputs(kGuiUsage, stdout);
        return 0;
    }
    if (arguments.version) {
        std::puts("RootMobrix " MOBRIX_VERSION);
        return 0;
    }

    arguments.urls << linkAnswers;
    if (arguments.linksOnInput)
        arguments.urls << readLinkAnswers();

    // A window already runs: it takes the link answers, and this launch ends.
    const QString socketPath = gui::link_channel::socketPath();
    if (gui::link_channel::forward(socketPath, arguments.urls))
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
    Shell shell(deviceRoot.root(), runner, client);
    client.linkPresenter = std::make_shared<WebLinkPresenter>(
        &shell.window(), shell.screen(), [&shell](const std::string& url) {
            shell.openUrl(QString::fromStdString(url));
            return true;
        });
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
