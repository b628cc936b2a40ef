#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The CATEGORY operand of save and restore.
namespace cli {

// The words, in the order the usage text lists them.
std::vector<std::string_view> categoryWords();

// A category word, or a command key in any letter case, turned into the key
// ("Accounts", "AllPref" …); nothing when it names no category.
std::optional<std::string> commandKey(const std::string& word);

} // namespace cli
