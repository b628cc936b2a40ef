#include "metadata_json.h"

#include "cs_date.h"
#include "secrets.h"

#include <openssl/evp.h>

#include <cstdio>

namespace server {

std::string revText(std::int64_t revision) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(revision));
    return text;
}

std::int64_t parseRev(const std::string& text) {
    if (text.empty() || text.size() > 15)
        return -1;
    std::int64_t value = 0;
    for (char c : text) {
        int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

std::string humanReadableSize(std::int64_t bytes) {
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(bytes));
        return text;
    }
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

CSJsonValue metadataJson(const Entry& entry) {
    const std::string modified = CSFormatMetadataDate(CSDate{entry.modified});
    CSJsonValue json = CSJsonValue::object({
        {"size", CSJsonValue(humanReadableSize(entry.bytes))},
        {"rev", CSJsonValue(revText(entry.revision))},
        {"revision", CSJsonValue(static_cast<long long>(entry.revision))},
        {"thumb_exists", CSJsonValue(false)},
        {"bytes", CSJsonValue(static_cast<long long>(entry.bytes))},
        {"modified", CSJsonValue(modified)},
        {"path", CSJsonValue(entry.path)},
        {"is_dir", CSJsonValue(entry.isDir)},
        {"icon", CSJsonValue(entry.isDir ? "folder" : "page_white")},
        {"root", CSJsonValue("cloud")},
    });
    if (!entry.isDir) {
        json.set("client_mtime", CSJsonValue(modified));
        json.set("mime_type", CSJsonValue("application/octet-stream"));
    }
    if (entry.deleted)
        json.set("is_deleted", CSJsonValue(true));
    return json;
}

CSJsonValue folderJson(const Entry& folder, const std::string& hash,
                       const std::vector<Entry>* contents) {
    CSJsonValue json = metadataJson(folder);
    json.set("hash", CSJsonValue(hash));
    if (contents) {
        CSJsonValue list = CSJsonValue::array();
        for (const auto& child : *contents)
            list.append(metadataJson(child));
        json.set("contents", std::move(list));
    }
    return json;
}

std::string listingHash(const std::vector<Entry>& children) {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr);
    for (const auto& child : children) {
        const std::string line = child.path + "\n" + std::to_string(child.revision) + "\n";
        EVP_DigestUpdate(ctx, line.data(), line.size());
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(ctx, digest, &length);
    EVP_MD_CTX_free(ctx);
    return toHex(digest, 16);
}

} // namespace server
