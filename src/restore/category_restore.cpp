#include "category_restore.h"

#include "archive_listing.h"
#include "command_context.h"
#include "device_root.h"
#include "file_ops.h"
#include "file_ops_at.h"
#include "file_ops_owner.h"
#include "live_merge.h"
#include "staged_tree.h"
#include "store_checks.h"
#include "store_layout.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace restore {

namespace {

std::string lastName(std::string_view devicePath) {
    while (devicePath.size() > 1 && devicePath.back() == '/')
        devicePath.remove_suffix(1);
    return std::string(devicePath.substr(devicePath.rfind('/') + 1));
}

// A path below the application folder as the tools see it: relative to their
// working folder, which is the application folder entered by descriptor.
std::string inApplicationFolder(std::string_view devicePath) {
    return std::string(devicePath.substr(store::kApplicationFolder.size() + 1));
}

// Root's tools work in the application folder, entered by descriptor, with
// relative paths: renaming the store away redirects none of them.
ChildSetup inStore(CommandContext& context) {
    ChildSetup child;
    child.workingFolderFd = context.storeFolders().fd(store::kApplicationFolder);
    return child;
}

// The name the copy is written under beside the live folder before its
// contents are renamed into place; a leftover is removed by the next
// restoration of the category.
std::string copyName(const std::string& liveName) {
    return "." + liveName + ".restoring";
}

bool extractChecked(CommandContext& context, std::string_view subject,
                    const store::CategoryPart& part) {
    const std::string archive = inApplicationFolder(part.archivePath());
    auto listing =
        context.runForOutput(subject, store::kUnzipTool, {"-Z1", archive}, inStore(context));
    if (!listing)
        return false;
    if (auto unsafe = restore::archive_listing::unsafeEntry(*listing)) {
        context.fail(subject, "the archive holds an unsafe entry name: " + *unsafe);
        return false;
    }
    // unzip reports warnings with status 1; the extraction still happened.
    return context.runWith(subject, store::kUnzipTool,
                           {archive, "-d", inApplicationFolder(store::kStagingFolder) + "/"},
                           Wait::Plain, inStore(context), 1);
}

// The extracted folder, opened inside the staging folder without following
// anything, and checked.
std::optional<store::file_ops::OpenedFolder> openStaged(CommandContext& context,
                                                        std::string_view subject,
                                                        const store::Category& category,
                                                        const store::CategoryPart& part) {
    auto staging = store::file_ops::openFolderAt(
        context.storeFolders().fd(store::kApplicationFolder), lastName(store::kStagingFolder));
    std::string prefix(part.entryPrefix);
    auto staged = staging.ok() ? store::file_ops::openFolderBeneath(
                                     store::file_ops::descriptorPath(staging.fd.get()), prefix)
                               : std::move(staging);
    if (!staged.ok()) {
        context.fail(subject, "the archive holds no " + part.folderName() + " folder");
        return std::nullopt;
    }
    const std::string excluded = category.form == store::SafeguardForm::TweakPreferences
                                     ? std::string(store::kApplicationFolderName)
                                     : std::string();
    if (auto unsafe = restore::staged_tree::unsafeEntry(staged.fd.get(), excluded)) {
        context.fail(subject, "the archive holds " + part.folderName() + "/" + *unsafe);
        return std::nullopt;
    }
    return staged;
}

// Removes a copy left beside the live folder by an interrupted restoration,
// as the live folder's owner.
bool removeLeftoverCopy(CommandContext& context, std::string_view subject, int targetFd,
                        const std::string& name, const ProcessIdentity& owner) {
    struct stat status {};
    if (::fstatat(targetFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return true;
    ChildSetup child;
    child.identity = owner;
    child.passedFds = {targetFd};
    return context.runWith(subject, store::kRemoveTool,
                           {"-rf", store::file_ops::descriptorPath(targetFd, name)}, Wait::Plain,
                           child);
}

// Copies the staged folder, as the live folder's owner, beside the live
// folder; then its contents are renamed into place.
void copyIntoPlace(CommandContext& context, std::string_view subject,
                   const store::Category& category, const store::CategoryPart& part,
                   const store::file_ops::OpenedFolder& staged) {
    const std::string liveName = part.folderName();
    const std::string shownLive = std::string(category.restoreTarget) + liveName;
    auto target = store::file_ops::openFolderBeneath(context.root().root(), category.restoreTarget);
    if (!target.ok()) {
        context.fail(subject, target.error);
        return;
    }
    auto live = store::file_ops::openFolderAt(target.fd.get(), liveName);
    if (!live.ok() && !live.missing) {
        context.fail(subject, shownLive +
                                  (live.errorNumber == ELOOP ? " is a link" : " is not a folder") +
                                  "; nothing is restored through it");
        return;
    }
    const ProcessIdentity owner =
        live.ok() && live.status.st_uid != 0
            ? ProcessIdentity::ofOwner(live.status.st_uid, live.status.st_gid)
            : store::file_ops::dataOwner(target);
    const std::string copy = copyName(liveName);
    if (!removeLeftoverCopy(context, subject, target.fd.get(), copy, owner) ||
        !context.check(subject, store::file_ops::chownTree(staged.fd.get(), owner.uid, owner.gid)))
        return;

    ChildSetup child;
    child.identity = owner;
    child.workingFolderFd = staged.fd.get();
    child.passedFds = {target.fd.get()};
    if (!context.runWith(
            subject, store::kCopyTool,
            {"-R", "-P", "-T", ".", store::file_ops::descriptorPath(target.fd.get(), copy)},
            Wait::InputBlocked, child))
        return;
    auto copied = store::file_ops::openFolderAt(target.fd.get(), copy);
    if (!copied.ok() || copied.status.st_uid != owner.uid) {
        context.fail(subject, "the copy beside " + shownLive + " is gone or not the owner's");
        return;
    }
    if (!live.ok()) {
        if (::renameat2(target.fd.get(), copy.c_str(), target.fd.get(), liveName.c_str(),
                        RENAME_NOREPLACE) != 0)
            context.fail(subject, "cannot put " + shownLive +
                                      " in place: " + store::file_ops::errnoText(errno));
        return;
    }
    for (const auto& failure : mergeInto(copied.fd.get(), live.fd.get(), owner.uid, shownLive))
        context.fail(subject, failure);
    // Empty unless something could not be put in place.
    if (::unlinkat(target.fd.get(), copy.c_str(), AT_REMOVEDIR) != 0)
        removeLeftoverCopy(context, subject, target.fd.get(), copy, owner);
}

// Extracts one archive and puts its folder back into the restore target.
void restorePart(CommandContext& context, const store::Category& category,
                 const store::CategoryPart& part) {
    const std::string_view subject = category.displayName;
    if (!extractChecked(context, subject, part))
        return;
    if (auto staged = openStaged(context, subject, category, part))
        copyIntoPlace(context, subject, category, part, *staged);
}

// Whether the part's archive is there: looked up in the library folder once
// that is open; when it cannot be opened, the reason is told later.
bool archivePresent(CommandContext& context, const store::CategoryPart& part) {
    if (!context.storeFolders().open(context.root(), store::kLibraryFolder))
        return store::file_ops::exists(context.path(part.archivePath()));
    struct stat status {};
    return ::fstatat(context.storeFolders().fd(store::kLibraryFolder),
                     std::string(part.archiveName).c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
}

// The staging folder as the tools made it, made root's alone.
bool secureStaging(CommandContext& context) {
    auto staging = store::file_ops::openFolderAt(
        context.storeFolders().fd(store::kApplicationFolder), lastName(store::kStagingFolder));
    if (staging.ok() && staging.status.st_uid == ::geteuid() &&
        ::fchmod(staging.fd.get(), 0700) == 0)
        return true;
    context.fail("Staging folder",
                 "cannot make " + std::string(store::kStagingFolder) + " private");
    return false;
}

} // namespace

bool createTmpFolder(CommandContext& context) {
    return runtime::store_checks::requireStoreFolders(context, "Staging folder", {}) &&
           removeTmpFolder(context) &&
           context.runWith("Staging folder", store::kMakeFolderTool,
                           {inApplicationFolder(store::kStagingFolder)}, Wait::Plain,
                           inStore(context)) &&
           secureStaging(context);
}

bool removeTmpFolder(CommandContext& context) {
    // The relative path only means the store once the store is entered.
    return runtime::store_checks::requireStoreFolders(context, "Staging folder", {}) &&
           context.runWith("Staging folder", store::kRemoveTool,
                           {"-rf", inApplicationFolder(store::kStagingFolder)}, Wait::Plain,
                           inStore(context));
}

void restoreCategory(CommandContext& context, const store::Category& category,
                     bool passedOverQuietly) {
    std::vector<const store::CategoryPart*> present;
    for (const auto& part : category.parts)
        if (archivePresent(context, part))
            present.push_back(&part);
    if (present.empty()) {
        std::string line = "No safeguard of " + std::string(category.displayName) + " to restore";
        if (passedOverQuietly)
            context.note(line + " (skipped)");
        else
            context.fail("", line);
        return;
    }
    if (!runtime::store_checks::requireStoreFolders(context, category.displayName,
                                                    {store::kLibraryFolder}) ||
        !createTmpFolder(context))
        return;
    for (const auto* part : present)
        restorePart(context, category, *part);
    removeTmpFolder(context);
}

void restoreAllCategories(CommandContext& context) {
    for (const auto& category : store::categoryTable())
        restoreCategory(context, category, true);
}

} // namespace restore
