#pragma once
// The per-user secret store: one file per service name in a 0700 folder under
// $XDG_DATA_HOME/Mobrix (else ~/.local/share/Mobrix), each file 0600 and
// replaced atomically, so a reader sees the old or the new secret, never half.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct SecretStatus {
    enum Kind { ok, notFound, failed } kind = ok;
    int errnum = 0; // errno of a failure

    bool isOk() const { return kind == ok; }
};

class SecretStore {
public:
    // $XDG_DATA_HOME/Mobrix/secrets, read from the environment at each call.
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
    SecretStatus ensureFolder() const;

    std::filesystem::path folder_;
};

} // namespace platform
