#pragma once

#include "file_ops_at.h"
#include "process_identity.h"

#include <optional>
#include <string>
#include <string_view>

class CommandContext;

namespace safeguard {

// The private place where one archive's copy is made: the store's staging
// folder, made afresh and only root's (0700), holding a scratch root that
// belongs to the data's owner and is laid out like the device from "/" down
// to the folder the copy goes into. Tools that run as the owner enter it by
// descriptor; nobody reaches it by name. Removed when this ends, and any
// leftover of an interrupted run is removed before a new one is made.
class SaveScratch {
public:
    static std::optional<SaveScratch> make(CommandContext& context, std::string_view subject,
                                           int applicationFd, std::string_view folders,
                                           const ProcessIdentity& owner);
    ~SaveScratch();
    SaveScratch(SaveScratch&& other) noexcept;
    SaveScratch& operator=(SaveScratch&&) = delete;

    // Closes and removes everything now.
    platform::Status remove();

    int root() const { return root_.get(); }
    // The deepest of the folders made ("var/mobile/.../MobrixLibrary").
    int deepest() const { return deepest_.get(); }

    // Removes the staging folder with everything in it.
    static platform::Status removeStaging(int applicationFd);

private:
    SaveScratch() = default;

    int applicationFd_ = -1;
    store::file_ops::UniqueFd staging_;
    store::file_ops::UniqueFd root_;
    store::file_ops::UniqueFd deepest_;
};

} // namespace safeguard
