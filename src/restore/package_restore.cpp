#include "package_restore.h"

#include "checked_store_folder.h"
#include "command_context.h"
#include "descriptor_files.h"
#include "device_root.h"
#include "file_ops.h"
#include "line_list.h"
#include "package_selections.h"
#include "private_file.h"
#include "record_marker.h"
#include "source_lines.h"
#include "store_layout.h"

#include <unordered_set>

namespace restore {

namespace {

constexpr std::string_view kSubject = "Cydia Sources";
constexpr std::string_view kPackagesSubject = "Cydia Packages";
constexpr size_t kLongestList = 1 << 20;
constexpr size_t kLongestPackageRecord = 8 << 20;
// Lines listed in a confirmation; the rest are counted.
constexpr size_t kShownLines = 100;

std::string fileName(std::string_view devicePath) {
    return std::string(devicePath.substr(devicePath.rfind('/') + 1));
}

// A record of a store folder, and whether the last local safeguard wrote it.
struct Record {
    std::string name;
    std::string bytes;
    bool savedHere = false;
};

std::optional<Record> readRecord(CommandContext& context, std::string_view subject, int folder,
                                 std::string_view devicePath, size_t maxBytes) {
    const std::string name = fileName(devicePath);
    auto content = store::descriptor_files::readOwnedFile(folder, name, maxBytes, devicePath);
    if (!context.check(subject, content) || !content->has_value())
        return std::nullopt;
    const bool savedHere = store::record_marker::wasSavedHere(folder, name, **content);
    return Record{name, std::move(**content), savedHere};
}

bool hasCacheList(const CommandContext& context) {
    return store::file_ops::exists(context.path(store::kCacheSourcesList));
}

// With the cache list, the recorded "sources.list" and else "cydia.list";
// without it, "cydia.list" (it replaces the default list).
std::optional<Record> readSourcesRecord(CommandContext& context, int folder) {
    if (hasCacheList(context)) {
        if (auto record =
                readRecord(context, kSubject, folder, store::kRecordedSourcesList, kLongestList))
            return record;
        if (context.failed())
            return std::nullopt;
    }
    return readRecord(context, kSubject, folder, store::kRecordedDefaultList, kLongestList);
}

std::vector<std::string> liveLines(CommandContext& context) {
    auto live = store::descriptor_files::readOwnedFileAt(context.root().root(),
                                                         store::kCacheSourcesList, kLongestList);
    if (!context.check(kSubject, live) || !live->has_value())
        return {};
    return store::line_list::decode(**live);
}

void reportRefused(CommandContext& context, std::string_view subject,
                   const std::vector<store::RefusedLine>& refused) {
    for (const auto& line : refused)
        context.fail(subject, line.describe());
}

// A record this device did not save goes on only as the one that was shown.
bool accepted(CommandContext& context, std::string_view subject, const Record& record,
              const std::string& acceptedDigest) {
    if (record.savedHere ||
        (!acceptedDigest.empty() && store::record_marker::digest(record.bytes) == acceptedDigest))
        return true;
    context.fail(subject, record.name +
                              " was not saved on this device and was not confirmed as shown; "
                              "nothing was restored");
    return false;
}

void writeAddedSources(CommandContext& context, const std::vector<std::string>& recorded) {
    const size_t failuresBefore = context.failures().size();
    std::vector<std::string> live = liveLines(context);
    if (context.failures().size() != failuresBefore)
        return;
    context.check(kSubject, store::file_ops::writeFileAtomically(
                                context.path(store::kAddedSourcesList),
                                store::line_list::join(linesToAdd(recorded, live))));
}

void replaceDefaultList(CommandContext& context, const Record& record, bool allLinesPassed,
                        const std::vector<std::string>& kept) {
    context.check(kSubject, store::file_ops::writeFileAtomically(
                                context.path(store::kDefaultSourcesList),
                                allLinesPassed ? record.bytes : store::line_list::join(kept)));
}

std::string listed(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size() && i < kShownLines; ++i)
        text += "\n" + store::printableLine(lines[i]);
    if (lines.size() > kShownLines)
        text += "\n... and " + std::to_string(lines.size() - kShownLines) + " more";
    return lines.empty() ? "\n(none)" : text;
}

std::string refusedText(const std::vector<store::RefusedLine>& refused) {
    std::vector<std::string> lines;
    for (const auto& line : refused)
        lines.push_back(line.line);
    return refused.empty() ? "" : "\nRefused (left out):" + listed(lines);
}

std::vector<std::string>
packagesIn(const std::vector<store::package_selections::Selection>& selections, bool install) {
    std::vector<std::string> names;
    for (const auto& selection : selections)
        if ((selection.state == "install") == install)
            names.push_back(selection.package + (install ? "" : " (" + selection.state + ")"));
    return names;
}

} // namespace

