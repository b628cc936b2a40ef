// The API role: account, listings, file operations, changes, revisions, search.
#include "rooted_path.h"

#include <charconv>
#include <shared_mutex>

namespace server {

namespace {

std::string param(const Call& call, std::string_view name) {
    return parameter(call.parameters, name).value_or(std::string());
}

std::size_t limitParam(const Call& call, std::string_view name, std::size_t fallback,
                       std::size_t most) {
    const std::string text = param(call, name);
    std::size_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value == 0)
        return fallback;
    return std::min(value, most);
}

bool rootParamIsCloud(Call& call) {
    if (param(call, "root") == "cloud")
        return true;
    sendAnswer(call, ApiAnswer::error(400, "Invalid root; only \"cloud\" is served"));
    return false;
}

void fileops(ServiceParts& parts, Call& call, std::string_view op) {
    if (!rootParamIsCloud(call))
        return;
    if (op == "create_folder" || op == "delete") {
        auto path = parameterPath(call, "path");
        if (!path)
            return;
        sendAnswer(call, op == "delete" ? parts.files->remove(call.uid, *path)
                                        : parts.files->createFolder(call.uid, *path));
        return;
    }
    if (parameter(call.parameters, "from_copy_ref")) {
        sendAnswer(call, ApiAnswer::error(400, "Copy references are not offered"));
        return;
    }
    auto from = parameterPath(call, "from_path");
    auto to = from ? parameterPath(call, "to_path") : std::nullopt;
    if (to)
        sendAnswer(call, parts.files->moveOrCopy(call.uid, *from, *to, op == "move"));
}

void pathOperation(ServiceParts& parts, Call& call, std::string_view prefix) {
    auto path = rootedPath(call, prefix);
    if (!path)
        return;
    if (prefix == "/1/metadata/") {
        sendAnswer(call, parts.files->metadata(call.uid, *path, param(call, "hash"),
                                               param(call, "list") != "false", param(call, "rev")));
    } else if (prefix == "/1/revisions/") {
        sendAnswer(
            call, parts.files->revisions(call.uid, *path, limitParam(call, "rev_limit", 10, 1000)));
    } else if (prefix == "/1/restore/") {
        if (param(call, "rev").empty())
            return sendAnswer(call, ApiAnswer::error(400, "Missing parameter \"rev\""));
        std::shared_lock visible(parts.commits);
        sendAnswer(call, parts.files->restore(call.uid, *path, param(call, "rev")));
    } else {
        sendAnswer(call, parts.files->search(call.uid, *path, param(call, "query"),
                                             limitParam(call, "file_limit", 1000, 1000)));
    }
}

} // namespace

bool handleApiRequest(ServiceParts& parts, Call& call) {
    constexpr std::string_view kPathOperations[] = {"/1/metadata/", "/1/revisions/", "/1/restore/",
                                                    "/1/search/"};
    const std::string_view path = call.path;
    const bool fileop = startsWith(call, "/1/fileops/");
    std::string_view pathPrefix;
    for (auto prefix : kPathOperations) {
        if (startsWith(call, prefix))
            pathPrefix = prefix;
    }
    if (!fileop && pathPrefix.empty() && path != "/1/account/info" && path != "/1/delta")
        return false;
    if (!readFormBody(call)) {
        sendAnswer(call, ApiAnswer::error(413, "The request body is too large"));
        return true;
    }
    if (!authorize(parts, call, TokenNeed::Access))
        return true;
    if (path == "/1/account/info") {
        sendAnswer(call, parts.files->accountInfo(call.uid));
    } else if (path == "/1/delta") {
        sendAnswer(call, parts.files->delta(call.uid, param(call, "cursor")));
    } else if (fileop) {
        const std::string_view op = path.substr(std::string_view("/1/fileops/").size());
        if (op != "create_folder" && op != "delete" && op != "move" && op != "copy" &&
            op != "copy/")
            sendAnswer(call, ApiAnswer::error(404, "Unknown operation"));
        else
            fileops(parts, call, op == "copy/" ? "copy" : op);
    } else {
        pathOperation(parts, call, pathPrefix);
    }
    return true;
}

} // namespace server
