#pragma once
// The file an upload sends as its body, read from its start on every send
// (again after a redirect, or when curl must rewind it).

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

class CSUploadBody {
public:
    CSUploadBody() = default;
    ~CSUploadBody();
    CSUploadBody(const CSUploadBody&) = delete;
    CSUploadBody& operator=(const CSUploadBody&) = delete;

    // 0, or the errno of the failure.
    int open(const std::string& path);
    void close();
    std::int64_t size() const { return size_; }

    // Bytes read (0 at the end), or -1 with lastError() set.
    ssize_t read(char* buffer, std::size_t capacity);
    bool seek(std::int64_t offset, int origin);
    int lastError() const { return lastError_; }

private:
    int fd_ = -1;
    std::int64_t size_ = 0;
    int lastError_ = 0;
};
