#include "gui_fixture.h"

#include "cloud_session.h"
#include "cloud_view_controller.h"
#include "cs_session.h"
#include "desktop_link_presenter.h"
#include "url_opener.h"

// Only questions and local answers here: nothing that sends a request.
TEST_F(GuiTest, CloudCommandsWithoutALinkSayWhatIsMissing) {
    CSSession::setSharedSession(cloud::makeSession());
    cloud::sharedSession()->unlinkAll();
    const std::pair<const char*, const char*> commands[] = {
        {"UploadBackupToCloud", "Backup Upload to Cloud"},
        {"DownloadBackupFromCloud", "Backup Download from Cloud"},
        {"DeleteBackupOnCloud", "Delete Backup on Cloud"},
    };
    for (const auto& [method, title] : commands) {
        press(Shell::kCloudTab, method);
        AlertDialog* alert = topAlert();
        ASSERT_NE(alert, nullptr) << method;
        EXPECT_EQ(alertTitle(alert), title);
        EXPECT_EQ(alertButtons(alert), QStringList{"Close"});
        EXPECT_EQ(alert->alert().outcome, AlertOutcome::Failed);
        answer(alert, 0);
    }
    EXPECT_TRUE(shell_->cloud().isViewLoaded());
}

TEST_F(GuiTest, CloudQuestionsCarryTheirTagsAndCancelSendsNothing) {
    CSSession::setSharedSession(cloud::makeSession());
    cloud::sharedSession()->setAccessToken("token", "secret", "7");
    const std::tuple<const char*, const char*, QString, int> questions[] = {
        {"DownloadBackupFromCloud", "Backup Download from Cloud", "Download now",
         CloudViewController::kDownloadTag},
        {"DeleteBackupOnCloud", "Delete Backup on Cloud", "Delete now",
         CloudViewController::kDeleteTag},
    };
    for (const auto& [method, title, button, tag] : questions) {
        press(Shell::kCloudTab, method);
        AlertDialog* alert = topAlert();
        ASSERT_NE(alert, nullptr) << method;
        EXPECT_EQ(alertTitle(alert), title);
        EXPECT_EQ(alertButtons(alert), (QStringList{"Cancel", button}));
        EXPECT_EQ(alert->alert().tag, tag);
        answer(alert, 0);
        EXPECT_EQ(openAlertCount(), 0);
    }
    EXPECT_FALSE(shell_->cloud().hasRequestsInFlight());
    cloud::sharedSession()->unlinkAll();
}

TEST_F(GuiTest, LinkOpensTheServiceLinkPageInTheBrowser) {
    auto opener = std::make_shared<platform::FakeUrlOpener>(QStringList{"https"});
    platform::UrlOpener::setShared(opener);
    platform::LinkPresenter::setShared(std::make_shared<DesktopLinkPresenter>(shell_->screen()));

    press(Shell::kCloudTab, "LinkCloudAccount");
    ASSERT_EQ(opener->opened().size(), 1);
    EXPECT_TRUE(opener->opened()[0].startsWith("https://"));
    EXPECT_TRUE(opener->opened()[0].contains("/connect_login?k=q7w2k9x4m1z8r5t&"));
    EXPECT_TRUE(shell_->screen().lastNotice().contains("browser"));
    EXPECT_EQ(openAlertCount(), 0);

    // Without a browser the address is shown for the user to open.
    auto none = std::make_shared<platform::FakeUrlOpener>();
    platform::UrlOpener::setShared(none);
    press(Shell::kCloudTab, "LinkCloudAccount");
    ASSERT_NE(topAlert(), nullptr);
    EXPECT_TRUE(alertMessage(topAlert()).contains("/connect_login?k=q7w2k9x4m1z8r5t&"));

    platform::UrlOpener::setShared(nullptr);
    platform::LinkPresenter::setShared(nullptr);
}
