#pragma once
// The application's bundle information, compiled in: what a phone reads from
// the bundle's property list is fixed here at build time.

#include "bundle_version.h"

#include <array>
#include <string_view>

namespace platform::bundle {

inline constexpr std::string_view kIdentifier = "com.mobrix.app";
inline constexpr std::string_view kDisplayName = "Mobrix";
inline constexpr std::string_view kShortVersion = MOBRIX_VERSION;
inline constexpr std::string_view kProcessName = "RootMobrix";

// "CFBundleURLTypes" / "CFBundleURLSchemes": the schemes the program answers.
inline constexpr std::array<std::string_view, 1> kURLSchemes = {"cs-q7w2k9x4m1z8r5t"};

// The localizations the bundle ships.
inline constexpr std::array<std::string_view, 1> kLocalizations = {"en"};

inline constexpr bool declaresURLScheme(std::string_view scheme) {
    for (auto s : kURLSchemes) {
        if (s == scheme)
            return true;
    }
    return false;
}

inline constexpr bool hasLocalization(std::string_view language) {
    for (auto l : kLocalizations) {
        if (l == language)
            return true;
    }
    return false;
}

} // namespace platform::bundle
