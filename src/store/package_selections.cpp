#include "package_selections.h"

#include "line_list.h"

#include <algorithm>

namespace store::package_selections {

namespace {

bool isLowerAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool isPackageName(std::string_view name) {
    if (name.size() < 2 || name.size() > 128 || !isLowerAlnum(name[0]))
        return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return isLowerAlnum(c) || c == '+' || c == '-' || c == '.'; });
}

bool isArchitecture(std::string_view name) {
    return !name.empty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [](char c) {
        return isLowerAlnum(c) || c == '-';
    });
}

bool isQualifiedName(std::string_view name) {
    size_t colon = name.find(':');
    if (colon == std::string_view::npos)
        return isPackageName(name);
    return isPackageName(name.substr(0, colon)) && isArchitecture(name.substr(colon + 1));
}

bool isState(std::string_view state) {
    return state == "install" || state == "hold" || state == "deinstall" || state == "purge";
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> result;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            result.push_back(line.substr(start, i - start));
    }
    return result;
}

} // namespace

Checked check(std::string_view record) {
    Checked checked;
    for (const auto& line : store::line_list::split(record)) {
        auto parts = words(line);
        if (parts.empty() && line.find_first_not_of(" \t") == std::string::npos)
            continue;
        if (parts.size() != 2)
            checked.refused.push_back({line, "not a package and a selection state"});
        else if (!isQualifiedName(parts[0]))
            checked.refused.push_back({line, "not a package name"});
        else if (!isState(parts[1]))
            checked.refused.push_back({line, "not a selection state"});
        else
            checked.kept.push_back({std::string(parts[0]), std::string(parts[1])});
    }
    return checked;
}

std::string text(const std::vector<Selection>& selections) {
    std::string record;
    for (const auto& selection : selections)
        record += selection.package + "\t" + selection.state + "\n";
    return record;
}

} // namespace store::package_selections
