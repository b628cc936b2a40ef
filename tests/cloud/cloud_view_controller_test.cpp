// The Cloud screen's controller in the test process, against the local
// service: the client accessor's rules, the dispatcher's tags, when the
// closing alert comes, and what is refused before anything is requested.
#include "app_delegate.h"
#include "cloud_fixture.h"
#include "cloud_session.h"
#include "cloud_view_controller.h"
#include "command_environment.h"
#include "command_frame.h"
#include "cs_rest_client.h"
#include "cs_session.h"
#include "fake_screen.h"
#include "link_presenter.h"
#include "qt_wait.h"
#include "recording_tool_runner.h"
#include "url_opener.h"

#include <filesystem>

namespace {

class RecordingPresenter : public platform::LinkPresenter {
public:
    void presentLink(const QUrl& url, QObject*, CSSession*) override {
        addresses.push_back(url.toString(QUrl::FullyEncoded).toStdString());
    }
    std::vector<std::string> addresses;
};

class CloudControllerTest : public CloudFixture {
protected:
    CloudControllerTest()
        : commands(DeviceRoot(device.root()), runner),
          controller(commands, screen, cloudContext()) {
        controller.loadViewIfNeeded();
    }

    void settle() {
        ASSERT_TRUE(testsupport::waitUntil([&] { return !controller.hasRequestsInFlight(); }));
    }

    void press(int tag, int index = 1) {
        controller.alertView(confirmationAlert("t", "m", "Cancel", {"Go"}, tag), index);
    }

    bool hasEvent(const std::string& prefix) const {
        for (const auto& event : screen.events)
            if (event.starts_with(prefix))
                return true;
        return false;
    }

    RecordingToolRunner runner;
    CommandEnvironment commands;
    FakeScreen screen;
    CloudViewController controller;
};

} // namespace

TEST_F(CloudControllerTest, AccessorReplacesAClientOfAnotherSessionButNeverWhileRequestsRun) {
    linkStoredAccount();
    controller.UploadBackupToCloud(); // four create-folder requests now run
    CSRestClient* client = controller.restClient();
    ASSERT_TRUE(controller.hasRequestsInFlight());
    cloudContext().sharedSession = cloud::makeSession(cloudContext());
    EXPECT_EQ(controller.restClient(), client);
    EXPECT_NE(client->session(), cloudContext().sharedSession);
    settle();
    EXPECT_EQ(controller.restClient()->session(), cloudContext().sharedSession);
    EXPECT_EQ(service().requests().size(), 4u);
}

TEST_F(CloudControllerTest, AccessorReplacesAUserlessClientOnceTheSessionHasAUser) {
    auto session = cloud::sharedSession(cloudContext());
    ASSERT_FALSE(session->isLinked());
    EXPECT_EQ(controller.restClient()->userId(), std::nullopt);
    auto token = service().issueAccessToken("1001");
    session->updateAccessToken(token.token, token.secret, token.uid);
    CSRestClient* client = controller.restClient();
    EXPECT_EQ(client->session(), session);
    EXPECT_EQ(client->userId(), std::optional<std::string>("1001"));
    // The same user unlinked: its client goes too.
    session->unlinkAll();
    EXPECT_EQ(controller.restClient()->userId(), std::nullopt);
}

TEST_F(CloudControllerTest, DispatcherActsOnlyOnTheFurtherButtonOfItsThreeTags) {
    linkStoredAccount();
    fillStore();
    fillRemote();
    controller.alertView(closingAlert("Delete Backup on Cloud", "Done !", AlertOutcome::Succeeded),
                         0);
    press(0, 1);
    press(4, 1);
    for (int tag : {1, 2, 3})
        press(tag, 0);
    testsupport::runEventsFor(200);
    EXPECT_TRUE(screen.events.empty());
    EXPECT_TRUE(service().requests().empty());

    const std::pair<int, std::string> commandsByTag[] = {
        {CloudViewController::kDeleteTag, "Deleting..."},
        {CloudViewController::kUploadTag, "Uploading..."},
        {CloudViewController::kDownloadTag, "Downloading..."},
    };
    for (const auto& [tag, label] : commandsByTag) {
        screen.events.clear();
        press(tag);
        EXPECT_EQ(screen.events.front(), "overlay:" + label);
        ASSERT_TRUE(testsupport::waitUntil([&] { return hasEvent("alert:"); }));
        settle();
    }
}

TEST_F(CloudControllerTest, TheClosingAlertWaitsForTheLastRequest) {
    linkStoredAccount();
    fillStore();
    service().injectFault(testsupport::ServiceFault::Slow, "Voicemail.zip");
    press(CloudViewController::kUploadTag);
    EXPECT_TRUE(screen.overlayShown);
    EXPECT_TRUE(screen.alerts.empty());
    // Another command waits for this one.
    controller.DeleteBackupOnCloud();
    EXPECT_EQ(screen.notices.size(), 1u);

    ASSERT_TRUE(testsupport::waitUntil([&] { return !screen.alerts.empty(); }));
    EXPECT_FALSE(controller.hasRequestsInFlight());
    EXPECT_EQ(screen.lastAlert().title, "Backup Upload to Cloud");
    EXPECT_EQ(screen.lastAlert().message, "Done !");
    EXPECT_EQ(screen.lastAlert().outcome, AlertOutcome::Succeeded);
    EXPECT_EQ(screen.events[screen.events.size() - 2], "hide");
    EXPECT_TRUE(hasEvent("progress:11 of 11 files, "));
    EXPECT_FALSE(commands.busy());
}

