#pragma once
// What the cloud client takes from its surroundings: where it talks to, where
// the OAuth component keeps its items, how it opens another application and
// shows a link page, who watches the network activity, and the shared
// session. Each front end makes one at its start and hands it down to what it
// makes; tests make their own. It outlives every session made with it.
//
// The log is not here: the data code (JSON, DER) logs too and stays free of
// any context, so its sink is redirected for a scope (cs_log.h).

#include <memory>

#include "cs_service_endpoints.h"

class CSNetworkRequestDelegate;
class CSSession;
class OAuthKeychain;
namespace platform {
class LinkPresenter;
class UrlOpener;
} // namespace platform

struct CSClientContext {
    // The service's own hosts and pinned roots, an in-memory keychain, the
    // desktop's URL handlers, the printed link page, no observer, no session.
    CSClientContext();
    ~CSClientContext();
    CSClientContext(const CSClientContext&) = delete;
    CSClientContext& operator=(const CSClientContext&) = delete;

    // The endpoints every new request uses.
    CSServiceEndpoints endpoints;
    // Where the credential stores keep their items.
    std::shared_ptr<OAuthKeychain> keychain;
    std::shared_ptr<platform::UrlOpener> urlOpener;
    std::shared_ptr<platform::LinkPresenter> linkPresenter;
    // Told when each request starts and stops; not owned, null for none.
    CSNetworkRequestDelegate* networkActivity = nullptr;
    // sharedSession / setSharedSession: owns its session; empty at start.
    std::shared_ptr<CSSession> sharedSession;
};
