#include "bundle_scripts.h"

#include "device_root.h"
#include "file_ops.h"
#include "store_layout.h"

void hideBundleScripts(const DeviceRoot& root) {
    const std::pair<std::string_view, std::string_view> scripts[] = {
        {store::kShippedSelectionsScript, store::kSelectionsScript},
        {store::kShippedReinstallScript, store::kReinstallScript},
    };
    // A script already hidden (or no longer shipped) is no error here; a
    // package command that finds no script reports it when it runs.
    for (const auto& [shipped, hidden] : scripts)
        (void)store::file_ops::moveNoReplace(root.path(shipped), root.path(hidden));
}
