#pragma once

#include <span>
#include <string_view>

// What the Cloud screen copies between the backup store and the cloud account.
namespace cloud {

// Every remote path of the backup set lies in this folder at the top of the account.
inline constexpr std::string_view kRemoteBackupFolder = "/Mobrix";

// The folders the upload creates, in the order it asks for them.
inline constexpr std::string_view kRemoteFolders[] = {
    "/Mobrix",
    "/Mobrix/MobrixLibrary",
    "/Mobrix/CydiaPackages",
    "/Mobrix/CydiaSources",
};

// One file of the transfer set. The upload gives the client the file name and
// the remote folder; the download gives it the full remote path.
struct TransferFile {
    std::string_view localPath;    // a device path in the backup store
    std::string_view remoteFolder; // ends in "/"
    std::string_view fileName;
    std::string_view remotePath;
    // The store folder that holds the file (checked before the file is used).
    std::string_view localFolder;
};

// The eleven files, in the order of both the upload and the download.
std::span<const TransferFile> transferSet();

} // namespace cloud
