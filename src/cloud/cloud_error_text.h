#pragma once

#include <string>

struct CSError;

// How a failed cloud request is told to the user: one short reason, never a
// URL, a query or a token.
namespace cloud {

// The service has no such file or folder (status 404).
bool isNotOnCloud(const CSError& error);
// The upload source does not exist locally (the client's code 1001).
bool isMissingSource(const CSError& error);

// "not on the cloud", "refused by the service (HTTP 500: Internal server error)",
// "not authorized (HTTP 401): link the account again", "connection closed by the service"...
std::string describeError(const CSError& error);

} // namespace cloud
