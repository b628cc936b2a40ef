#include "cloud_view_controller.h"

#include "cloud_error_text.h"
#include "cloud_session.h"
#include "command_context.h"
#include "command_environment.h"
#include "command_frame.h"
#include "cs_log.h"
#include "cs_rest_client.h"
#include "cs_service_endpoints.h"
#include "cs_session.h"
#include "download_leftovers.h"
#include "store_checks.h"
#include "store_layout.h"
#include "transfer_set.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <sys/stat.h>

using cloud::RequestKind;

namespace {

constexpr const char* kCancel = "Cancel";
constexpr const char* kDeleteTitle = "Delete Backup on Cloud";
constexpr const char* kUploadTitle = "Backup Upload to Cloud";
constexpr const char* kDownloadTitle = "Backup Download from Cloud";
constexpr const char* kNotLinked = "not linked: link a cloud account first";
constexpr const char* kNotSafeguarded = "skipped: not safeguarded yet";

bool exists(const CommandContext& context, std::string_view devicePath) {
    struct stat status {};
    return ::lstat(context.path(devicePath).c_str(), &status) == 0 || errno != ENOENT;
}

// Whether a store folder may be used, and why not. A missing folder is a
// reason only when it must be written into.
platform::Status checkStoreFolder(const CommandContext& context, std::string_view folder,
                                  bool missingIsProblem) {
    for (std::string_view path : {store::kApplicationFolder, folder}) {
        if (!missingIsProblem && !exists(context, path))
            return {};
        if (auto safe = runtime::store_checks::checkFolder(context, path); !safe)
            return safe;
    }
    return {};
}

} // namespace

CloudViewController::CloudViewController(CommandEnvironment& environment, Screen& screen,
                                         CSClientContext& client)
    : ViewController(environment, screen), client_(client) {
    // The create-folder requests end no command: that bookkeeping only counts.
    folderRequests_.seal();
}

// Destroying the client cancels its requests, without callbacks.
CloudViewController::~CloudViewController() = default;

void CloudViewController::viewDidLoad() {
    screen_.setIdleTimerDisabled(true);
}

CSRestClient* CloudViewController::restClient() {
    auto session = cloud::sharedSession(client_);
    if (restClient_ && !hasRequestsInFlight()) {
        const auto& userId = restClient_->userId();
        const auto users = session->userIds();
        const bool otherSession = restClient_->session() != session;
        const bool userless = !userId && session->isLinked();
        const bool userGone =
            userId && std::find(users.begin(), users.end(), *userId) == users.end();
        if (otherSession || userless || userGone)
            restClient_.reset();
    }
    if (!restClient_) {
        restClient_ = CSRestClient::initWithSession(session);
        if (restClient_)
            restClient_->setDelegate(makeDelegate());
    }
    return restClient_.get();
}

void CloudViewController::LinkCloudAccount() {
    whenIdle(environment_, screen_, [this] {
        client_.sharedSession = cloud::makeSession(client_);
        client_.sharedSession->linkFromController(nullptr);
    });
}

void CloudViewController::UploadBackupToCloud() {
    whenIdle(environment_, screen_, [this] {
        if (!requireLinkedAccount(kUploadTitle))
            return;
        CSRestClient* client = restClient();
        if (!client)
            return;
        // Asked for before the question, whatever its answer.
        for (std::string_view folder : cloud::kRemoteFolders) {
            folderRequests_.expect(RequestKind::CreateFolder, std::string(folder),
                                   std::string(folder));
            client->createFolder(std::string(folder));
        }
        screen_.showAlert(
            confirmationAlert(kUploadTitle,
                              "The upload process will begin if you press Upload now "
                              "button. Only SMS, Photo and Springboard safeguard will "
                              "not be uploaded due to the size",
                              kCancel, {"Upload now"}, kUploadTag),
            this);
    });
}

void CloudViewController::DownloadBackupFromCloud() {
    whenIdle(environment_, screen_, [this] {
        if (!requireLinkedAccount(kDownloadTitle))
            return;
        screen_.showAlert(confirmationAlert(kDownloadTitle,
                                            "The download process will begin if you press the "
                                            "Download now button. Continue ?",
                                            kCancel, {"Download now"}, kDownloadTag),
                          this);
    });
}

void CloudViewController::DeleteBackupOnCloud() {
    whenIdle(environment_, screen_, [this] {
        if (!requireLinkedAccount(kDeleteTitle))
            return;
        screen_.showAlert(confirmationAlert(kDeleteTitle,
                                            "This will delete backup that has been saved on Cloud "
                                            "previously, continue ?",
                                            kCancel, {"Delete now"}, kDeleteTag),
                          this);
    });
}

void CloudViewController::alertView(const Alert& alert, int clickedButtonAtIndex) {
    if (clickedButtonAtIndex != 1)
        return;
    switch (alert.tag) {
    case kDeleteTag:
        deleteBackup();
        break;
    case kUploadTag:
        upload();
        break;
    case kDownloadTag:
        download();
        break;
    default:
        break;
    }
}

