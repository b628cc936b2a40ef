#pragma once

#include "cli_arguments.h"
#include "result.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct CSClientContext;

namespace cli {

struct Screens;

// How the words after the verb are read into the command's operand.
enum class Operands {
    None,         // no word
    Any,          // words ignored
    Category,     // one CATEGORY word or command key; the operand is the key
    OptionalPath, // at most one PATH
    LinkAnswer,   // one URL, read from standard input when not given
};

// Prints and ends, before the other options are looked at.
using PrintCommand = int (*)();
// Touches no device folder and takes no device lock; returns the exit status.
using AccountCommand = int (*)(const CliArguments&, CSClientContext&,
                               const std::optional<std::string>& operand);
// Runs a command method of a screen; its alerts decide the exit status.
using ScreenCommand = std::function<void(Screens&, const std::optional<std::string>& operand)>;

struct Command {
    std::string_view group; // "cloud" for `cloud VERB`, else empty
    std::string_view verb;
    Operands operands;
    std::variant<PrintCommand, AccountCommand, ScreenCommand> run;
    // The usage line's description: neighbouring rows with the same group and
    // description share one line.
    std::string_view help;
};

// Every command, in the order of the usage text.
std::span<const Command> commandTable();

// The command the words name, or the usage error.
platform::Result<const Command*> findCommand(const std::vector<std::string>& words);

// The operand of the command from the words after its verb, or the usage error.
platform::Result<std::optional<std::string>> readOperand(const Command& command,
                                                         const std::vector<std::string>& words);

} // namespace cli
