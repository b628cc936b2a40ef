#pragma once

#include <string>

// Keeps a second command off a device root while one runs, across processes:
// an exclusive lock on the device root folder itself, so nothing is created.
class CommandLock {
public:
    CommandLock() = default;
    ~CommandLock();
    CommandLock(const CommandLock&) = delete;
    CommandLock& operator=(const CommandLock&) = delete;

    // True when the lock is now held; false when another holder has it or the
    // folder cannot be opened (error() tells which).
    bool tryAcquire(const std::string& folder);
    void release();
    bool held() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    std::string error_;
};
