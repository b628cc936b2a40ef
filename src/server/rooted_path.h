#pragma once
// The account path inside a request path: PREFIX, the root "cloud", then the
// path ("/1/files/cloud/Mobrix/a.zip" gives "/Mobrix/a.zip").

#include "service_parts.h"

#include <optional>
#include <string_view>

namespace server {

// Whether the call's path starts with the prefix.
inline bool startsWith(const Call& call, std::string_view prefix) {
    return std::string_view(call.path).substr(0, prefix.size()) == prefix;
}

// The checked path after the prefix; answers 400 or 404 and gives nothing otherwise.
std::optional<RemotePath> rootedPath(Call& call, std::string_view prefix);
// A path given as a parameter (fileops); answers 400 when it is missing or bad.
std::optional<RemotePath> parameterPath(Call& call, std::string_view name);

} // namespace server
