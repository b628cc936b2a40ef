#include "package_safeguard.h"

#include "command_context.h"
#include "file_ops.h"
#include "line_list.h"
#include "store_checks.h"
#include "store_layout.h"

namespace safeguard {

namespace {

constexpr std::string_view kSubject = "Cydia Sources";

void recordCacheList(CommandContext& context) {
    const std::string cache = context.path(store::kCacheSourcesList);
    const std::string added = context.path(store::kAddedSourcesList);
    const std::string record = context.path(store::kRecordedSourcesList);
    if (!file_ops::exists(added)) {
        context.check(kSubject, file_ops::copyFileAtomically(cache, record));
        return;
    }
    auto addedLines = line_list::read(added);
    auto cacheLines = line_list::read(cache);
    if (!addedLines || !cacheLines) {
        context.fail(kSubject,
                     "cannot read " + std::string(!cacheLines ? store::kCacheSourcesList
                                                              : store::kAddedSourcesList));
        return;
    }
    cacheLines->insert(cacheLines->end(), addedLines->begin(), addedLines->end());
    context.check(kSubject, file_ops::writeFileAtomically(record, line_list::join(*cacheLines)));
}

void recordDefaultList(CommandContext& context) {
    const std::string defaultList = context.path(store::kDefaultSourcesList);
    if (!file_ops::exists(defaultList)) {
        context.fail(kSubject, std::string(store::kDefaultSourcesList) + " does not exist");
        return;
    }
    context.check(kSubject, file_ops::copyFileAtomically(
                                defaultList, context.path(store::kRecordedDefaultList)));
}

} // namespace

void saveSources(CommandContext& context) {
    if (!store_checks::requireStoreFolders(context, kSubject, {store::kSourcesFolder}))
        return;
    if (file_ops::exists(context.path(store::kCacheSourcesList)))
        recordCacheList(context);
    else
        recordDefaultList(context);
}

void savePackages(CommandContext& context) {
    if (!store_checks::requireStoreFolders(context, "Cydia Packages", {store::kPackagesFolder}))
        return;
    context.run("Cydia Packages", store::kShellTool, {context.path(store::kSelectionsScript)},
                Wait::InputBlocked);
}

} // namespace safeguard
