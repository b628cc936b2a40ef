#pragma once

#include "child_setup.h"

#include <string>
#include <vector>

// One external program run: absolute launch path, arguments, and the fixed
// surroundings it runs in (working folder, environment, no standard input).
struct ToolRun {
    std::string launchPath;
    std::vector<std::string> arguments;
    std::string workingFolder = "/";
    std::vector<std::pair<std::string, std::string>> environment;
    bool captureOutput = false; // keep standard output (listings); otherwise it is discarded
    // User, working folder by descriptor, standard output and descriptors
    // handed to the tool (working folder then taken from here, not by name).
    ChildSetup child;

    std::string commandLine() const;
};

// What became of a tool run. Standard error is kept (bounded) so that a
// failure can say why.
struct ToolOutcome {
    enum class Kind { Exited, Crashed, FailedToStart };
    Kind kind = Kind::Exited;
    int exitCode = 0;
    std::string output;      // standard output, when captured
    std::string errorOutput; // the tail of standard error
    std::string startError;  // why the tool could not start

    // Exit code 0 only, unless the caller accepts more (unzip: 0 and 1).
    bool succeeded(int highestSuccessCode = 0) const {
        return kind == Kind::Exited && exitCode >= 0 && exitCode <= highestSuccessCode;
    }
    // "exited with status 1 (cp: cannot stat …)", "was killed by a signal", "could not start (…)"
    std::string describe() const;
    // The tool said it ran out of room on the device: "No space left on
    // device" on its standard error, or the zip tool's write-error status.
    bool ranOutOfSpace(const std::string& launchPath) const;
};

class ToolRunner {
public:
    virtual ~ToolRunner() = default;
    // Starts the tool and returns once it has exited. The caller's event loop
    // keeps running meanwhile.
    virtual ToolOutcome run(const ToolRun& run) = 0;
};
