#include "cloud_listing.h"

#include "cloud_transfer.h"
#include "cs_account_info.h"
#include "cs_metadata.h"
#include "printable_text.h"

#include <algorithm>
#include <ctime>
#include <vector>

namespace cloud {
namespace {

std::string orUnknown(const std::optional<std::string>& text) {
    return text && !text->empty() ? printable(*text) : "(unknown)";
}

std::string formatDate(const std::optional<CSDate>& date) {
    if (!date)
        return "-";
    const std::time_t seconds = static_cast<std::time_t>(date->secondsSince1970);
    std::tm parts{};
    if (!::gmtime_r(&seconds, &parts))
        return "-";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

struct Row {
    std::string name;
    std::string size;
    std::string date;
};

Row rowFor(const CSMetadata& entry) {
    return {printable(entry.filename()) + (entry.isDirectory() ? "/" : ""),
            entry.isDirectory() ? "-" : std::to_string(entry.totalBytes()),
            formatDate(entry.lastModifiedDate())};
}

std::string padded(const std::string& text, size_t width, bool right) {
    std::string fill(width > text.size() ? width - text.size() : 0, ' ');
    return right ? fill + text : text + fill;
}

} // namespace

std::string formatAccountInfo(const CSAccountInfo& info) {
    std::string text = "Display name: " + orUnknown(info.displayName()) + "\n";
    text += "E-mail: " + orUnknown(info.email()) + "\n";
    text += "Country: " + orUnknown(info.country()) + "\n";
    if (const auto& quota = info.quota())
        text += "Quota: " + formatBytes(quota->totalConsumedBytes()) + " used of " +
                formatBytes(quota->totalBytes()) + "\n";
    else
        text += "Quota: (unknown)\n";
    return text;
}

std::string formatListing(const CSMetadata& metadata) {
    std::vector<Row> rows;
    if (!metadata.isDirectory()) {
        rows.push_back(rowFor(metadata));
    } else if (const auto* contents = metadata.contents()) {
        for (const auto& entry : *contents)
            if (!entry.isDeleted())
                rows.push_back(rowFor(entry));
    }
    size_t nameWidth = 0;
    size_t sizeWidth = 0;
    for (const auto& row : rows) {
        nameWidth = std::max(nameWidth, row.name.size());
        sizeWidth = std::max(sizeWidth, row.size.size());
    }
    std::string text;
    for (const auto& row : rows)
        text += padded(row.name, nameWidth, false) + "  " + padded(row.size, sizeWidth, true) +
                "  " + row.date + "\n";
    return text;
}

} // namespace cloud
