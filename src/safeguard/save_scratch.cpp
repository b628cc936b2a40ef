#include "save_scratch.h"

#include "command_context.h"
#include "file_ops.h"
#include "store_layout.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace safeguard {

namespace {

constexpr const char* kScratchRootName = "save";

std::string stagingName() {
    std::string_view staging = store::kStagingFolder;
    return std::string(staging.substr(staging.rfind('/') + 1));
}

// A new folder only the owner given can use.
platform::Result<store::file_ops::UniqueFd> makeFolder(int parentFd, const std::string& name,
                                                       const ProcessIdentity& owner) {
    if (::mkdirat(parentFd, name.c_str(), 0700) != 0 && errno != EEXIST)
        return platform::systemError("cannot create a scratch folder", errno);
    auto folder = store::file_ops::openFolderAt(parentFd, name);
    if (!folder.ok())
        return platform::Error{"cannot open a scratch folder: " + folder.error, folder.errorNumber};
    if (::fchmod(folder.fd.get(), 0700) != 0 ||
        ::fchown(folder.fd.get(), owner.uid, owner.gid) != 0)
        return platform::systemError("cannot prepare a scratch folder", errno);
    return std::move(folder.fd);
}

} // namespace

platform::Status SaveScratch::removeStaging(int applicationFd) {
    return store::file_ops::removeTreeAt(applicationFd, stagingName());
}

std::optional<SaveScratch> SaveScratch::make(CommandContext& context, std::string_view subject,
                                             int applicationFd, std::string_view folders,
                                             const ProcessIdentity& owner) {
    if (!context.check(subject, removeStaging(applicationFd)))
        return std::nullopt;
    SaveScratch scratch;
    scratch.applicationFd_ = applicationFd;
    const ProcessIdentity root{::geteuid(), ::getegid(), {}};
    auto failed = [&](const platform::Error& error) {
        context.fail(subject, error.message);
        return std::nullopt;
    };
    auto made = makeFolder(applicationFd, stagingName(), root);
    if (!made)
        return failed(made.error());
    scratch.staging_ = std::move(*made);
    made = makeFolder(scratch.staging_.get(), kScratchRootName, owner);
    if (!made)
        return failed(made.error());
    scratch.root_ = std::move(*made);
    int parent = scratch.root_.get();
    for (size_t start = 0; start < folders.size();) {
        size_t end = std::min(folders.find('/', start), folders.size());
        made = makeFolder(parent, std::string(folders.substr(start, end - start)), owner);
        if (!made)
            return failed(made.error());
        scratch.deepest_ = std::move(*made);
        parent = scratch.deepest_.get();
        start = end + 1;
    }
    return scratch;
}

SaveScratch::SaveScratch(SaveScratch&& other) noexcept
    : applicationFd_(std::exchange(other.applicationFd_, -1)), staging_(std::move(other.staging_)),
      root_(std::move(other.root_)), deepest_(std::move(other.deepest_)) {}

platform::Status SaveScratch::remove() {
    if (applicationFd_ < 0)
        return {};
    deepest_ = {};
    root_ = {};
    staging_ = {};
    return removeStaging(std::exchange(applicationFd_, -1));
}

SaveScratch::~SaveScratch() {
    // The next save removes what could not be removed now.
    (void)remove();
}

} // namespace safeguard
