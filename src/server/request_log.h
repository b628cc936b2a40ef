#pragma once
// One line per request: time, client address, method, path without its query,
// status, bytes sent and received, duration and account. Queries carry the
// signatures and tokens, so they are never written.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

namespace server {

struct RequestLogLine {
    std::string remote;
    std::string method;
    std::string path;
    int status = 0;
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
    double milliseconds = 0;
    std::int64_t uid = 0;
};

class RequestLog {
public:
    // "-" for standard error; otherwise a file opened for appending.
    static std::unique_ptr<RequestLog> open(const std::string& target, std::string* error);
    ~RequestLog();
    void write(const RequestLogLine& line);
    void note(const std::string& text);

private:
    RequestLog(std::FILE* file, bool owned) : file_(file), owned_(owned) {}
    std::FILE* file_;
    bool owned_;
    std::mutex mutex_;
};

} // namespace server
