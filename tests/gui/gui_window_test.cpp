// The window's wiring: each button runs its own command or asks its own
// question, the overlay and input blocking while tools run. What the
// commands do is tested in tests/commands and tests/cloud.
#include "gui_fixture.h"

#include "category_table.h"
#include "cloud_session.h"
#include "cloud_view_controller.h"
#include "command_frame.h"
#include "cs_session.h"
#include "lum_progress_hud.h"

namespace {

const std::string kNotes = "/var/mobile/Library/Preferences/Mobrix/MobrixLibrary/Notes.zip";

} // namespace

// Each button of the two command screens runs its own command: the alert
// carries that command's title and closes with its first button; a restart
// offer answered through its dialog starts the restart (only recorded).
TEST_F(GuiTest, EveryCommandButtonRunsItsOwnCommand) {
    std::vector<std::tuple<std::string, std::string_view, std::string_view>> commands;
    for (const auto& category : store::categoryTable())
        commands.emplace_back(category.key, category.safeguardTitle, category.restorationTitle);
    commands.insert(
        commands.end(),
        {{"CydiaSources", store::kSourcesSafeguardTitle, store::kSourcesRestorationTitle},
         {"CydiaPackages", store::kPackagesSafeguardTitle, store::kPackagesRestorationTitle},
         {"AllPref", store::kAllSafeguardTitle, store::kAllRestorationTitle}});
    createStoreFolders();
    for (const auto& [key, safeguardTitle, restorationTitle] : commands) {
        const std::tuple<Shell::Tab, std::string, std::string_view> buttons[] = {
            {Shell::kSafeguardTab, "Save" + key, safeguardTitle},
            {Shell::kRestorationTab, "Restore" + key, restorationTitle}};
        for (const auto& [tab, method, title] : buttons) {
            press(tab, method.c_str());
            ASSERT_NE(topAlert(), nullptr) << method;
            const Alert& alert = topAlert()->alert();
            EXPECT_EQ(alert.title, title);
            EXPECT_EQ(alert.outcome, AlertOutcome::Succeeded) << method << ": " << alert.message;
            QTest::mouseClick(topAlert()->button(0), Qt::LeftButton);
            EXPECT_EQ(openAlertCount(), 0) << method;
        }
    }
    EXPECT_TRUE(runner_.restarts().empty());
    press(Shell::kRestorationTab, "RestoreAllPref");
    answer("Reboot now");
    EXPECT_EQ(runner_.restarts(), std::vector<std::string>{"/sbin/reboot"});
}

// Every question button asks its own question, and Cancel changes nothing.
TEST_F(GuiTest, EveryQuestionButtonAsksItsQuestionAndCancelChangesNothing) {
    client_.sharedSession = cloud::makeSession(client_);
    cloud::sharedSession(client_)->setAccessToken("token", "secret", "7");
    const std::tuple<Shell::Tab, const char*, const char*> questions[] = {
        {Shell::kOptionsTab, "createApplicationFolders", "Create Application Folders"},
        {Shell::kOptionsTab, "removeSafeguard", "Remove Backup Folders"},
        {Shell::kOptionsTab, "Respring", "Respring"},
        {Shell::kOptionsTab, "Reboot", "Reboot"},
        {Shell::kOptionsTab, "removeMOXSources", "Remove MOXSources"},
        {Shell::kCloudTab, "DownloadBackupFromCloud", "Backup Download from Cloud"},
        {Shell::kCloudTab, "DeleteBackupOnCloud", "Delete Backup on Cloud"},
    };
    const std::size_t runs = runner_.runs().size();
    for (const auto& [tab, method, title] : questions) {
        press(tab, method);
        ASSERT_NE(topAlert(), nullptr) << method;
        EXPECT_EQ(topAlert()->alert().title, title);
        answer("Cancel");
        EXPECT_EQ(openAlertCount(), 0) << method;
    }
    EXPECT_EQ(runner_.runs().size(), runs);
    EXPECT_FALSE(exists("/var/mobile/Library/Preferences/Mobrix"));
    EXPECT_FALSE(shell_->cloud().hasRequestsInFlight());
    cloud::sharedSession(client_)->unlinkAll();
}

// While the tools of a command run, the overlay covers its screen; during a
// wrapped step every input is dropped, and works again afterwards.
TEST_F(GuiTest, OverlayWhileToolsRunAndNoInputDuringAWrappedStep) {
    createStoreFolders();
    QWidget* page = shell_->window().page(Shell::kSafeguardTab);
    int runs = 0;
    int runsWithOverlay = 0;
    bool sawWrappedStep = false;
    runner_.duringRun = [&](const ToolRun& run) {
        ++runs;
        LumProgressHUD* hud = shell_->screen().overlay();
        if (hud && hud->parentWidget() == page && hud->isVisible() &&
            hud->labelText() == "Safeguard in progress..." && hud->mode() == 0)
            ++runsWithOverlay;
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
    EXPECT_EQ(runsWithOverlay, runs);
    EXPECT_TRUE(waitUntil([&] { return LumProgressHUD::HUDForView(page) == nullptr; }));
    EXPECT_FALSE(shell_->screen().ignoringInteraction());
    EXPECT_TRUE(shell_->screen().lastNotice().isEmpty()) << "a dropped press reached a button";
    EXPECT_EQ(shell_->window().currentIndex(), Shell::kSafeguardTab);
    EXPECT_EQ(openAlertCount(), 1);
    EXPECT_EQ(topAlert()->alert().title, "Accounts Safeguard");
    EXPECT_FALSE(exists(kNotes));
    answer("Close");
    QTest::mouseClick(shell_->window().tabButton(Shell::kHelpTab), Qt::LeftButton);
    EXPECT_EQ(shell_->window().currentIndex(), Shell::kHelpTab);
}

// During a plain step, buttons, alert answers and closing the window only
// show the busy notice; the alert stays for a later answer.
TEST_F(GuiTest, DuringAPlainStepOnlyTheBusyNoticeShows) {
    createStoreFolders();
    press(Shell::kSafeguardTab, "SaveAccounts");
    answer("Close");
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
        EXPECT_FALSE(shell_->window().close());
    };
    // Started as the dispatcher would start it; the respring alert stays open.
    shell_->restoration().RestoreAccounts();
    EXPECT_TRUE(pressedWhileBusy);
    EXPECT_TRUE(runner_.restarts().empty());
    EXPECT_FALSE(exists(kNotes));
    ASSERT_NE(topAlert(), nullptr);
    EXPECT_EQ(topAlert()->alert().title, "Accounts Restoration");
    answer("Close");
    ASSERT_EQ(topAlert(), respring);
    runner_.duringRun = nullptr;
    answer("Respring");
    EXPECT_EQ(runner_.restarts(), std::vector<std::string>{"/usr/bin/killall backboardd"});
    EXPECT_EQ(openAlertCount(), 0);
    EXPECT_TRUE(shell_->window().close());
}

TEST_F(GuiTest, OnlyASuspendedApplicationEndsItself) {
    const std::size_t before = runner_.runs().size();
    for (auto state : {Qt::ApplicationInactive, Qt::ApplicationHidden, Qt::ApplicationActive})
        shell_->applicationStateChanged(state);
    EXPECT_EQ(runner_.runs().size(), before);
    shell_->applicationStateChanged(Qt::ApplicationSuspended);
    ASSERT_EQ(runner_.runs().size(), before + 1);
    EXPECT_EQ(runner_.runs().back().commandLine(), "/usr/bin/killall RootMobrix");
}
