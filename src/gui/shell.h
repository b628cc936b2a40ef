#pragma once

#include "app_delegate.h"
#include "cloud_view_controller.h"
#include "command_environment.h"
#include "first_view_controller.h"
#include "gui_screen.h"
#include "help_view_controller.h"
#include "main_window.h"
#include "options_view_controller.h"
#include "second_view_controller.h"

#include <QObject>
#include <functional>
#include <memory>

struct CSClientContext;
class LinkServer;
class ToolRunner;

// Everything the window is made of, wired together: the command environment
// on a device root, the GUI screen, the controllers, the application delegate
// and the window with its five screens. The tool runner comes from outside
// (the program's guarded runner, or a test's recording one).
class Shell : public QObject {
public:
    enum Tab { kSafeguardTab, kRestorationTab, kOptionsTab, kCloudTab, kHelpTab };

    // The cloud client works in `client`, which outlives the shell.
    Shell(const std::string& deviceRoot, ToolRunner& runner, CSClientContext& client);
    ~Shell() override;

    MainWindow& window() { return window_; }
    GuiScreen& screen() { return screen_; }
    CommandEnvironment& environment() { return environment_; }
    AppDelegate& delegate() { return delegate_; }
    FirstViewController& safeguard() { return safeguard_; }
    SecondViewController& restoration() { return restoration_; }
    OptionsViewController& options() { return options_; }
    CloudViewController& cloud() { return cloud_; }

    // The platform's life-cycle: only a suspended application is in the
    // background; losing the focus on a desktop is not.
    void applicationStateChanged(Qt::ApplicationState state);

    // A link answer given at launch or forwarded by a second launch goes to
    // the delegate's application:handleOpenURL:. The URL stays the string it
    // came as: parsing would rewrite its host.
    void openUrl(const QString& url);
    void setOpenUrlHandler(std::function<void(const QString&)> handler);

    // Listens for link answers of later launches.
    bool listenForLinks(const QString& socketPath);

    // Said once at start when the process could not become root.
    void showNotRootAlert();

private:
    void buildTabs();
    void guarded(const std::function<void()>& action);

    CommandEnvironment environment_;
    GuiScreen screen_;
    FirstViewController safeguard_;
    SecondViewController restoration_;
    OptionsViewController options_;
    CloudViewController cloud_;
    HelpViewController help_;
    AppDelegate delegate_;
    MainWindow window_;
    std::function<void(const QString&)> openUrlHandler_;
    std::unique_ptr<LinkServer> links_;
};
