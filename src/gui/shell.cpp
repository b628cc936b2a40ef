#include "shell.h"

#include "app_scheme.h"
#include "command_frame.h"
#include "link_channel.h"
#include "screen_pages.h"
#include "tab_icons.h"

#include <cstdio>

Shell::Shell(const std::string& deviceRoot, ToolRunner& runner, CSClientContext& client)
    : environment_(DeviceRoot(deviceRoot), runner), screen_(environment_),
      safeguard_(environment_, screen_), restoration_(environment_, screen_),
      options_(environment_, screen_), cloud_(environment_, screen_, client),
      help_(environment_, screen_), delegate_(environment_, screen_, client) {
    screen_.attach(&window_, [this] { return window_.currentPage(); });
    buildTabs();
    // Closing the window in the middle of a command would cut its steps off.
    window_.setCloseGuard([this] {
        if (!environment_.busy())
            return true;
        screen_.showNotice(kBusyNotice);
        return false;
    });
    openUrlHandler_ = [this](const QString& url) {
        const bool taken = delegate_.handleOpenURL(url.toStdString());
        std::fprintf(stderr, "RootMobrix: link answer %s %s\n", qPrintable(redactedUrl(url)),
                     taken ? "handed to the cloud session" : "not taken by the cloud session");
    };
    delegate_.applicationDidFinishLaunchingWithOptions();
}

Shell::~Shell() = default;

// Every button goes through the busy rule: while a command runs, a press
// only shows the notice.
void Shell::guarded(const std::function<void()>& action) {
    whenIdle(environment_, screen_, action);
}

void Shell::buildTabs() {
    auto gate = [this](const std::function<void()>& action) { guarded(action); };
    window_.addTab(QStringLiteral("Safeguard"), gui::tab_icons::safeguard(),
                   gui::screen_pages::safeguard(safeguard_, gate),
                   [this] { safeguard_.loadViewIfNeeded(); });
    window_.addTab(QStringLiteral("Restoration"), gui::tab_icons::restoration(),
                   gui::screen_pages::restoration(restoration_, gate),
                   [this] { restoration_.loadViewIfNeeded(); });
    window_.addTab(QStringLiteral("Options"), gui::tab_icons::options(),
                   gui::screen_pages::options(options_, gate),
                   [this] { options_.loadViewIfNeeded(); });
    window_.addTab(QStringLiteral("Cloud"), gui::tab_icons::cloud(),
                   gui::screen_pages::cloud(cloud_, gate), [this] { cloud_.loadViewIfNeeded(); });
    window_.addTab(QStringLiteral("Help"), gui::tab_icons::help(),
                   gui::screen_pages::help(QString::fromStdString(environment_.root().root())),
                   [this] { help_.loadViewIfNeeded(); });
    window_.showTab(kSafeguardTab);
}

void Shell::applicationStateChanged(Qt::ApplicationState state) {
    switch (state) {
    case Qt::ApplicationSuspended:
        delegate_.applicationDidEnterBackground();
        break;
    case Qt::ApplicationHidden:
    case Qt::ApplicationInactive:
        delegate_.applicationWillResignActive();
        break;
    case Qt::ApplicationActive:
        delegate_.applicationDidBecomeActive();
        break;
    }
}

void Shell::openUrl(const QString& url) {
    if (openUrlHandler_)
        openUrlHandler_(url);
}

void Shell::setOpenUrlHandler(std::function<void(const QString&)> handler) {
    openUrlHandler_ = std::move(handler);
}

bool Shell::listenForLinks(const QString& socketPath) {
    links_ = std::make_unique<LinkServer>();
    connect(links_.get(), &LinkServer::urlReceived, this, &Shell::openUrl);
    connect(links_.get(), &LinkServer::activationRequested, this, [this] {
        window_.showNormal();
        window_.raise();
        window_.activateWindow();
    });
    return links_->listen(socketPath);
}

void Shell::showNotRootAlert() {
    screen_.showAlert(closingAlert("Not running as root",
                                   "Mobrix could not take root rights. Commands that read or "
                                   "write other users' folders will fail and say so.",
                                   AlertOutcome::None),
                      nullptr);
}
