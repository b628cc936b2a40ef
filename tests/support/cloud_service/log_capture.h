#pragma once
// Collects the client log's lines for the life of the object.

#include <string>
#include <vector>

#include "cs_log.h"

namespace testsupport {

class LogCapture {
public:
    LogCapture() = default;
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    bool contains(const std::string& part) const {
        for (const auto& l : lines) {
            if (l.find(part) != std::string::npos)
                return true;
        }
        return false;
    }
    std::vector<std::string> lines;

private:
    CSLogRedirect redirect_{[this](const std::string& line) { lines.push_back(line); }};
};

} // namespace testsupport
