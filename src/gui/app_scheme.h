#pragma once

#include <QString>

// The application's own URL scheme, under which link answers come back: "cs-"
// followed by the app key.
inline constexpr const char* kAppScheme = "cs-q7w2k9x4m1z8r5t";

// Declares the scheme to the web engine. Must run before the application
// object exists, or the engine drops every navigation to it without asking.
void registerAppScheme();

// A URL fit for a log line: scheme, host and path only. Link answers carry the
// user's token and secret in their query, which never reach a log.
QString redactedUrl(const QString& url);
