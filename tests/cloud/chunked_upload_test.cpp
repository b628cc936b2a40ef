// Archives over the threshold go up in pieces, against the local service:
// they arrive whole, a cut one goes on from the last piece the service
// acknowledged, and what no longer fits starts again from 0.
#include "chunked_upload.h"
#include "cloud_fixture.h"
#include "cloud_view_controller.h"
#include "command_environment.h"
#include "command_frame.h"
#include "cs_request.h"
#include "fake_screen.h"
#include "qt_wait.h"
#include "recording_tool_runner.h"
#include "transfer_set.h"
#include "upload_resume.h"

#include <random>

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

class ChunkedUploadTest : public CloudFixture {
protected:
    ChunkedUploadTest()
        : commands(DeviceRoot(device.root()), runner),
          controller(commands, screen, cloudContext()) {
        controller.loadViewIfNeeded();
        controller.setChunkedUploadThreshold(1024 * 1024);
        linkStoredAccount();
        fillStore();
        fillRemote();
    }

    // One upload command to its closing alert; its message.
    std::string upload() {
        const std::size_t before = screen.alerts.size();
        controller.alertView(
            confirmationAlert("t", "m", "Cancel", {"Go"}, CloudViewController::kUploadTag), 1);
        EXPECT_TRUE(testsupport::waitUntil([&] { return screen.alerts.size() > before; }));
        EXPECT_TRUE(testsupport::waitUntil([&] { return !controller.hasRequestsInFlight(); }));
        return screen.alerts.empty() ? "" : screen.lastAlert().message;
    }

    std::vector<testsupport::RecordedRequest> pieces() {
        std::vector<testsupport::RecordedRequest> out;
        for (const auto& request : service().requests())
            if (request.path == "/1/chunked_upload")
                out.push_back(request);
        return out;
    }

    std::optional<cloud::UploadResume> record(const std::string& fileName) {
        return cloud::UploadResumeStore().load(device.path(storePath(fileName)));
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

    RecordingToolRunner runner;
    CommandEnvironment commands;
    FakeScreen screen;
    CloudViewController controller;
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
    const auto tree = remoteTree();
    EXPECT_EQ(std::count_if(tree.begin(), tree.end(),
                            [](const std::string& path) { return path.ends_with(".zip"); }),
              8)
        << "committed over the old file, never beside it";

    EXPECT_EQ(pieces().size(), 5u);
    // The overlay counts the pieces' bytes like any other upload's.
    std::int64_t total = 0;
    for (const auto& file : cloud::transferSet())
        total += static_cast<std::int64_t>(device.read(file.localPath).size());
    const std::string bytes = cloud::formatBytes(total);
    EXPECT_NE(std::find(screen.events.begin(), screen.events.end(),
                        "progress:11 of 11 files, " + bytes + " of " + bytes),
              screen.events.end());
    EXPECT_TRUE(std::filesystem::is_empty(cloud::UploadResumeStore::defaultFolder()));
}

TEST_F(ChunkedUploadTest, ACutUploadGoesOnFromTheLastAcknowledgedPiece) {
    const std::string message = cutAtTheThirdPiece();
    EXPECT_TRUE(message.starts_with("Failed !\nAccounts.zip: ")) << message;
    // Nothing of the cut upload is visible remotely.
    EXPECT_EQ(remoteFile(kAccounts), "Accounts.zip v2");
    const auto kept = record("Accounts.zip");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->offset, 2 * kPiece);
    EXPECT_EQ(kept->remotePath, kAccounts);
    EXPECT_GT(kept->expires, 0);

    EXPECT_EQ(upload(), "Done !");
    const auto resumed = pieces();
    ASSERT_EQ(resumed.size(), 2u);
    EXPECT_EQ(resumed[0].param("upload_id"), kept->uploadId);
    EXPECT_EQ(resumed[0].param("offset"), std::to_string(2 * kPiece));
    EXPECT_EQ(resumed[1].param("offset"), std::to_string(3 * kPiece));
    EXPECT_EQ(resumed[0].bodySize + resumed[1].bodySize, big.size() - 2 * kPiece)
        << "no byte before the acknowledged offset is sent again";
    EXPECT_EQ(remoteFile(kAccounts), big);
    EXPECT_FALSE(record("Accounts.zip")) << "the record goes with the commit";
}

TEST_F(ChunkedUploadTest, WhatNoLongerFitsTheRecordStartsAgainFromZero) {
    // The archive was safeguarded again since the cut.
    cutAtTheThirdPiece();
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
    EXPECT_FALSE(record("Accounts.zip"));
}
