#include "bundle_scripts.h"

#include "device_root.h"
#include "file_ops.h"
#include "store_layout.h"

void hideBundleScripts(const DeviceRoot& root) {
    const std::pair<std::string_view, std::string_view> scripts[] = {
        {store::kShippedSelectionsScript, store::kSelectionsScript},
        {store::kShippedReinstallScript, store::kReinstallScript},
    };
    for (const auto& [shipped, hidden] : scripts)
        if (!file_ops::exists(root.path(hidden)))
            file_ops::moveNoReplace(root.path(shipped), root.path(hidden));
}
