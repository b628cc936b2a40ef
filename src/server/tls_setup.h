#pragma once
// A private certificate authority and a server certificate it issues, for
// operators without a certificate of their own. Clients trust the authority's
// certificate (mobrix --service-ca).

#include <filesystem>
#include <string>
#include <vector>

namespace server {

struct TlsFiles {
    std::filesystem::path authority;   // CA certificate, PEM: give it to the clients
    std::filesystem::path certificate; // server certificate, PEM
    std::filesystem::path key;         // server key, PEM, mode 0600
};

// Makes the three files in `folder` for the given host names and IP addresses.
bool makeTlsFiles(const std::filesystem::path& folder, const std::vector<std::string>& names,
                  TlsFiles* files, std::string* error);

} // namespace server
