#pragma once

#include "cli_arguments.h"
#include "result.h"

#include <optional>
#include <string>

class CloudViewController;
struct CSClientContext;

// The cloud side of the command line.
namespace cli {

class TerminalScreen;

// --service URL --service-ca FILE: one host for the three roles and only
// FILE's certificates as anchors, for this run; the reason when they cannot
// be used.
platform::Status applyServiceOptions(const CliArguments& arguments, CSClientContext& client);

// The account commands: `cloud link`, `cloud info`, `cloud ls [PATH]` and
// `open-url URL`. They run outside the alert loop: they ask nothing and show
// no closing alert. Each returns the exit status.
int linkCloudAccount(const CliArguments& arguments, CSClientContext& client,
                     const std::optional<std::string>&);
int showCloudAccount(const CliArguments&, CSClientContext& client,
                     const std::optional<std::string>&);
int listCloudFolder(const CliArguments&, CSClientContext& client,
                    const std::optional<std::string>& path);
int openLinkAnswer(const CliArguments& arguments, CSClientContext& client,
                   const std::optional<std::string>& answer);

// The first line of standard input that is not blank, trimmed; "" when none
// comes within a bounded amount of text.
std::string linkAnswerFromInput();

// Runs the event loop until the screen has an alert to show or the Cloud
// screen's requests have all completed. A command whose requests have not
// answered for a long while is given up as failed.
void waitForRequests(CloudViewController& controller, TerminalScreen& screen);

} // namespace cli
