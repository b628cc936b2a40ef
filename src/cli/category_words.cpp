#include "category_words.h"

#include "category_table.h"

#include <algorithm>
#include <utility>

namespace cli {
namespace {

// Commands over several categories, which the category table does not list.
constexpr std::pair<std::string_view, std::string_view> kGroupWords[] = {
    {"all", "AllPref"}, {"sources", "CydiaSources"}, {"packages", "CydiaPackages"}};

std::string lowercase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

} // namespace

std::vector<std::string_view> categoryWords() {
    std::vector<std::string_view> words;
    for (const auto& category : store::categoryTable())
        words.push_back(category.cliWord);
    for (const auto& [word, key] : kGroupWords)
        words.push_back(word);
    return words;
}

std::optional<std::string> commandKey(const std::string& word) {
    const std::string wanted = lowercase(word);
    for (const auto& category : store::categoryTable())
        if (wanted == category.cliWord || wanted == lowercase(category.key))
            return std::string(category.key);
    for (const auto& [cliWord, key] : kGroupWords)
        if (wanted == cliWord || wanted == lowercase(key))
            return std::string(key);
    return std::nullopt;
}

} // namespace cli
