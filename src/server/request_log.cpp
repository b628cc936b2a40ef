#include "request_log.h"

#include <ctime>
#include <memory>

namespace server {

namespace {

std::string now() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

// Control characters in a path would forge log lines.
std::string printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace

std::unique_ptr<RequestLog> RequestLog::open(const std::string& target, std::string* error) {
    if (target.empty() || target == "-")
        return std::unique_ptr<RequestLog>(new RequestLog(stderr, false));
    std::FILE* file = std::fopen(target.c_str(), "a");
    if (!file) {
        if (error)
            *error = "cannot open the request log " + target;
        return nullptr;
    }
    return std::unique_ptr<RequestLog>(new RequestLog(file, true));
}

RequestLog::~RequestLog() {
    if (owned_)
        std::fclose(file_);
}

void RequestLog::write(const RequestLogLine& line) {
    const std::string path = printable(line.path.substr(0, line.path.find('?')));
    std::lock_guard lock(mutex_);
    std::fprintf(file_, "%s %s %s %s %d in=%llu out=%llu %.1fms uid=%lld\n", now().c_str(),
                 printable(line.remote).c_str(), printable(line.method).c_str(), path.c_str(),
                 line.status, static_cast<unsigned long long>(line.received),
                 static_cast<unsigned long long>(line.sent), line.milliseconds,
                 static_cast<long long>(line.uid));
    std::fflush(file_);
}

void RequestLog::note(const std::string& text) {
    std::lock_guard lock(mutex_);
    std::fprintf(file_, "%s %s\n", now().c_str(), text.c_str());
    std::fflush(file_);
}

} // namespace server
