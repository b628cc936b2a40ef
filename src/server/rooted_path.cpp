#include "rooted_path.h"

#include "cs_escaping.h"

namespace server {

namespace {

std::optional<RemotePath> checked(Call& call, std::string_view text) {
    std::string why;
    auto path = parseRemotePath(text, &why);
    if (!path) {
        drainBody(call);
        sendAnswer(call, ApiAnswer::error(400, "Bad path: " + why));
    }
    return path;
}

} // namespace

std::optional<RemotePath> rootedPath(Call& call, std::string_view prefix) {
    std::string_view rest = std::string_view(call.path).substr(prefix.size());
    constexpr std::string_view kRoot = "cloud";
    if (rest.substr(0, kRoot.size()) != kRoot ||
        (rest.size() > kRoot.size() && rest[kRoot.size()] != '/')) {
        drainBody(call);
        sendAnswer(call, ApiAnswer::error(404, "Unknown root"));
        return std::nullopt;
    }
    rest.remove_prefix(kRoot.size());
    // Only escapes are undone here: "+" is a plus sign in a path.
    return checked(call, stringByRemovingPercentEscapes(rest));
}

std::optional<RemotePath> parameterPath(Call& call, std::string_view name) {
    auto value = parameter(call.parameters, name);
    if (!value || value->empty()) {
        drainBody(call);
        sendAnswer(call, ApiAnswer::error(400, "Missing parameter \"" + std::string(name) + "\""));
        return std::nullopt;
    }
    return checked(call, *value);
}

} // namespace server
