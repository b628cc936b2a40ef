#pragma once

#include <string>
#include <string_view>

namespace store {

// A line of a record that was not let through, and why.
struct RefusedLine {
    std::string line;
    std::string reason;

    // "refused "<line shown safely>" (<reason>)", for a failure line.
    std::string describe() const;
};

// The line as it can be shown on a terminal or in an alert: control and
// non-ASCII bytes as \xNN, cut after a bounded length.
std::string printableLine(std::string_view line);

} // namespace store
