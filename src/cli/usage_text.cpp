#include "usage_text.h"

#include "category_words.h"
#include "command_table.h"
#include "exit_status.h"

#include <cstdio>

namespace cli {
namespace {

constexpr const char* kSynopsis =
    "usage: mobrix [--root DIR] [--yes] [--answer BUTTON]... [--service URL --service-ca FILE] "
    "COMMAND\n";
constexpr const char* kCommandKeys =
    "  (or the command key: TweaksPref Accounts AddressBook Calendar Notes Safari SMS Voicemail\n"
    "   CallHistory SpringBoard DCIM AllPref CydiaSources CydiaPackages, any letter case)\n";
constexpr const char* kOptions =
    "\n"
    "  --root DIR       the device root (default /)\n"
    "  --yes            answer confirmations with their first further button (never a restart "
    "offer)\n"
    "  --answer BUTTON  answer the next alert that asks with this button title (repeatable)\n"
    "  --service URL --service-ca FILE\n"
    "                   talk to the cloud service at URL (https://HOST[:PORT]) trusting only the\n"
    "                   certificates in FILE, for this invocation only\n"
    "Exit status: 0 done, 1 failed, 2 usage error, 3 cancelled at the confirmation,\n"
    "4 another command is running on the same device root.\n";

// A lone verb is padded so that the operands of neighbouring lines align.
constexpr size_t kVerbWidth = 7;
// Descriptions start at this column, or after a wide gap past a long synopsis.
constexpr size_t kHelpColumn = 24;
constexpr size_t kWideGap = 5;

std::string_view operandSynopsis(Operands operands) {
    switch (operands) {
    case Operands::Category:
        return "CATEGORY";
    case Operands::OptionalPath:
        return "[PATH]";
    case Operands::LinkAnswer:
        return "URL";
    case Operands::None:
    case Operands::Any:
        break;
    }
    return "";
}

std::string synopsis(const Command& command, bool alone) {
    std::string text(command.verb);
    const std::string_view operand = operandSynopsis(command.operands);
    if (operand.empty())
        return text;
    if (alone && text.size() < kVerbWidth)
        text.resize(kVerbWidth, ' ');
    return text + " " + std::string(operand);
}

// "  cloud link | upload | … | ls [PATH]     Cloud screen"
std::string usageLine(std::span<const Command> rows) {
    std::string line = "  ";
    if (!rows.front().group.empty())
        line += std::string(rows.front().group) + " ";
    for (size_t i = 0; i < rows.size(); ++i)
        line += (i ? " | " : "") + synopsis(rows[i], rows.size() == 1);
    const std::string_view help = rows.front().help;
    if (!help.empty())
        line.resize(line.size() < kHelpColumn ? kHelpColumn : line.size() + kWideGap, ' ');
    return line + std::string(help) + "\n";
}

std::string commandLines() {
    const std::span<const Command> table = commandTable();
    std::string lines;
    for (size_t first = 0, next = 0; first < table.size(); first = next) {
        for (next = first + 1; next < table.size() && table[next].group == table[first].group &&
                               table[next].help == table[first].help;
             ++next) {
        }
        lines += usageLine(table.subspan(first, next - first));
    }
    return lines;
}

std::string categoryLine() {
    std::string line = "CATEGORY:";
    for (std::string_view word : categoryWords())
        line += " " + std::string(word);
    return line + "\n";
}

} // namespace

const std::string& usageText() {
    static const std::string text =
        kSynopsis + commandLines() + categoryLine() + kCommandKeys + kOptions;
    return text;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "mobrix: %s\n%s", message.c_str(), usageText().c_str());
    return kUsage;
}

} // namespace cli
