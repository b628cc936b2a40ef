#include "category_safeguard.h"

#include "archive_writer.h"
#include "command_context.h"
#include "device_root.h"
#include "file_ops.h"
#include "file_ops_owner.h"
#include "link_pruning.h"
#include "save_scratch.h"
#include "store_checks.h"
#include "store_layout.h"

#include <fcntl.h>
#include <unistd.h>

namespace safeguard {

namespace {

// How one live folder is laid out in the scratch root: the zip input less its
// leading "/" (the archive's entry prefix), the folder the copy becomes, and
// the folders made before the copy.
struct ScratchLayout {
    std::string zipInput;    // "var/mobile/.../MobrixLibrary/Accounts/"
    std::string copy;        // "var/mobile/.../MobrixLibrary/Accounts"
    std::string madeFolders; // "var/mobile/.../MobrixLibrary"; the copy itself for preferences
};

ScratchLayout layoutOf(const store::Category& category, const store::CategoryPart& part) {
    ScratchLayout layout;
    layout.zipInput = std::string(part.zipInput.substr(1));
    layout.copy = layout.zipInput.substr(0, layout.zipInput.size() - 1);
    layout.madeFolders = category.form == store::SafeguardForm::TweakPreferences
                             ? layout.copy
                             : layout.copy.substr(0, layout.copy.rfind('/'));
    return layout;
}

std::optional<store::file_ops::OpenedFolder>
openLiveFolder(CommandContext& context, std::string_view subject, std::string_view liveFolder) {
    auto live = store::file_ops::openFolderBeneath(context.root().root(), liveFolder);
    if (live.ok())
        return live;
    context.fail(subject, live.missing ? std::string(liveFolder) + " does not exist" : live.error);
    return std::nullopt;
}

// The copy's sources, as paths through the live folder's descriptor: the
// folder's contents, or for the preferences each entry but the store.
std::vector<std::string> copySources(const store::Category& category, int liveFd) {
    if (category.form != store::SafeguardForm::TweakPreferences)
        return {store::file_ops::descriptorPath(liveFd, ".")};
    std::vector<std::string> sources;
    for (const auto& name :
         store::file_ops::entryNames(liveFd).value_or(std::vector<std::string>{}))
        if (name != store::kApplicationFolderName)
            sources.push_back(store::file_ops::descriptorPath(liveFd, name));
    return sources;
}

// The copy runs as the data's owner, never follows a link, and reads the live
// folder only through the descriptor it is handed.
bool copyLiveFolder(CommandContext& context, std::string_view subject,
                    const store::Category& category, const store::file_ops::OpenedFolder& live,
                    const SaveScratch& scratch, const ScratchLayout& layout,
                    const ProcessIdentity& owner) {
    std::vector<std::string> sources = copySources(category, live.fd.get());
    if (sources.empty())
        return true;
    std::vector<std::string> arguments{"-R", "-P"};
    arguments.insert(arguments.end(), sources.begin(), sources.end());
    arguments.push_back(category.form == store::SafeguardForm::TweakPreferences ? layout.copy + "/"
                                                                                : layout.copy);
    ChildSetup child;
    child.identity = owner;
    child.workingFolderFd = scratch.root();
    child.passedFds = {live.fd.get()};
    return context.runWith(subject, store::kCopyTool, std::move(arguments), Wait::InputBlocked,
                           child);
}

void dropOutsideLinks(const store::Category& category, const SaveScratch& scratch,
                      const ScratchLayout& layout) {
    if (category.form == store::SafeguardForm::TweakPreferences) {
        pruneOutsideLinks(scratch.deepest(), std::string(store::kApplicationFolderName));
        return;
    }
    auto copy = store::file_ops::openFolderAt(scratch.deepest(),
                                              layout.copy.substr(layout.copy.rfind('/') + 1));
    if (copy.ok())
        pruneOutsideLinks(copy.fd.get());
}

// One live folder into its archive: copied as its owner into a private
// scratch laid out like the device, links out of it dropped, archived from
// there by the zip tool as the owner, the scratch removed.
void savePart(CommandContext& context, const store::Category& category,
              const store::CategoryPart& part) {
    const std::string_view subject = category.displayName;
    const int libraryFd = context.storeFolders().fd(store::kLibraryFolder);
    const int applicationFd = context.storeFolders().fd(store::kApplicationFolder);
    // A library copy or partial archive left by an interrupted run.
    context.check(subject, store::file_ops::removeTreeAt(libraryFd, part.folderName()));
    ::unlinkat(libraryFd, partialArchiveName(part.archiveName).c_str(), 0);

    auto live = openLiveFolder(context, subject, part.liveFolder);
    if (!live)
        return;
    const ProcessIdentity owner = store::file_ops::dataOwner(*live);
    const ScratchLayout layout = layoutOf(category, part);
    auto scratch = SaveScratch::make(context, subject, applicationFd, layout.madeFolders, owner);
    if (!scratch)
        return;
    if (copyLiveFolder(context, subject, category, *live, *scratch, layout, owner)) {
        dropOutsideLinks(category, *scratch, layout);
        writeArchive(context, subject, libraryFd, part.archiveName, scratch->root(),
                     layout.zipInput, owner);
    }
    context.check(subject, scratch->remove());
}

void saveParts(CommandContext& context, const store::Category& category) {
    for (const auto& part : category.parts)
        savePart(context, category, part);
}

} // namespace

void saveCategory(CommandContext& context, const store::Category& category) {
    if (runtime::store_checks::requireStoreFolders(context, category.displayName,
                                                   {store::kLibraryFolder}))
        saveParts(context, category);
}

void saveAllCategories(CommandContext& context) {
    if (!runtime::store_checks::requireStoreFolders(context, "", {store::kLibraryFolder}))
        return;
    for (const auto& category : store::categoryTable())
        saveParts(context, category);
}

} // namespace safeguard
