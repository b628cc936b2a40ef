#pragma once

#include <string>
#include <vector>

// The zip tool follows links. Before a copy of a live folder is archived, the
// links in it whose target lies outside the live folder (or inside an
// excluded folder, or nowhere) are dropped, so that no archive carries files
// from elsewhere on the device. Returns the copy's paths that were dropped.
std::vector<std::string> pruneOutsideLinks(const std::string& copyFolder,
                                           const std::string& liveFolder,
                                           const std::string& excludedFolder = {});
