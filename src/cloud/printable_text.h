#pragma once

#include <string>
#include <string_view>

// Text that came from the service, made safe to print on a terminal.
namespace cloud {

// Control characters (C0, DEL, C1) become visible escapes ("\x1b", "\u009b"),
// as do the characters that reorder text on screen (bidirectional embeddings,
// overrides and isolates) and bytes that are not UTF-8. Everything else is
// kept as it is.
std::string printable(std::string_view text);

} // namespace cloud