bool CloudViewController::hasRequestsInFlight() const {
    return folderRequests_.inFlight() > 0 || (transfer_ && transfer_->inFlight() > 0);
}

std::uint64_t CloudViewController::activity() const {
    return activity_;
}

void CloudViewController::abandonRequests(const std::string& reason) {
    if (restClient_)
        restClient_->cancelAllRequests();
    folderRequests_.abandon(reason);
    if (transfer_)
        transfer_->abandon(reason);
}

// With no stored account nothing is requested and nothing local is touched.
bool CloudViewController::requireLinkedAccount(const std::string& title) {
    if (cloud::sharedSession(client_)->isLinked())
        return true;
    screen_.showAlert(
        closingAlert(title, std::string("Failed !\n") + kNotLinked, AlertOutcome::Failed), this);
    return false;
}

bool CloudViewController::beginTransfer(const std::string& label, const std::string& title) {
    if (auto begun = environment_.tryBeginCommand(); !begun) {
        screen_.showNotice(begun.error().message);
        return false;
    }
    title_ = title;
    // The last command's chunked uploads report into the bookkeeping replaced here.
    chunked_.reset();
    transfer_ = std::make_unique<cloud::CloudTransfer>();
    transfer_->onProgress([this](const cloud::TransferProgress& progress) {
        screen_.setOverlayProgress(progress.fraction, progress.details());
    });
    transfer_->onFinished([this] { finishTransfer(); });
    screen_.showOverlay(label);
    return true;
}

void CloudViewController::finishTransfer() {
    screen_.hideOverlay();
    Alert alert =
        closingAlert(title_, transfer_->closingMessage(),
                     transfer_->hasFailures() ? AlertOutcome::Failed : AlertOutcome::Succeeded);
    environment_.endCommand();
    screen_.showAlert(alert, this);
}

std::string CloudViewController::hostPath(std::string_view devicePath) const {
    return environment_.root().path(devicePath);
}

void CloudViewController::upload() {
    if (!requireLinkedAccount(kUploadTitle) || !beginTransfer("Uploading...", kUploadTitle))
        return;
    restClient();
    CommandContext context(environment_, screen_);
    for (const auto& file : cloud::transferSet()) {
        const std::string subject(file.fileName);
        if (auto usable = checkStoreFolder(context, file.localFolder, false); !usable) {
            transfer_->refuse(subject, usable.error().message);
            continue;
        }
        const std::string local = hostPath(file.localPath);
        std::int64_t bytes = -1;
        if (struct stat status{}; ::lstat(local.c_str(), &status) == 0) {
            // Running as root, a link could send any file of the device away.
            if (S_ISLNK(status.st_mode)) {
                transfer_->refuse(subject, "is a link, not a file: not uploaded");
                continue;
            }
            if (S_ISREG(status.st_mode))
                bytes = status.st_size;
        }
        transfer_->expect(RequestKind::Upload, std::string(file.remotePath), subject, bytes);
        uploadFile(file, local);
    }
    transfer_->seal();
}

void CloudViewController::uploadFile(const cloud::TransferFile& file, const std::string& local) {
    const std::string name(file.fileName);
    const std::string folder(file.remoteFolder);
    const auto identity = cloud::identityOf(local);
    if (!identity || identity->size <= chunkedUploadThreshold_) {
        // A missing file is turned away by the client itself (code 1001).
        restClient_->uploadFile(name, folder, local);
        return;
    }
    if (!chunked_) {
        chunked_ = std::make_unique<cloud::ChunkedUploads>(
            *restClient_, *transfer_, cloud::UploadResumeStore(),
            client_.endpoints.contentAuthority(), restClient_->userId().value_or(""));
    }
    chunked_->start(name, folder, local, *identity);
}

// Nothing local is removed first: each file is replaced only when its own
// download is complete and checked, so a failed one keeps the local copy.
void CloudViewController::download() {
    if (!requireLinkedAccount(kDownloadTitle) || !beginTransfer("Downloading...", kDownloadTitle))
        return;
    CSRestClient* client = restClient();
    CommandContext context(environment_, screen_);
    sweepDownloadLeftovers(context);
    for (const auto& file : cloud::transferSet()) {
        const std::string subject(file.fileName);
        if (auto usable = checkStoreFolder(context, file.localFolder, true); !usable) {
            transfer_->refuse(subject, usable.error().message);
            continue;
        }
        const std::string local = hostPath(file.localPath);
        transfer_->expect(RequestKind::Download, local, subject);
        client->loadFile(std::string(file.remotePath), local);
    }
    transfer_->seal();
}

// Only folders this download may write into, and only the temporary names of
// the files it fetches there: the command lock keeps any other download of this
// device root from running, so none of them is still being written.
void CloudViewController::sweepDownloadLeftovers(const CommandContext& context) {
    std::map<std::string_view, std::vector<std::string>> namesByFolder;
    for (const auto& file : cloud::transferSet())
        namesByFolder[file.localFolder].emplace_back(file.fileName);
    for (const auto& [folder, names] : namesByFolder) {
        if (!checkStoreFolder(context, folder, true))
            continue;
        const auto sweep = cloud::removeDownloadLeftovers(hostPath(folder), names);
        if (!sweep.problem.empty())
            CSLogWarning("Mobrix: %s", sweep.problem.c_str());
    }
}

