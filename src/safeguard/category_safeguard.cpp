#include "category_safeguard.h"

#include "archive_writer.h"
#include "command_context.h"
#include "file_ops.h"
#include "link_pruning.h"
#include "store_checks.h"
#include "store_layout.h"

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace safeguard {

namespace {

bool requireLiveFolder(CommandContext& context, std::string_view subject,
                       std::string_view liveFolder) {
    if (file_ops::isFolder(context.path(liveFolder)))
        return true;
    context.fail(subject, std::string(liveFolder) + " does not exist");
    return false;
}

// Copy and archive: the live folder is copied into the library folder, the
// copy archived, then removed.
void saveThroughCopy(CommandContext& context, const store::Category& category,
                     const store::CategoryPart& part) {
    const std::string_view subject = category.displayName;
    if (!requireLiveFolder(context, subject, part.liveFolder))
        return;
    const std::string copy =
        context.path(std::string(store::kLibraryFolder) + "/" + part.folderName());
    // A copy left by an interrupted run would merge into the new one.
    if (!context.check(subject, file_ops::remove(copy)))
        return;
    if (context.run(subject, store::kCopyTool,
                    {"-R", context.path(part.liveFolder),
                     context.path(std::string(store::kLibraryFolder) + "/")},
                    Wait::InputBlocked)) {
        pruneOutsideLinks(copy, context.path(part.liveFolder));
        writeArchive(context, subject, part.archivePath(), part.zipInput);
    }
    context.check(subject, file_ops::remove(copy));
}

void saveInPlace(CommandContext& context, const store::Category& category,
                 const store::CategoryPart& part) {
    if (!requireLiveFolder(context, category.displayName, part.liveFolder))
        return;
    writeArchive(context, category.displayName, part.archivePath(), part.zipInput);
}

// The entries of the preferences folder less the application folder.
std::vector<std::string> preferenceEntries(const std::string& preferences) {
    std::vector<std::string> entries;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(preferences, error))
        if (entry.path().filename() != store::kApplicationFolderName)
            entries.push_back(entry.path().string());
    std::sort(entries.begin(), entries.end());
    return entries;
}

// A fresh scratch folder, private to root: whatever stood there before (a
// link included, never followed) is removed first.
bool makeScratchFolder(CommandContext& context, std::string_view subject,
                       const std::string& scratch) {
    if (!context.check(subject, file_ops::remove(scratch)))
        return false;
    if (::mkdir(scratch.c_str(), 0700) != 0 || ::chmod(scratch.c_str(), 0700) != 0) {
        context.fail(subject, "cannot create " + std::string(store::kScratchFolder) + ": " +
                                  file_ops::errnoText(errno));
        return false;
    }
    return true;
}

// Tweak preferences: every entry of the preferences folder but the store is
// copied into the scratch folder, which is archived and then removed.
void saveTweakPreferences(CommandContext& context, const store::Category& category,
                          const store::CategoryPart& part) {
    const std::string_view subject = category.displayName;
    if (!requireLiveFolder(context, subject, part.liveFolder))
        return;
    const std::string scratch = context.path(store::kScratchFolder);
    const std::string preferences = context.path(part.liveFolder);
    if (!makeScratchFolder(context, subject, scratch))
        return;

    std::vector<std::string> arguments = preferenceEntries(preferences);
    bool copied = true;
    if (!arguments.empty()) {
        arguments.insert(arguments.begin(), "-R");
        arguments.push_back(scratch + "/");
        copied = context.run(subject, store::kCopyTool, std::move(arguments), Wait::InputBlocked);
    }
    if (copied) {
        pruneOutsideLinks(scratch, preferences, context.path(store::kApplicationFolder));
        writeArchive(context, subject, part.archivePath(), part.zipInput);
    }
    context.check(subject, file_ops::remove(scratch));
}

void saveParts(CommandContext& context, const store::Category& category) {
    for (const auto& part : category.parts) {
        switch (category.form) {
        case store::SafeguardForm::TweakPreferences:
            saveTweakPreferences(context, category, part);
            break;
        case store::SafeguardForm::CopyAndArchive:
            saveThroughCopy(context, category, part);
            break;
        case store::SafeguardForm::ArchiveInPlace:
            saveInPlace(context, category, part);
            break;
        }
    }
}

} // namespace

void saveCategory(CommandContext& context, const store::Category& category) {
    if (store_checks::requireStoreFolders(context, category.displayName, {store::kLibraryFolder}))
        saveParts(context, category);
}

void saveAllCategories(CommandContext& context) {
    if (!store_checks::requireStoreFolders(context, "", {store::kLibraryFolder}))
        return;
    for (const auto& category : store::categoryTable())
        saveParts(context, category);
}

} // namespace safeguard