std::vector<std::string> linesToAdd(const std::vector<std::string>& recorded,
                                    const std::vector<std::string>& live) {
    std::unordered_set<std::string> liveSet(live.begin(), live.end());
    std::vector<std::string> added;
    for (const auto& line : recorded)
        if (!liveSet.contains(line))
            added.push_back(line);
    return added;
}

std::optional<RecordConfirmation> sourcesConfirmation(CommandContext& context) {
    platform::UniqueFd folder = openCheckedStoreFolder(context, kSubject, store::kSourcesFolder);
    if (!folder.valid())
        return std::nullopt;
    auto record = readSourcesRecord(context, folder.get());
    if (!record || record->savedHere)
        return std::nullopt;
    auto checked = store::source_lines::check(store::line_list::decode(record->bytes));
    const bool adding = hasCacheList(context);
    std::vector<std::string> shown =
        adding ? linesToAdd(checked.kept, liveLines(context)) : checked.kept;
    std::string message = "The recorded " + record->name + " was not saved on this device. " +
                          (adding ? "These sources will be added:"
                                  : "These sources will replace the default source list:") +
                          listed(shown) + refusedText(checked.refused) + "\nRestore them ?";
    return RecordConfirmation{store::record_marker::digest(record->bytes), std::move(message)};
}

std::optional<RecordConfirmation> packagesConfirmation(CommandContext& context) {
    platform::UniqueFd folder =
        openCheckedStoreFolder(context, kPackagesSubject, store::kPackagesFolder);
    if (!folder.valid())
        return std::nullopt;
    auto record = readRecord(context, kPackagesSubject, folder.get(), store::kPackageRecord,
                             kLongestPackageRecord);
    if (!record || record->savedHere)
        return std::nullopt;
    auto checked = store::package_selections::check(record->bytes);
    std::string message =
        "The package record was not saved on this device. These packages will be installed:" +
        listed(packagesIn(checked.kept, true)) +
        "\nThese will be removed or held:" + listed(packagesIn(checked.kept, false)) +
        refusedText(checked.refused) + "\nRestore them ?";
    return RecordConfirmation{store::record_marker::digest(record->bytes), std::move(message)};
}

void restoreSources(CommandContext& context, const std::string& acceptedDigest) {
    platform::UniqueFd folder = openCheckedStoreFolder(context, kSubject, store::kSourcesFolder);
    if (!folder.valid())
        return;
    const bool adding = hasCacheList(context);
    if (!adding)
        context.check(kSubject, store::file_ops::remove(context.path(store::kAddedSourcesList)));
    auto record = readSourcesRecord(context, folder.get());
    if (!record) {
        if (!context.failed())
            context.fail(kSubject, adding
                                       ? "no recorded sources to restore"
                                       : "no recorded " + std::string(store::kRecordedDefaultList) +
                                             "; the default source list is left as it is");
        return;
    }
    if (!accepted(context, kSubject, *record, acceptedDigest))
        return;
    auto checked = store::source_lines::check(store::line_list::decode(record->bytes));
    reportRefused(context, kSubject, checked.refused);
    if (adding)
        writeAddedSources(context, checked.kept);
    else
        replaceDefaultList(context, *record, checked.refused.empty(), checked.kept);
}

void restorePackages(CommandContext& context, const std::string& acceptedDigest) {
    platform::UniqueFd folder =
        openCheckedStoreFolder(context, kPackagesSubject, store::kPackagesFolder);
    if (!folder.valid())
        return;
    auto record = readRecord(context, kPackagesSubject, folder.get(), store::kPackageRecord,
                             kLongestPackageRecord);
    if (!record) {
        if (!context.failed())
            context.fail(kPackagesSubject,
                         "no package record to restore (safeguard the packages first)");
        return;
    }
    if (!accepted(context, kPackagesSubject, *record, acceptedDigest))
        return;
    auto checked = store::package_selections::check(record->bytes);
    reportRefused(context, kPackagesSubject, checked.refused);
    PrivateFile copy(context.root().root(), "installed-packages");
    if (!context.check(kPackagesSubject, copy.write(store::package_selections::text(checked.kept))))
        return;
    context.addToolEnvironment("MOBRIX_PACKAGE_RECORD", copy.path());
    context.run(kPackagesSubject, store::kShellTool, {context.path(store::kReinstallScript)},
                Wait::InputBlocked);
}

} // namespace restore
