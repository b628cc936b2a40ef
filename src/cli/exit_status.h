#pragma once

// The exit statuses of the command line, as the usage text lists them.
namespace cli {

inline constexpr int kSucceeded = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;
inline constexpr int kCancelled = 3;
inline constexpr int kBusy = 4;

} // namespace cli
