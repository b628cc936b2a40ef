#include "cs_client_context.h"

#include "cs_session.h"
#include "link_presenter.h"
#include "oauth_keychain.h"
#include "url_opener.h"

CSClientContext::CSClientContext()
    : endpoints(CSServiceEndpoints::defaults()), keychain(std::make_shared<OAuthMemoryKeychain>()),
      urlOpener(std::make_shared<platform::DesktopUrlOpener>()),
      linkPresenter(std::make_shared<platform::PrintingLinkPresenter>()) {}

CSClientContext::~CSClientContext() = default;
