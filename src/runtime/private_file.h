#pragma once

#include "result.h"
#include "unique_fd.h"

#include <optional>
#include <string>

// A file that the program shares with one of the bundle's scripts: 0600 in
// the program's private folder, which no other user can enter, named after
// the device root and its use ("<key>.<use>"; one command per device root
// runs at a time, so the name is free). Removed when this object ends; one
// that an interrupted run left is replaced by the next run of the same kind.
class PrivateFile {
public:
    PrivateFile(const std::string& deviceRoot, const std::string& use);
    ~PrivateFile();
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;

    // Creates the file anew with this content.
    platform::Status write(const std::string& content);
    // Its content as the script left it, at most maxBytes.
    platform::Result<std::string> read(size_t maxBytes) const;
    std::string path() const;

private:
    platform::UniqueFd folder_;
    std::string folderPath_;
    std::string name_;
};
