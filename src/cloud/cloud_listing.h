#pragma once

#include <string>

class CSAccountInfo;
class CSMetadata;

// What the command line prints for the linked account and a remote folder.
namespace cloud {

// "Display name: …", "E-mail: …", "Country: …", "Quota: 1.0 KB used of 2.0 GB",
// one per line.
std::string formatAccountInfo(const CSAccountInfo& info);

// One line per entry of a folder (or the one file): name (folders end in
// "/"), size in bytes ("-" for folders) and modification date in UTC, in
// aligned columns.
std::string formatListing(const CSMetadata& metadata);

} // namespace cloud
