#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace restore::archive_listing {

// The first entry name of an archive listing (one name per line) that could
// land outside the extraction folder: an absolute name or one with a ".."
// component. Nothing when every name is safe.
std::optional<std::string> unsafeEntry(std::string_view listing);

} // namespace restore::archive_listing
