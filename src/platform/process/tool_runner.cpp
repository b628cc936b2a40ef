#include "tool_runner.h"

namespace {

std::string firstLine(const std::string& text) {
    auto begin = text.find_first_not_of("\r\n \t");
    if (begin == std::string::npos)
        return {};
    auto end = text.find_first_of("\r\n", begin);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

} // namespace

std::string ToolRun::commandLine() const {
    std::string line = launchPath;
    for (const auto& argument : arguments) {
        line += ' ';
        line += argument;
    }
    return line;
}

std::string ToolOutcome::describe() const {
    switch (kind) {
    case Kind::FailedToStart:
        return "could not start" + (startError.empty() ? std::string() : " (" + startError + ")");
    case Kind::Crashed:
        return "was killed by a signal";
    case Kind::Exited:
        break;
    }
    std::string text = "exited with status " + std::to_string(exitCode);
    if (auto detail = firstLine(errorOutput); !detail.empty())
        text += " (" + detail + ")";
    return text;
}

bool ToolOutcome::ranOutOfSpace(const std::string& launchPath) const {
    if (kind != Kind::Exited || exitCode == 0)
        return false;
    constexpr int kZipWriteError = 14;
    constexpr int kUnzipDiskFull = 50;
    if (launchPath.ends_with("/zip") && exitCode == kZipWriteError)
        return true;
    if (launchPath.ends_with("/unzip") && exitCode == kUnzipDiskFull)
        return true;
    return errorOutput.find("No space left on device") != std::string::npos;
}
