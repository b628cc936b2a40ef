#pragma once
// Paths inside an account: "/" and "/Folder/file.zip". A path is checked once
// where a request enters and from then on only handled in its normal form.

#include <optional>
#include <string>
#include <string_view>

namespace server {

inline constexpr std::size_t kMaxPathBytes = 4096;
inline constexpr std::size_t kMaxNameBytes = 255;

struct RemotePath {
    std::string
        display;     // "/Folder/File.zip": as the user wrote it, without repeated or trailing "/"
    std::string key; // the same in lower case: names differing only in case are one entry

    bool isRoot() const { return display == "/"; }
    // The folder holding it ("/" for a top-level entry and for the root itself).
    RemotePath parent() const;
    // The last component ("" for the root).
    std::string name() const;
    // `name` inside this folder.
    RemotePath child(std::string_view name) const;
    // Whether `other` is this path or lies below it.
    bool contains(const RemotePath& other) const;
};

// Checks and normalizes a path: it must be valid UTF-8 without NUL or other
// control characters, hold no "." or ".." component, no component longer than
// kMaxNameBytes and no more than kMaxPathBytes in all. A missing leading "/"
// is added. Gives nothing and the reason in `error` otherwise.
std::optional<RemotePath> parseRemotePath(std::string_view text, std::string* error);

// ASCII letters lowered; other bytes kept.
std::string lowerPath(std::string_view text);

} // namespace server
