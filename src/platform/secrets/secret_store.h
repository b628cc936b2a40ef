#pragma once
// The per-user secret store: one file per service name in the folder
// Mobrix/secrets of the user's data folder (user_folders.h), each file 0600
// and replaced atomically, so a reader sees the old or the new secret, never
// half. Both folders are 0700 and the user's own; every read, write and
// removal checks them, and every read checks the file, on open descriptors.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "private_files.h"

namespace platform {

class SecretStore {
public:
    // <data folder>/Mobrix/secrets, decided at each call (user_folders.h).
    static std::filesystem::path defaultFolder();

    explicit SecretStore(std::filesystem::path folder = defaultFolder());

    const std::filesystem::path& folder() const { return folder_; }

    // The secret stored under the service name; notFound when there is none.
    SecretStatus read(std::string_view service, std::string* data) const;
    SecretStatus write(std::string_view service, std::string_view data) const;
    // Removing a missing secret reports notFound.
    SecretStatus remove(std::string_view service) const;

    // The file of a service name: unsafe bytes are percent-escaped, so every
    // name maps to one plain file inside the folder.
    std::filesystem::path pathFor(std::string_view service) const;

private:
    // The store's folder, checked (and with `create`, made).
    SecretStatus openFolder(bool create, FileDescriptor& folder) const;

    std::filesystem::path folder_;
};

} // namespace platform
