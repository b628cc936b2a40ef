#include "cloud_session.h"

#include "cs_service.h"
#include "cs_session.h"

namespace cloud {

std::shared_ptr<CSSession> makeSession() {
    return std::make_shared<CSSession>(std::string(kAppKey), std::string(kAppSecret),
                                       std::string(kCSRootCloud));
}

std::shared_ptr<CSSession> sharedSession() {
    if (auto session = CSSession::sharedSession())
        return session;
    CSSession::setSharedSession(makeSession());
    return CSSession::sharedSession();
}

} // namespace cloud
