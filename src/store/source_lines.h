#pragma once

#include "refused_line.h"

#include <string>
#include <string_view>
#include <vector>

// Which package-source lines may reach the package manager's list folder,
// where root's package tools trust them: blank lines, comments, and "deb" or
// "deb-src" lines with an http or https address and a plain suite and
// components. Options in brackets ("[trusted=yes]"), other address schemes
// (file:, cdrom:, ...) and control characters are refused.
namespace store::source_lines {

// Empty when the line may pass; otherwise why not.
std::string problem(std::string_view line);

struct Checked {
    std::vector<std::string> kept; // in their order
    std::vector<RefusedLine> refused;
};
Checked check(const std::vector<std::string>& lines);

} // namespace store::source_lines