void CloudViewController::deleteBackup() {
    if (!requireLinkedAccount(kDeleteTitle) || !beginTransfer("Deleting...", kDeleteTitle))
        return;
    const std::string folder(cloud::kRemoteBackupFolder);
    transfer_->expect(RequestKind::Delete, folder, folder);
    restClient()->deletePath(folder);
    transfer_->seal();
}

CSRestClientDelegate CloudViewController::makeDelegate() {
    CSRestClientDelegate delegate;
    // Answers of a command that ended already (abandoned) find no bookkeeping.
    auto transfer = [this]() -> cloud::CloudTransfer* {
        ++activity_;
        return transfer_ ? transfer_.get() : nullptr;
    };
    delegate.createdFolder = [this](CSRestClient*, const CSMetadata& metadata) {
        ++activity_;
        folderRequests_.succeeded(RequestKind::CreateFolder, metadata.path().value_or(""));
    };
    // A folder that exists already is the usual refusal; none is reported.
    delegate.createFolderFailedWithError = [this](CSRestClient*, const CSError& error) {
        ++activity_;
        folderRequests_.failed(RequestKind::CreateFolder, error.infoString("path"),
                               cloud::describeError(error));
    };
    delegate.uploadedFileFromMetadata = [transfer](CSRestClient*, const std::string& destination,
                                                   const std::string&, const CSMetadata&) {
        if (auto* t = transfer())
            t->succeeded(RequestKind::Upload, destination);
    };
    delegate.uploadProgress = [transfer](CSRestClient*, double fraction,
                                         const std::string& destination, const std::string&) {
        if (auto* t = transfer())
            t->progressed(RequestKind::Upload, destination, fraction);
    };
    delegate.uploadedFileChunk = [this](CSRestClient*, const std::string& uploadId,
                                        std::int64_t newOffset, const std::string& fromPath,
                                        const std::optional<CSDate>& expires) {
        ++activity_;
        if (chunked_)
            chunked_->chunkUploaded(uploadId, newOffset, fromPath, expires);
    };
    delegate.uploadFileChunkProgress = [this](CSRestClient*, double fraction, const std::string&,
                                              std::int64_t, const std::string& fromPath) {
        ++activity_;
        if (chunked_)
            chunked_->chunkProgressed(fraction, fromPath);
    };
    delegate.uploadFileChunkFailedWithError = [this](CSRestClient*, const CSError& error) {
        ++activity_;
        if (chunked_)
            chunked_->chunkFailed(error);
    };
    delegate.uploadedFileFromUploadId = [this](CSRestClient*, const std::string& destination,
                                               const std::string&, const CSMetadata&) {
        ++activity_;
        if (chunked_)
            chunked_->committed(destination);
    };
    delegate.uploadFromUploadIdFailedWithError = [this](CSRestClient*, const CSError& error) {
        ++activity_;
        if (chunked_)
            chunked_->commitFailed(error);
    };
    delegate.uploadFileFailedWithError = [transfer](CSRestClient*, const CSError& error) {
        auto* t = transfer();
        if (!t)
            return;
        const std::string destination = error.infoString("destinationPath");
        if (cloud::isMissingSource(error))
            t->skipped(RequestKind::Upload, destination, kNotSafeguarded);
        else
            t->failed(RequestKind::Upload, destination, cloud::describeError(error));
    };
    delegate.loadedFile = [transfer](CSRestClient*, const std::string& local) {
        if (auto* t = transfer())
            t->succeeded(RequestKind::Download, local);
    };
    delegate.loadProgress = [transfer](CSRestClient*, double fraction, const std::string& local) {
        if (auto* t = transfer())
            t->progressed(RequestKind::Download, local, fraction);
    };
    // A file the cloud never received (metadata.plist, often) keeps its local
    // copy and is listed; like an upload of a file never safeguarded, it does
    // not fail the command.
    delegate.loadFileFailedWithError = [transfer](CSRestClient*, const CSError& error) {
        auto* t = transfer();
        if (!t)
            return;
        const std::string local = error.infoString("destinationPath");
        if (cloud::isNotOnCloud(error))
            t->skipped(RequestKind::Download, local, "not on the cloud");
        else
            t->failed(RequestKind::Download, local, cloud::describeError(error));
    };
    delegate.deletedPath = [transfer](CSRestClient*, const std::string& path) {
        if (auto* t = transfer())
            t->succeeded(RequestKind::Delete, path);
    };
    // Nothing there is what a delete asks for.
    delegate.deletePathFailedWithError = [transfer](CSRestClient*, const CSError& error) {
        auto* t = transfer();
        if (!t)
            return;
        const std::string path = error.infoString("path");
        if (cloud::isNotOnCloud(error))
            t->skipped(RequestKind::Delete, path, "not on the cloud: nothing to delete");
        else
            t->failed(RequestKind::Delete, path, cloud::describeError(error));
    };
    return delegate;
}
