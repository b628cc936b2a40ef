#pragma once
// UTF-8 reading and writing shared by the encoding helpers.

#include <string>
#include <string_view>
#include <vector>

// Code points of the text; each malformed sequence gives one U+FFFD.
std::vector<char32_t> CSDecodeUTF8(std::string_view text);
void CSAppendUTF8(std::string& out, char32_t codePoint);
// The text with every malformed sequence replaced by U+FFFD.
std::string CSValidUTF8(std::string_view text);
