#pragma once

#include "cli_arguments.h"

#include <string>

class CloudViewController;
struct CSClientContext;
class TerminalScreen;

// The cloud side of the command line.
namespace cli_cloud {

// --service URL --service-ca FILE: one host for the three roles and only
// FILE's certificates as anchors, put into the client context for this run.
// False, with the reason, when they cannot be used.
bool applyServiceOptions(const CliArguments& arguments, CSClientContext& client,
                         std::string& error);

// `cloud link`, `cloud info`, `cloud ls [PATH]` and `open-url [URL]` (the URL
// read from standard input when not given) run outside
// the alert loop: they ask nothing and show no closing alert.
bool isAccountCommand(const std::vector<std::string>& words);
// Runs one of them; returns the exit status (usage errors included).
int runAccountCommand(const CliArguments& arguments, CSClientContext& client);

// Runs the event loop until the screen has an alert to show or the Cloud
// screen's requests have all completed. A command whose requests have not
// answered for a long while is given up as failed.
void waitForRequests(CloudViewController& controller, TerminalScreen& screen);

} // namespace cli_cloud
