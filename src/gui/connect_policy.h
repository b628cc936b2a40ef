#pragma once

#include <QString>
#include <QUrl>
#include <string>
#include <vector>

struct CSServiceEndpoints;

// What the web authorization screen may show: pages of the service's web
// host, over https, and nothing else. The screen runs a web engine without
// its sandbox as root, so a page anywhere else is never loaded there, nor
// handed to another program.

// The scheme, host and port of the service's link pages.
struct ServiceOrigin {
    QString scheme = QStringLiteral("https");
    QString host;
    int port = 443;
    // DER of the certificates a service named for this run is trusted
    // through (its --service-ca file); empty for the service's own hosts,
    // whose certificates the web engine checks alone.
    std::vector<std::string> privateAnchors;

    // https and the web host (with its port) of the endpoints: the service's
    // own, or the one named for this run.
    static ServiceOrigin of(const CSServiceEndpoints& endpoints);
    // Same scheme, host (any letter case) and port.
    bool contains(const QUrl& url) const;
};

enum class ConnectDecision {
    LinkAnswer,  // the app scheme: hand it to the application delegate
    StoreLink,   // the store's scheme: the platform opens it
    LoadInPlace, // a service page of this screen's path
    PushScreen,  // a service page of another path: a screen of its own
    Refuse,      // anything else: loaded nowhere
};

// The decision for a main-frame navigation to `target` from the screen made
// for `screenUrl`.
ConnectDecision decideNavigation(const QUrl& target, const QUrl& screenUrl,
                                 const QString& appScheme, const ServiceOrigin& origin);

// Frames inside a page: service pages and empty frames only.
bool allowFrame(const QUrl& target, const ServiceOrigin& origin);

// "host" or "host:port" (the port when it is not the scheme's own), as shown
// above the page.
QString displayedHost(const QUrl& url);
