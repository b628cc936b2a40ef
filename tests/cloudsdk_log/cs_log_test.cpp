#include "cs_log.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

void logAt(int level, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void logAt(int level, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    CSLogv(level, fmt, args);
    va_end(args);
}

TEST(Log, DropsEntriesBelowWarningAndFormatsLongOnes) {
    std::vector<std::string> lines;
    CSLogRedirect redirect([&](const std::string& line) { lines.push_back(line); });
    CSLogInfo("CloudSDK: %s", "quiet");
    logAt(CSLogLevelAnalytics, "also quiet");
    logAt(-1, "below every level");
    const std::string longText(5000, 'x');
    CSLogWarning("%s|%s", longText.c_str(), "100%");
    EXPECT_EQ(lines, std::vector<std::string>{"[WARNING] " + longText + "|100%"});
}

TEST(LogSink, LinesFromManyThreadsArriveWhole) {
    std::vector<std::string> lines;
    // The log serialises sink calls; the sink itself needs no lock.
    auto redirect =
        std::make_optional<CSLogRedirect>([&](const std::string& line) { lines.push_back(line); });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                CSLogError("thread %d entry %d", t, i);
        });
    for (auto& thread : threads)
        thread.join();
    redirect.reset();
    ASSERT_EQ(lines.size(), 800u);
    for (const auto& line : lines)
        EXPECT_EQ(line.rfind("[ERROR] thread ", 0), 0u) << line;
}

} // namespace
