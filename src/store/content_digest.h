#pragma once

#include <string>
#include <string_view>

namespace store {

// SHA-256 of some bytes as 64 lowercase hexadecimal digits (empty if the
// crypto library fails).
std::string sha256Hex(std::string_view content);

} // namespace store
