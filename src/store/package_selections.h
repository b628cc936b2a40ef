#pragma once

#include "refused_line.h"

#include <string>
#include <string_view>
#include <vector>

// The installed-package record as the package database reads it back: one
// Debian package name (with an optional ":architecture") and one selection
// state (install, hold, deinstall, purge) per line. Nothing else reaches the
// package tools.
namespace store::package_selections {

struct Selection {
    std::string package;
    std::string state;
};

struct Checked {
    std::vector<Selection> kept;
    std::vector<RefusedLine> refused;
};

// Blank lines are passed over; every other line is kept or refused.
Checked check(std::string_view record);

// The kept selections as the record the package tools get: "name\tstate\n" each.
std::string text(const std::vector<Selection>& selections);

} // namespace store::package_selections
