#include "archive_listing.h"

namespace restore::archive_listing {

namespace {

bool hasParentComponent(std::string_view name) {
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos)
            end = name.size();
        if (name.substr(start, end - start) == "..")
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

std::optional<std::string> unsafeEntry(std::string_view listing) {
    size_t start = 0;
    while (start < listing.size()) {
        size_t end = listing.find('\n', start);
        if (end == std::string_view::npos)
            end = listing.size();
        std::string_view name = listing.substr(start, end - start);
        if (!name.empty() && name.back() == '\r')
            name.remove_suffix(1);
        if (name.starts_with('/') || name.starts_with('\\') || hasParentComponent(name))
            return std::string(name);
        start = end + 1;
    }
    return std::nullopt;
}

} // namespace restore::archive_listing
