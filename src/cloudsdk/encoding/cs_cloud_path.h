#pragma once
// Cloud paths compare without regard to case and Unicode composition.

#include <string>
#include <string_view>

// "/" gives ""; any other path is lowercased and put into Unicode NFC.
std::string normalizedCloudPath(std::string_view path);

bool isEqualToCloudPath(std::string_view path, std::string_view other);
