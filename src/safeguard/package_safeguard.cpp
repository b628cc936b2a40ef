#include "package_safeguard.h"

#include "checked_store_folder.h"
#include "command_context.h"
#include "descriptor_files.h"
#include "device_root.h"
#include "file_ops.h"
#include "line_list.h"
#include "private_file.h"
#include "record_marker.h"
#include "source_lines.h"
#include "store_layout.h"

namespace safeguard {

namespace {

constexpr std::string_view kSubject = "Cydia Sources";
constexpr std::string_view kPackagesSubject = "Cydia Packages";
constexpr size_t kLongestList = 1 << 20;
constexpr size_t kLongestPackageRecord = 8 << 20;

std::string fileName(std::string_view devicePath) {
    return std::string(devicePath.substr(devicePath.rfind('/') + 1));
}

// A source list read through its folder without following a link; nothing
// (with a failure recorded) when it is missing, refused or unreadable.
std::optional<std::string> readList(CommandContext& context, std::string_view devicePath) {
    auto content =
        store::descriptor_files::readOwnedFileAt(context.root().root(), devicePath, kLongestList);
    if (!context.check(kSubject, content))
        return std::nullopt;
    if (!content->has_value())
        context.fail(kSubject, std::string(devicePath) + " does not exist");
    return std::move(*content);
}

// The lines that may be recorded; refused lines are named in failure lines.
std::vector<std::string> checkedLines(CommandContext& context, std::string_view bytes) {
    auto checked = store::source_lines::check(store::line_list::decode(bytes));
    for (const auto& refused : checked.refused)
        context.fail(kSubject, refused.describe());
    return std::move(checked.kept);
}

// Writes the record and the marker that says this device saved it.
void writeRecord(CommandContext& context, int folder, std::string_view recordPath,
                 const std::string& content) {
    const std::string name = fileName(recordPath);
    if (context.check(kSubject, store::descriptor_files::writeFileAtomicallyAt(
                                    folder, name, content, recordPath)))
        context.check(kSubject, store::record_marker::markSaved(folder, name, content));
}

// The cache list as it is when every line passes, else its passing lines.
std::string recordedText(CommandContext& context, const std::string& bytes) {
    const size_t failuresBefore = context.failures().size();
    std::vector<std::string> kept = checkedLines(context, bytes);
    return context.failures().size() == failuresBefore ? bytes : store::line_list::join(kept);
}

void recordCacheList(CommandContext& context, int folder) {
    auto cache = readList(context, store::kCacheSourcesList);
    if (!cache)
        return;
    if (!store::file_ops::exists(context.path(store::kAddedSourcesList))) {
        writeRecord(context, folder, store::kRecordedSourcesList, recordedText(context, *cache));
        return;
    }
    auto added = readList(context, store::kAddedSourcesList);
    if (!added)
        return;
    std::vector<std::string> lines = checkedLines(context, *cache);
    std::vector<std::string> addedLines = checkedLines(context, *added);
    lines.insert(lines.end(), addedLines.begin(), addedLines.end());
    writeRecord(context, folder, store::kRecordedSourcesList, store::line_list::join(lines));
}

void recordDefaultList(CommandContext& context, int folder) {
    if (auto list = readList(context, store::kDefaultSourcesList))
        writeRecord(context, folder, store::kRecordedDefaultList, recordedText(context, *list));
}

} // namespace

void saveSources(CommandContext& context) {
    platform::UniqueFd folder = openCheckedStoreFolder(context, kSubject, store::kSourcesFolder);
    if (!folder.valid())
        return;
    if (store::file_ops::exists(context.path(store::kCacheSourcesList)))
        recordCacheList(context, folder.get());
    else
        recordDefaultList(context, folder.get());
}

void savePackages(CommandContext& context) {
    platform::UniqueFd folder =
        openCheckedStoreFolder(context, kPackagesSubject, store::kPackagesFolder);
    if (!folder.valid())
        return;
    // What an interrupted run of the script left behind when it wrote there.
    store::descriptor_files::removeLeftoversAt(folder.get(), ".installed-packages.txt.");
    // The script writes the selection list into a private file, and only the
    // whole list of a successful run becomes the record, written through the
    // checked folder.
    PrivateFile selections(context.root().root(), "selections");
    if (!context.check(kPackagesSubject, selections.write({})))
        return;
    context.addToolEnvironment("MOBRIX_SELECTIONS_OUT", selections.path());
    if (!context.run(kPackagesSubject, store::kShellTool, {context.path(store::kSelectionsScript)},
                     Wait::InputBlocked))
        return;
    auto record = selections.read(kLongestPackageRecord);
    if (!context.check(kPackagesSubject, record))
        return;
    const std::string name = fileName(store::kPackageRecord);
    if (context.check(kPackagesSubject, store::descriptor_files::writeFileAtomicallyAt(
                                            folder.get(), name, *record, store::kPackageRecord)))
        context.check(kPackagesSubject,
                      store::record_marker::markSaved(folder.get(), name, *record));
}

} // namespace safeguard
