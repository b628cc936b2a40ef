#pragma once
// The cloud client's levelled log: one "[LABEL] message" line per entry.

#include <cstdarg>
#include <functional>
#include <string>

enum CSLogLevel : int {
    CSLogLevelInfo = 0,
    CSLogLevelAnalytics = 1,
    CSLogLevelWarning = 2,
    CSLogLevelError = 3,
    CSLogLevelFatal = 4,
};

// Entries below this level are dropped.
inline constexpr int kCSLogThreshold = CSLogLevelWarning;

// "INFO", "ANALYTICS", "WARNING", "ERROR", "FATAL"; "" outside 0..4.
const char* CSLogLabel(int level);

void CSLogInfo(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void CSLogWarning(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void CSLogError(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void CSLogv(int level, const char* fmt, va_list args) __attribute__((format(printf, 2, 0)));

// Sends whole lines (without a trailing newline) to `sink` while it lives,
// then back to where they went before; with none alive they go to stderr.
// The log stays process-wide because the data code (JSON, DER) logs without
// any context. The sink is called under the log's lock, one line at a time;
// it must not log itself.
class CSLogRedirect {
public:
    explicit CSLogRedirect(std::function<void(const std::string& line)> sink);
    ~CSLogRedirect();
    CSLogRedirect(const CSLogRedirect&) = delete;
    CSLogRedirect& operator=(const CSLogRedirect&) = delete;

private:
    std::function<void(const std::string& line)> previous_;
};
