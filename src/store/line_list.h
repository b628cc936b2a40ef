#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The package-source lists as lines, never parsed further.
namespace store::line_list {

// Splits at every line break of the newline set (LF, VT, FF, CR, NEL, LS, PS):
// each break ends one element, so "a\n" gives "a" and an empty last element,
// and "\r\n" gives an empty element between its two breaks.
std::vector<std::string> split(std::string_view utf8);
// Neighbours joined with one "\n", nothing after the last.
std::string join(const std::vector<std::string>& lines);

// A whole file's bytes as lines: UTF-8 (a byte-order mark dropped) when they
// are valid UTF-8, else Latin-1.
std::vector<std::string> decode(std::string_view bytes);

// Reads a whole file as text: UTF-8 (a byte-order mark dropped) when it is
// valid UTF-8, else Latin-1. Nothing when the file cannot be read.
std::optional<std::vector<std::string>> read(const std::string& path);

} // namespace store::line_list
