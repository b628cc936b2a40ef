#include "gui_fixture.h"

#include "category_table.h"
#include "command_frame.h"
#include "lum_progress_hud.h"

#include <QTest>
#include <QToolButton>

namespace {

struct KeyedCommand {
    std::string key;
    std::string safeguardTitle;
    std::string restorationTitle;
};

std::vector<KeyedCommand> keyedCommands() {
    std::vector<KeyedCommand> commands;
    for (const auto& category : store::categoryTable())
        commands.push_back({std::string(category.key), std::string(category.safeguardTitle),
                            std::string(category.restorationTitle)});
    commands.push_back({"CydiaSources", std::string(store::kSourcesSafeguardTitle),
                        std::string(store::kSourcesRestorationTitle)});
    commands.push_back({"CydiaPackages", std::string(store::kPackagesSafeguardTitle),
                        std::string(store::kPackagesRestorationTitle)});
    commands.push_back({"AllPref", std::string(store::kAllSafeguardTitle),
                        std::string(store::kAllRestorationTitle)});
    return commands;
}

const std::string kLibrary = "/var/mobile/Library/Preferences/Mobrix/MobrixLibrary/";

} // namespace

// Each button of the two command screens runs its own command: the alert
// carries that command's title and closes with its first button. What the
// commands do is tested in tests/commands.
TEST_F(GuiTest, EveryCommandButtonRunsItsOwnCommand) {
    createStoreFolders();
    for (const auto& command : keyedCommands()) {
        const std::tuple<Shell::Tab, std::string, std::string> buttons[] = {
            {Shell::kSafeguardTab, "Save" + command.key, command.safeguardTitle},
            {Shell::kRestorationTab, "Restore" + command.key, command.restorationTitle}};
        for (const auto& [tab, method, title] : buttons) {
            press(tab, method.c_str());
            AlertDialog* alert = topAlert();
            ASSERT_NE(alert, nullptr) << method;
            EXPECT_EQ(alertTitle(alert).toStdString(), title);
            EXPECT_EQ(alert->alert().outcome, AlertOutcome::Succeeded)
                << method << ": " << alertMessage(alert).toStdString();
            answer(alert, 0);
            EXPECT_EQ(openAlertCount(), 0) << method;
        }
    }
    EXPECT_TRUE(runner_.restarts().empty());
}

TEST_F(GuiTest, OverlayCoversTheScreenWhileToolsRunAndGoesAfterwards) {
    createStoreFolders();
    QWidget* page = shell_->window().page(Shell::kSafeguardTab);
    int runs = 0;
    int runsWithOverlay = 0;
    runner_.duringRun = [&](const ToolRun&) {
        ++runs;
        LumProgressHUD* hud = shell_->screen().overlay();
        if (hud && hud->parentWidget() == page && hud->isVisible() &&
            hud->labelText() == "Safeguard in progress..." && hud->mode() == 0)
            ++runsWithOverlay;
    };
    press(Shell::kSafeguardTab, "SaveAccounts");
    EXPECT_GT(runs, 0);
    EXPECT_EQ(runsWithOverlay, runs);
    EXPECT_EQ(shell_->screen().overlay(), nullptr);
    EXPECT_TRUE(waitUntil([&] { return LumProgressHUD::HUDForView(page) == nullptr; }));
    ASSERT_NE(topAlert(), nullptr);
    EXPECT_EQ(alertTitle(topAlert()), "Accounts Safeguard");
}

