// The Cloud screen's controller in the test process, against the local
// service: the client accessor's rules, when the closing alert comes, what is
// refused before anything is requested, and the archives over the threshold
// that go up in pieces.
#include "app_delegate.h"
#include "cloud_fixture.h"
#include "cloud_session.h"
#include "cloud_view_controller.h"
#include "command_environment.h"
#include "command_frame.h"
#include "cs_request.h"
#include "cs_rest_client.h"
#include "cs_session.h"
#include "fake_screen.h"
#include "link_presenter.h"
#include "qt_wait.h"
#include "recording_tool_runner.h"
#include "upload_resume.h"
#include "url_opener.h"

#include <algorithm>
#include <filesystem>
#include <random>

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

    // Answers the command's question with its further button.
    void press(int tag) {
        controller.alertView(confirmationAlert("t", "m", "Cancel", {"Go"}, tag), 1);
    }

    RecordingToolRunner runner;
    CommandEnvironment commands;
    FakeScreen screen;
    CloudViewController controller;
};

} // namespace

// The client is replaced when the shared session changes or gains a user,
// but never while its requests run.
TEST_F(CloudControllerTest, TheClientFollowsTheSessionButNeverWhileRequestsRun) {
    auto session = cloud::sharedSession(cloudContext());
    EXPECT_EQ(controller.restClient()->userId(), std::nullopt);
    auto token = service().issueAccessToken("1001");
    session->updateAccessToken(token.token, token.secret, token.uid);
    EXPECT_EQ(controller.restClient()->session(), session);
    EXPECT_EQ(controller.restClient()->userId(), std::optional<std::string>("1001"));

    controller.UploadBackupToCloud(); // four create-folder requests now run
    CSRestClient* client = controller.restClient();
    ASSERT_TRUE(controller.hasRequestsInFlight());
    cloudContext().sharedSession = cloud::makeSession(cloudContext());
    EXPECT_EQ(controller.restClient(), client);
    settle();
    EXPECT_EQ(controller.restClient()->session(), cloudContext().sharedSession);
    EXPECT_EQ(service().requests().size(), 4u);
    cloudContext().sharedSession->unlinkAll();
    EXPECT_EQ(controller.restClient()->userId(), std::nullopt);
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
    EXPECT_TRUE(std::any_of(screen.events.begin(), screen.events.end(), [](const std::string& e) {
        return e.starts_with("progress:11 of 11 files, ");
    }));
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

// Archives over the threshold go up in pieces: they arrive whole, and what no
// longer fits the record of a cut upload starts again from 0.
namespace {

constexpr std::int64_t kPiece = 2097152;
const std::string kAccounts = "/Mobrix/MobrixLibrary/Accounts.zip";

// Bytes that differ at every offset, so that a piece sent at the wrong place shows.
std::string pattern(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = static_cast<char>(generator());
    return bytes;
}

class ChunkedUploadTest : public CloudControllerTest {
protected:
    ChunkedUploadTest() {
        controller.setChunkedUploadThreshold(1024 * 1024);
        linkStoredAccount();
        fillStore();
        fillRemote();
    }

    // One upload command to its closing alert; its message.
    std::string upload() {
        const std::size_t before = screen.alerts.size();
        press(CloudViewController::kUploadTag);
        EXPECT_TRUE(testsupport::waitUntil([&] { return screen.alerts.size() > before; }));
        settle();
        return screen.alerts.empty() ? "" : screen.lastAlert().message;
    }

    std::vector<testsupport::RecordedRequest> pieces() {
        std::vector<testsupport::RecordedRequest> out;
        for (const auto& request : service().requests())
            if (request.path == "/1/chunked_upload")
                out.push_back(request);
        return out;
    }

    std::optional<cloud::UploadResume> record() {
        return cloud::UploadResumeStore().load(device.path(storePath("Accounts.zip")));
    }

    // The first run of a 7 MiB archive is cut at its third piece.
    std::string cutAtTheThirdPiece() {
        device.write(storePath("Accounts.zip"), big);
        service().injectFault(testsupport::ServiceFault::CutConnection, "/1/chunked_upload", 1, 2);
        std::string message = upload();
        // The next run starts afresh, as a new process would, not on a
        // connection the service is still closing after the cut.
        CSCloseIdleConnections();
        service().clearRequests();
        return message;
    }

    const std::string big = pattern(3 * kPiece + 99, 7);
};

} // namespace

TEST_F(ChunkedUploadTest, LargeArchivesArriveWholeAndReplaceTheRemoteFileInPlace) {
    const std::string accounts = pattern(2 * kPiece + 1234, 1);
    const std::string notes = pattern(2 * kPiece, 2); // ends on a piece boundary
    device.write(storePath("Accounts.zip"), accounts);
    device.write(storePath("Notes.zip"), notes);

    EXPECT_EQ(upload(), "Done !");
    EXPECT_EQ(remoteFile(kAccounts), accounts);
    EXPECT_EQ(remoteFile("/Mobrix/MobrixLibrary/Notes.zip"), notes);
    const auto tree = service().tree();
    EXPECT_EQ(std::count_if(tree.begin(), tree.end(),
                            [](const std::string& path) { return path.ends_with(".zip"); }),
              8)
        << "committed over the old file, never beside it";

    EXPECT_EQ(pieces().size(), 5u);
    EXPECT_TRUE(std::filesystem::is_empty(cloud::UploadResumeStore::defaultFolder()));
}

TEST_F(ChunkedUploadTest, WhatNoLongerFitsTheRecordStartsAgainFromZero) {
    // Resuming after a cut is tried with a killed mobrix in cloud_cli_test.cpp.
    const std::string message = cutAtTheThirdPiece();
    EXPECT_TRUE(message.starts_with("Failed !\nAccounts.zip: ")) << message;
    EXPECT_EQ(remoteFile(kAccounts), "Accounts.zip v2") << "nothing of the cut upload shows";
    ASSERT_TRUE(record());
    EXPECT_EQ(record()->offset, 2 * kPiece);
    // The archive was safeguarded again since the cut.
    const std::string changed = pattern(big.size() + 1, 8);
    device.write(storePath("Accounts.zip"), changed);
    EXPECT_EQ(upload(), "Done !");
    auto sent = pieces();
    ASSERT_FALSE(sent.empty());
    EXPECT_FALSE(sent[0].hasParam("upload_id"));
    EXPECT_EQ(sent[0].param("offset"), "0");
    EXPECT_EQ(remoteFile(kAccounts), changed);
    service().clearRequests();

    // The service forgot the upload (expired): refused once, then from 0.
    cutAtTheThirdPiece();
    service().injectFault(testsupport::ServiceFault::Status404, "/1/chunked_upload");
    EXPECT_EQ(upload(), "Done !");
    sent = pieces();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0].status, 404);
    EXPECT_EQ(sent[1].param("offset"), "0");
    EXPECT_FALSE(sent[1].hasParam("upload_id"));
    EXPECT_EQ(remoteFile(kAccounts), big);
    EXPECT_FALSE(record());
}