TEST_F(CloudControllerTest, GivingUpEndsTheCommandAsFailed) {
    linkStoredAccount();
    fillStore();
    service().injectFault(testsupport::ServiceFault::Slow, "/1/fileops/delete");
    press(CloudViewController::kDeleteTag);
    ASSERT_TRUE(controller.hasRequestsInFlight());
    controller.abandonRequests("no answer from the service");
    EXPECT_FALSE(controller.hasRequestsInFlight());
    ASSERT_FALSE(screen.alerts.empty());
    EXPECT_EQ(screen.lastAlert().message, "Failed !\n/Mobrix: no answer from the service");
    // The cancelled request reports nothing afterwards.
    testsupport::runEventsFor(2000);
    EXPECT_EQ(screen.alerts.size(), 1u);
}

TEST_F(CloudControllerTest, LinkedFilesAndUnsafeFoldersAreNeverUsed) {
    linkStoredAccount();
    fillStore();
    fillRemote();
    device.write("/outside/secret", "not for the cloud");
    std::filesystem::remove(device.path(storePath("Accounts.zip")));
    std::filesystem::create_symlink(device.path("/outside/secret"),
                                    device.path(storePath("Accounts.zip")));
    std::filesystem::permissions(device.path("/var/mobile/Library/Preferences/Mobrix/CydiaSources"),
                                 std::filesystem::perms(0777));

    press(CloudViewController::kUploadTag);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !screen.alerts.empty(); }));
    const std::string unsafe =
        "/var/mobile/Library/Preferences/Mobrix/CydiaSources is writable by other users";
    EXPECT_EQ(screen.lastAlert().message,
              "Failed !\nAccounts.zip: is a link, not a file: not uploaded\n"
              "cydia.list: " +
                  unsafe + "\nmetadata.plist: " + unsafe);
    EXPECT_EQ(remoteFile("/Mobrix/MobrixLibrary/Accounts.zip"), "Accounts.zip v2");
    settle();

    device.write(storePath("Notes.zip"), "changed since");
    device.write(storePath("cydia.list"), "changed since");
    press(CloudViewController::kDownloadTag);
    ASSERT_TRUE(testsupport::waitUntil([&] { return screen.alerts.size() == 2; }));
    EXPECT_EQ(device.read(storePath("cydia.list")), "changed since");
    EXPECT_EQ(device.read(storePath("Notes.zip")), "Notes.zip v1");
    for (const auto& request : service().requests())
        EXPECT_EQ(request.path.find("CydiaSources"), std::string::npos);
}

TEST_F(CloudControllerTest, LinkMakesANewSessionAndAlwaysStartsANewLink) {
    auto presenter = std::make_shared<RecordingPresenter>();
    cloudContext().linkPresenter = presenter;
    cloudContext().urlOpener = std::make_shared<platform::FakeUrlOpener>();
    linkStoredAccount();
    auto before = cloud::sharedSession(cloudContext());
    controller.LinkCloudAccount();
    ASSERT_EQ(presenter->addresses.size(), 1u);
    EXPECT_NE(presenter->addresses[0].find("/1/connect_login?k=q7w2k9x4m1z8r5t&s="),
              std::string::npos);
    EXPECT_NE(cloudContext().sharedSession, before);
    // Until an answer comes, the stored account stays usable.
    EXPECT_TRUE(cloudContext().sharedSession->isLinked());

    // With the service's app, the link goes there instead.
    auto opener = std::make_shared<platform::FakeUrlOpener>(QStringList{"csapi-2"});
    cloudContext().urlOpener = opener;
    controller.LinkCloudAccount();
    EXPECT_EQ(presenter->addresses.size(), 1u);
    ASSERT_EQ(opener->opened().size(), 1);
    EXPECT_TRUE(opener->opened()[0].startsWith("csapi-2://1/connect?k=q7w2k9x4m1z8r5t&s="));
}

TEST_F(CloudControllerTest, TappedLinksInWebContentGoToTheDesktop) {
    auto opener = std::make_shared<platform::FakeUrlOpener>(QStringList{"https"});
    cloudContext().urlOpener = opener;
    AppDelegate delegate(commands, screen, cloudContext());
    EXPECT_FALSE(delegate.webView("https://www.cloud.example/help", 0));
    EXPECT_TRUE(delegate.webView("https://www.cloud.example/page", 2));
    EXPECT_EQ(opener->opened(), QStringList{"https://www.cloud.example/help"});
    // An address that is no link answer is not taken.
    EXPECT_FALSE(delegate.handleOpenURL("https://www.cloud.example/1/connect?state=x"));
}
