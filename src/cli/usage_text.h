#pragma once

#include <string>

namespace cli {

// The usage text: the options, then one line per screen of the command table.
const std::string& usageText();

// Prints the message and the usage text on standard error; returns kUsage.
int usageError(const std::string& message);

} // namespace cli
