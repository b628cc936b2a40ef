#pragma once

#include "chunked_upload.h"
#include "cloud_transfer.h"
#include "view_controller.h"

#include <cstdint>
#include <memory>
#include <string>

namespace cloud {
struct TransferFile;
}

class CSRestClient;
class CommandContext;
struct CSClientContext;
struct CSError;
struct CSRestClientDelegate;

// The Cloud screen: links an account, and copies the backup set to the cloud
// account, back, or deletes it there. Every command ends with its closing
// alert only once all of its requests have completed.
class CloudViewController : public ViewController {
public:
    // The cloud client works in `client`, which outlives the screen.
    CloudViewController(CommandEnvironment& environment, Screen& screen, CSClientContext& client);
    ~CloudViewController() override;

    enum Tag {
        kDeleteTag = 1,
        kUploadTag = 2,
        kDownloadTag = 3,
    };

    void viewDidLoad() override;

    // The REST client, made on first use. A new one replaces the kept one when
    // that belongs to another session than the shared one, or has no user
    // while the session has one; never while requests are in flight.
    CSRestClient* restClient();

    void LinkCloudAccount();
    void UploadBackupToCloud();
    void DownloadBackupFromCloud();
    void DeleteBackupOnCloud();

    void alertView(const Alert& alert, int clickedButtonAtIndex) override;

    // Some request of this screen has not completed yet (the create-folder
    // requests of an upload that was then cancelled among them).
    bool hasRequestsInFlight() const;
    // Grows with every answer or progress report of the client.
    std::uint64_t activity() const;
    // Gives up on every running request: cancelled, and the running command
    // ends as failed with this reason.
    void abandonRequests(const std::string& reason);

    // Files larger than this go up in resumable pieces.
    void setChunkedUploadThreshold(std::int64_t bytes) { chunkedUploadThreshold_ = bytes; }

private:
    bool requireLinkedAccount(const std::string& title);
    void upload();
    void download();
    void deleteBackup();
    // Overlay up and a new bookkeeping for the command; false when another
    // command runs.
    bool beginTransfer(const std::string& label, const std::string& title);
    void finishTransfer();
    void uploadFile(const cloud::TransferFile& file, const std::string& local);
    // What killed downloads left in the store folders that this download will write.
    void sweepDownloadLeftovers(const CommandContext& context);
    CSRestClientDelegate makeDelegate();
    std::string hostPath(std::string_view devicePath) const;

    CSClientContext& client_;
    std::unique_ptr<CSRestClient> restClient_;
    // The upload's create-folder requests: counted, never reported.
    cloud::CloudTransfer folderRequests_;
    // The running (or last) command; kept until the next one starts, since it
    // is the bookkeeping itself that reports the end.
    std::unique_ptr<cloud::CloudTransfer> transfer_;
    // The running (or last) upload's chunked files; reports into transfer_.
    std::unique_ptr<cloud::ChunkedUploads> chunked_;
    std::int64_t chunkedUploadThreshold_ = cloud::chunkedUploadThreshold();
    std::string title_;
    std::uint64_t activity_ = 0;
};
