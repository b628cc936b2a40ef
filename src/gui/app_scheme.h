#pragma once

#include <QString>

class QUrl;
class QWebEngineProfile;

// The application's own URL scheme, under which link answers come back: "cs-"
// followed by the app key.
inline constexpr const char* kAppScheme = "cs-q7w2k9x4m1z8r5t";

// Declares the scheme to the web engine. Must run before the application
// object exists, or the engine drops every navigation to it without asking.
void registerAppScheme();

// Gives the scheme a handler in the profile (which loads nothing). Without
// one, the engine drops the redirect that answers a sign-in form's POST,
// before any navigation decision is asked.
void installAppSchemeHandler(QWebEngineProfile* profile);

// A link answer as the engine hands it over, back to the text the service
// sent: parsing turns the host "1" (the API version) into the address
// 0.0.0.1, which the session would not take.
QString linkAnswerText(const QUrl& url);

// A URL fit for a log line: scheme, host and path only. Link answers carry the
// user's token and secret in their query, which never reach a log.
QString redactedUrl(const QString& url);
