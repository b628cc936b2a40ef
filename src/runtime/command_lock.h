#pragma once

#include "result.h"
#include "unique_fd.h"

#include <string>

// Keeps a second command off a device root while one runs, across processes:
// an exclusive lock on a 0600 file named after the device root, in the folder
// only the program's user can enter (private_folder), so no other user can
// open it, let alone hold it. The file is removed when the lock is released.
class CommandLock {
public:
    CommandLock() = default;
    ~CommandLock() { release(); }
    CommandLock(const CommandLock&) = delete;
    CommandLock& operator=(const CommandLock&) = delete;

    // Holds the lock of the device root now, or tells why not: another
    // holder has it, or the lock file cannot be opened.
    platform::Status tryAcquire(const std::string& deviceRoot);
    void release();
    bool held() const { return fd_.valid(); }

private:
    platform::Status lockFile(int folder, const std::string& path, const std::string& deviceRoot);

    platform::UniqueFd folder_;
    std::string name_;
    platform::UniqueFd fd_;
};
