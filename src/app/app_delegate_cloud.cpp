#include "app_delegate.h"

#include "cloud_session.h"
#include "cs_session.h"
#include "url_opener.h"

#include <QString>
#include <cstdio>

bool AppDelegate::handleOpenURL(const std::string& url) {
    // At a fresh start no session exists yet: making it here lets an answer
    // from the service's app, which restarts the program, be taken.
    auto session = cloud::sharedSession(client_);
    if (!session->handleOpenURL(url))
        return false;
    if (session->isLinked())
        std::fprintf(stderr, "App linked successfully!\n");
    return true;
}

bool AppDelegate::webView(const std::string& requestUrl, int navigationType) {
    constexpr int kLinkClicked = 0;
    if (navigationType != kLinkClicked)
        return true;
    client_.urlOpener->openURL(QString::fromStdString(requestUrl));
    return false;
}