TEST_F(GuiTest, InputIsIgnoredDuringAWrappedStep) {
    createStoreFolders();
    bool sawWrappedStep = false;
    runner_.duringRun = [&](const ToolRun& run) {
        if (run.launchPath != "/bin/cp" || sawWrappedStep)
            return;
        sawWrappedStep = true;
        EXPECT_TRUE(shell_->screen().ignoringInteraction());
        QTest::mouseClick(button("SaveNotes"), Qt::LeftButton);
        QTest::keyClick(button("SaveNotes"), Qt::Key_Space);
        QTest::mouseClick(shell_->window().tabButton(Shell::kHelpTab), Qt::LeftButton);
    };
    press(Shell::kSafeguardTab, "SaveAccounts");
    EXPECT_TRUE(sawWrappedStep);
    EXPECT_FALSE(shell_->screen().ignoringInteraction());
    EXPECT_TRUE(shell_->screen().lastNotice().isEmpty()) << "a dropped press reached a button";
    EXPECT_EQ(shell_->window().currentIndex(), Shell::kSafeguardTab);
    EXPECT_EQ(openAlertCount(), 1);
    EXPECT_EQ(alertTitle(topAlert()), "Accounts Safeguard");
    EXPECT_FALSE(exists(kLibrary + "Notes.zip"));
    // Input works again once the step is over.
    answer(QStringLiteral("Close"));
    QTest::mouseClick(shell_->window().tabButton(Shell::kHelpTab), Qt::LeftButton);
    EXPECT_EQ(shell_->window().currentIndex(), Shell::kHelpTab);
}

TEST_F(GuiTest, ButtonsAndAlertAnswersDuringAPlainStepOnlyShowTheBusyNotice) {
    createStoreFolders();
    press(Shell::kSafeguardTab, "SaveAccounts");
    answer(QStringLiteral("Close"));
    press(Shell::kOptionsTab, "Respring");
    AlertDialog* respring = topAlert();
    ASSERT_NE(respring, nullptr);

    bool pressedWhileBusy = false;
    runner_.duringRun = [&](const ToolRun& run) {
        if (pressedWhileBusy || run.launchPath == "/bin/cp")
            return;
        pressedWhileBusy = true;
        EXPECT_FALSE(shell_->screen().ignoringInteraction());
        QTest::mouseClick(shell_->window().tabButton(Shell::kSafeguardTab), Qt::LeftButton);
        QTest::mouseClick(button("SaveNotes"), Qt::LeftButton);
        EXPECT_EQ(shell_->screen().lastNotice().toStdString(), kBusyNotice);
        QTest::mouseClick(respring->button(1), Qt::LeftButton);
        EXPECT_TRUE(respring->isVisible()) << "the alert must stay for a later answer";
    };
    // Started as the dispatcher would start it; the respring alert stays open.
    shell_->restoration().RestoreAccounts();
    EXPECT_TRUE(pressedWhileBusy);
    EXPECT_TRUE(runner_.restarts().empty());
    EXPECT_FALSE(exists(kLibrary + "Notes.zip"));

    ASSERT_NE(topAlert(), nullptr);
    EXPECT_EQ(alertTitle(topAlert()), "Accounts Restoration");
    answer(QStringLiteral("Close"));
    ASSERT_EQ(topAlert(), respring);
    runner_.duringRun = nullptr;
    answer(respring, 1);
    EXPECT_EQ(runner_.restarts(), std::vector<std::string>{"/usr/bin/killall backboardd"});
    EXPECT_EQ(openAlertCount(), 0);
}

TEST_F(GuiTest, OnlyASuspendedApplicationEndsItself) {
    const std::size_t before = runner_.runs().size();
    shell_->applicationStateChanged(Qt::ApplicationInactive);
    shell_->applicationStateChanged(Qt::ApplicationHidden);
    shell_->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(runner_.runs().size(), before);
    shell_->applicationStateChanged(Qt::ApplicationSuspended);
    ASSERT_EQ(runner_.runs().size(), before + 1);
    EXPECT_EQ(runner_.runs().back().commandLine(), "/usr/bin/killall RootMobrix");
}

TEST_F(GuiTest, WindowStaysOpenWhileACommandRuns) {
    createStoreFolders();
    bool closed = true;
    runner_.duringRun = [&](const ToolRun&) {
        if (!closed)
            return;
        closed = shell_->window().close();
    };
    press(Shell::kSafeguardTab, "SaveAccounts");
    EXPECT_FALSE(closed);
    EXPECT_TRUE(shell_->window().isVisible());
    EXPECT_TRUE(shell_->window().close());
}
