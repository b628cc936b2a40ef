#pragma once

#include "result.h"
#include "screen.h"
#include "store_checks.h"
#include "tool_runner.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CommandEnvironment;
class DeviceRoot;

// The two forms of waiting for a tool.
enum class Wait {
    Plain,        // run and wait
    InputBlocked, // run and wait, user input ignored until the tool exits
};

// One run of one command: runs its tools with fixed surroundings, collects
// what failed, and words the closing message from it.
class CommandContext {
public:
    CommandContext(CommandEnvironment& environment, Screen& screen);

    const DeviceRoot& root() const;
    // Host path of a device path.
    std::string path(std::string_view devicePath) const;

    // Runs a tool by its absolute launch path. On failure records
    // "<subject>: <tool> <what happened>" and returns false. Exit codes up to
    // highestSuccessCode count as success.
    bool run(std::string_view subject, std::string_view tool, std::vector<std::string> arguments,
             Wait wait, int highestSuccessCode = 0, std::string workingFolder = "/");
    // The same, with the child set up as given: another user, a working
    // folder and paths given by descriptor.
    bool runWith(std::string_view subject, std::string_view tool,
                 std::vector<std::string> arguments, Wait wait, const ChildSetup& child,
                 int highestSuccessCode = 0);
    // The same, keeping the tool's standard output; nothing on failure.
    std::optional<std::string> runForOutput(std::string_view subject, std::string_view tool,
                                            std::vector<std::string> arguments,
                                            const ChildSetup& child = {});

    // The store folders this command has opened and checked.
    runtime::store_checks::StoreFolders& storeFolders() { return storeFolders_; }

    // One more variable for the environment of the tools run from now on.
    void addToolEnvironment(std::string name, std::string value);

    // Records a failure line "<subject>: <reason>" (subject may be empty).
    void fail(std::string_view subject, std::string_view reason);
    // Records a line that is not a failure (a category passed over).
    void note(std::string line);
    // True when a step succeeded; otherwise records its error as a failure line.
    template <typename T> bool check(std::string_view subject, const platform::Result<T>& result) {
        if (result)
            return true;
        fail(subject, result.error().message);
        return false;
    }

    bool failed() const { return !failures_.empty(); }
    const std::vector<std::string>& failures() const { return failures_; }
    AlertOutcome outcome() const {
        return failed() ? AlertOutcome::Failed : AlertOutcome::Succeeded;
    }

    // The command's own text when all went well; otherwise the same text with
    // "done" turned into "failed" ("Successful !" into "Failed !"), then one
    // line per failure. Notes follow either way.
    std::string closingMessage(std::string_view successText) const;

private:
    ToolOutcome launch(std::string_view tool, std::vector<std::string> arguments,
                       std::string workingFolder, bool captureOutput, Wait wait,
                       const ChildSetup& child);
    void failTool(std::string_view subject, std::string_view tool, const ToolOutcome& outcome);

    CommandEnvironment& environment_;
    Screen& screen_;
    std::vector<std::pair<std::string, std::string>> toolEnvironment_;
    std::vector<std::string> failures_;
    std::vector<std::string> notes_;
    runtime::store_checks::StoreFolders storeFolders_;
};

std::string failedText(std::string_view successText);
