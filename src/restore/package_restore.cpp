#include "package_restore.h"

#include "command_context.h"
#include "file_ops.h"
#include "line_list.h"
#include "store_checks.h"
#include "store_layout.h"

#include <unordered_set>

namespace restore {

namespace {

constexpr std::string_view kSubject = "Cydia Sources";

std::optional<std::vector<std::string>> recordedLines(CommandContext& context) {
    for (auto record : {store::kRecordedSourcesList, store::kRecordedDefaultList}) {
        if (!file_ops::exists(context.path(record)))
            continue;
        auto lines = line_list::read(context.path(record));
        if (!lines)
            context.fail(kSubject, "cannot read " + std::string(record));
        return lines;
    }
    context.fail(kSubject, "no recorded sources to restore");
    return std::nullopt;
}

void writeAddedSources(CommandContext& context) {
    auto live = line_list::read(context.path(store::kCacheSourcesList));
    if (!live) {
        context.fail(kSubject, "cannot read " + std::string(store::kCacheSourcesList));
        return;
    }
    auto recorded = recordedLines(context);
    if (!recorded)
        return;
    context.check(kSubject,
                  file_ops::writeFileAtomically(context.path(store::kAddedSourcesList),
                                                line_list::join(linesToAdd(*recorded, *live))));
}

void replaceDefaultList(CommandContext& context) {
    context.check(kSubject, file_ops::remove(context.path(store::kAddedSourcesList)));
    const std::string recorded = context.path(store::kRecordedDefaultList);
    if (!file_ops::exists(recorded)) {
        context.fail(kSubject, "no recorded " + std::string(store::kRecordedDefaultList) +
                                   "; the default source list is left as it is");
        return;
    }
    context.check(kSubject,
                  file_ops::copyFileAtomically(recorded, context.path(store::kDefaultSourcesList)));
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

void restoreSources(CommandContext& context) {
    if (!store_checks::requireStoreFolders(context, kSubject, {store::kSourcesFolder}))
        return;
    if (file_ops::exists(context.path(store::kCacheSourcesList)))
        writeAddedSources(context);
    else
        replaceDefaultList(context);
}

void restorePackages(CommandContext& context) {
    context.run("Cydia Packages", store::kShellTool, {context.path(store::kReinstallScript)},
                Wait::InputBlocked);
}

} // namespace restore
