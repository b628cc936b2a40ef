#include "gui_fixture.h"

#include "cloud_session.h"
#include "cloud_view_controller.h"
#include "cs_session.h"

TEST_F(GuiTest, CloudQuestionsCarryTheirTagsAndCancelSendsNothing) {
    client_.sharedSession = cloud::makeSession(client_);
    cloud::sharedSession(client_)->setAccessToken("token", "secret", "7");
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
    cloud::sharedSession(client_)->unlinkAll();
}
