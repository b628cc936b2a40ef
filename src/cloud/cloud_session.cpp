#include "cloud_session.h"

#include "cs_service.h"
#include "cs_session.h"

namespace cloud {

std::shared_ptr<CSSession> makeSession(CSClientContext& context) {
    return std::make_shared<CSSession>(context, std::string(kAppKey), std::string(kAppSecret),
                                       std::string(kCSRootCloud));
}

std::shared_ptr<CSSession> sharedSession(CSClientContext& context) {
    if (!context.sharedSession)
        context.sharedSession = makeSession(context);
    return context.sharedSession;
}

} // namespace cloud
