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

// Where whole lines go (without a trailing newline). An empty function
// restores the default, which writes each line to stderr. The sink is called
// under the log's lock, one line at a time; it must not log itself.
void CSLogSetSink(std::function<void(const std::string& line)> sink);
