#pragma once
// Entries as the metadata records the client reads.

#include "cs_json_value.h"
#include "store_records.h"

#include <string>
#include <vector>

namespace server {

// The text form of a change number, as "rev" carries it.
std::string revText(std::int64_t revision);
// The change number of a "rev" text; -1 when it is not one.
std::int64_t parseRev(const std::string& text);

// "512 bytes", "1.5 KB", "3.2 MB", "1.1 GB".
std::string humanReadableSize(std::int64_t bytes);

// One entry's record; a folder's record gets its listing's hash and, when
// given, its contents.
CSJsonValue metadataJson(const Entry& entry);
CSJsonValue folderJson(const Entry& folder, const std::string& hash,
                       const std::vector<Entry>* contents);

// What a folder's listing hash is made from: each child's key and revision.
std::string listingHash(const std::vector<Entry>& children);

} // namespace server
