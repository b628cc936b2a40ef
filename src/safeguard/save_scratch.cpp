#include "save_scratch.h"

#include "command_context.h"
#include "file_ops.h"
#include "store_layout.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr const char* kScratchRootName = "save";

std::string stagingName() {
    std::string_view staging = store::kStagingFolder;
    return std::string(staging.substr(staging.rfind('/') + 1));
}

// A new folder only the owner given can use.
file_ops::UniqueFd makeFolder(int parentFd, const std::string& name, const ProcessIdentity& owner,
                              std::string& error) {
    if (::mkdirat(parentFd, name.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create a scratch folder: " + file_ops::errnoText(errno);
        return {};
    }
    auto folder = file_ops::openFolderAt(parentFd, name);
    if (!folder.ok()) {
        error = "cannot open a scratch folder: " + folder.error;
        return {};
    }
    if (::fchmod(folder.fd.get(), 0700) != 0 ||
        ::fchown(folder.fd.get(), owner.uid, owner.gid) != 0) {
        error = "cannot prepare a scratch folder: " + file_ops::errnoText(errno);
        return {};
    }
    return std::move(folder.fd);
}

} // namespace

std::string SaveScratch::removeStaging(int applicationFd) {
    return file_ops::removeTreeAt(applicationFd, stagingName());
}

std::optional<SaveScratch> SaveScratch::make(CommandContext& context, std::string_view subject,
                                             int applicationFd, std::string_view folders,
                                             const ProcessIdentity& owner) {
    if (!context.check(subject, removeStaging(applicationFd)))
        return std::nullopt;
    SaveScratch scratch;
    scratch.applicationFd_ = applicationFd;
    std::string error;
    const ProcessIdentity root{::geteuid(), ::getegid(), {}};
    scratch.staging_ = makeFolder(applicationFd, stagingName(), root, error);
    if (scratch.staging_.valid())
        scratch.root_ = makeFolder(scratch.staging_.get(), kScratchRootName, owner, error);
    int parent = scratch.root_.get();
    size_t start = 0;
    while (parent >= 0 && start < folders.size()) {
        size_t end = std::min(folders.find('/', start), folders.size());
        scratch.deepest_ =
            makeFolder(parent, std::string(folders.substr(start, end - start)), owner, error);
        parent = scratch.deepest_.get();
        start = end + 1;
    }
    if (!error.empty()) {
        context.fail(subject, error);
        return std::nullopt;
    }
    return scratch;
}

SaveScratch::SaveScratch(SaveScratch&& other) noexcept
    : applicationFd_(std::exchange(other.applicationFd_, -1)), staging_(std::move(other.staging_)),
      root_(std::move(other.root_)), deepest_(std::move(other.deepest_)) {}

std::string SaveScratch::remove() {
    if (applicationFd_ < 0)
        return {};
    deepest_ = {};
    root_ = {};
    staging_ = {};
    return removeStaging(std::exchange(applicationFd_, -1));
}

SaveScratch::~SaveScratch() {
    remove();
}
