#include "cs_log.h"

#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// One lock for the sink and the write, so lines never interleave and a sink
// is never swapped out while it runs. Both are never destroyed, so that
// objects logging from their own destructors at exit stay safe.
std::mutex& logMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::function<void(const std::string&)>& logSink() {
    static auto* sink = new std::function<void(const std::string&)>;
    return *sink;
}

void writeToStderr(const std::string& line) {
    std::string withNewline = line + '\n';
    std::fwrite(withNewline.data(), 1, withNewline.size(), stderr);
    std::fflush(stderr);
}

std::string formatMessage(const char* fmt, va_list args) {
    va_list probe;
    va_copy(probe, args);
    int needed = std::vsnprintf(nullptr, 0, fmt, probe);
    va_end(probe);
    if (needed < 0)
        return fmt;
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), fmt, args);
    return std::string(buffer.data(), static_cast<size_t>(needed));
}

} // namespace

const char* CSLogLabel(int level) {
    static const char* const labels[] = {"INFO", "ANALYTICS", "WARNING", "ERROR", "FATAL"};
    if (level < CSLogLevelInfo || level > CSLogLevelFatal)
        return "";
    return labels[level];
}

void CSLogv(int level, const char* fmt, va_list args) {
    if (level < kCSLogThreshold || fmt == nullptr)
        return;
    std::string line = "[";
    line += CSLogLabel(level);
    line += "] ";
    line += formatMessage(fmt, args);

    std::lock_guard<std::mutex> lock(logMutex());
    if (logSink())
        logSink()(line);
    else
        writeToStderr(line);
}

CSLogRedirect::CSLogRedirect(std::function<void(const std::string& line)> sink) {
    std::lock_guard<std::mutex> lock(logMutex());
    previous_ = std::exchange(logSink(), std::move(sink));
}

CSLogRedirect::~CSLogRedirect() {
    std::lock_guard<std::mutex> lock(logMutex());
    logSink() = std::move(previous_);
}

void CSLogInfo(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    CSLogv(CSLogLevelInfo, fmt, args);
    va_end(args);
}

void CSLogWarning(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    CSLogv(CSLogLevelWarning, fmt, args);
    va_end(args);
}

void CSLogError(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    CSLogv(CSLogLevelError, fmt, args);
    va_end(args);
}
