#pragma once

#include "unique_fd.h"

#include <string>

// The checked package record handed to the re-install script: a 0600 file in
// the program's private folder, named after the device root (one command per
// device root runs at a time, so the name is free), removed when this object
// ends. A copy that an interrupted run left is replaced by the next one.
class PackageRecordCopy {
public:
    explicit PackageRecordCopy(const std::string& deviceRoot);
    ~PackageRecordCopy();
    PackageRecordCopy(const PackageRecordCopy&) = delete;
    PackageRecordCopy& operator=(const PackageRecordCopy&) = delete;

    // Writes the copy; an error message, empty on success.
    std::string write(const std::string& content);
    std::string path() const;

private:
    std::string deviceRoot_;
    UniqueFd folder_;
    std::string folderPath_;
    std::string name_;
};
