#include "category_restore.h"

#include "archive_listing.h"
#include "command_context.h"
#include "file_ops.h"
#include "staged_tree.h"
#include "store_checks.h"
#include "store_layout.h"

namespace restore {

namespace {

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool extractChecked(CommandContext& context, std::string_view subject, const std::string& archive) {
    auto listing = context.runForOutput(subject, store::kUnzipTool, {"-Z1", archive});
    if (!listing)
        return false;
    if (auto unsafe = archive_listing::unsafeEntry(*listing)) {
        context.fail(subject, "the archive holds an unsafe entry name: " + *unsafe);
        return false;
    }
    // unzip reports warnings with status 1; the extraction still happened.
    return context.run(subject, store::kUnzipTool,
                       {archive, "-d", context.path(store::kStagingFolder) + "/"}, Wait::Plain, 1);
}

bool stagedFolderIsSafe(CommandContext& context, std::string_view subject,
                        const std::string& staged, const std::string& live) {
    if (!file_ops::isFolder(staged)) {
        context.fail(subject,
                     "the archive holds no " + live.substr(live.rfind('/') + 1) + " folder");
        return false;
    }
    if (auto irregular = staged_tree::irregularEntry(staged)) {
        context.fail(subject,
                     "the archive holds " + *irregular + ", which is neither a file nor a folder");
        return false;
    }
    if (auto link = staged_tree::linkOnWritePath(staged, live)) {
        context.fail(subject, *link + " is a link; nothing is restored through it");
        return false;
    }
    return true;
}

// Extracts one archive and copies its folder back into the restore target.
void restorePart(CommandContext& context, const store::Category& category,
                 const store::CategoryPart& part) {
    const std::string_view subject = category.displayName;
    if (!extractChecked(context, subject, context.path(part.archivePath())))
        return;

    const std::string copySource = context.path(part.stagedFolder(category.form));
    const std::string staged = withoutTrailingSlash(copySource);
    const std::string live = context.path(std::string(category.restoreTarget) + part.folderName());
    if (!stagedFolderIsSafe(context, subject, staged, live))
        return;

    auto owners = staged_tree::plannedOwners(staged, live);
    context.run(subject, store::kCopyTool, {"-R", copySource, context.path(category.restoreTarget)},
                Wait::InputBlocked);
    context.check(subject, staged_tree::applyOwners(owners));
}

} // namespace

bool createTmpFolder(CommandContext& context) {
    return removeTmpFolder(context) &&
           context.run("Staging folder", store::kMakeFolderTool,
                       {context.path(store::kStagingFolder)}, Wait::Plain);
}

bool removeTmpFolder(CommandContext& context) {
    return context.run("Staging folder", store::kRemoveTool,
                       {"-rf", context.path(store::kStagingFolder)}, Wait::Plain);
}

void restoreCategory(CommandContext& context, const store::Category& category,
                     bool passedOverQuietly) {
    std::vector<const store::CategoryPart*> present;
    for (const auto& part : category.parts)
        if (file_ops::exists(context.path(part.archivePath())))
            present.push_back(&part);
    if (present.empty()) {
        std::string line = "No safeguard of " + std::string(category.displayName) + " to restore";
        if (passedOverQuietly)
            context.note(line + " (skipped)");
        else
            context.fail("", line);
        return;
    }
    if (!store_checks::requireStoreFolders(context, category.displayName, {}) ||
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
