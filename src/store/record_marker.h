#pragma once

#include "result.h"

#include <string>
#include <string_view>

// Tells the records a local safeguard wrote from those that arrived another
// way (a cloud download, a file put there by hand). Beside each record the
// safeguard keeps ".saved-<name>" with the SHA-256 of what it wrote, in the
// store folder that only the program's user can write; a record whose bytes
// no longer match is not one this device saved.
namespace store::record_marker {

std::string digest(std::string_view content);

// Records that content was saved here as name (in the open store folder).
platform::Status markSaved(int folder, const std::string& name, std::string_view content);

// True when content is exactly what the last local safeguard of name wrote.
bool wasSavedHere(int folder, const std::string& name, std::string_view content);

} // namespace store::record_marker
