#pragma once
// Folder listings as the service sends them, of about the requested size:
// nested folders, non-ASCII and escaped paths, sizes, revisions and dates.

#include <cstddef>
#include <string>

std::string generateListing(std::size_t targetBytes);
