#include "web_link_presenter.h"

#include "connect_navigation.h"

WebLinkPresenter::WebLinkPresenter(QWidget* window, Screen& screen,
                                   CSConnectController::OpenUrlHandler openUrlHandler)
    : window_(window), screen_(screen), openUrlHandler_(std::move(openUrlHandler)) {}

void WebLinkPresenter::presentLink(const QUrl& url, QObject*, CSSession* session) {
    // A new link replaces a screen still showing an older one.
    if (presented_)
        presented_->dismissAnimated(false);
    auto* navigation = new ConnectNavigation(window_);
    auto* controller = new CSConnectController(
        url, CSConnectController::Context{session, window_, &screen_, openUrlHandler_, origin_});
    navigation->push(controller, QStringLiteral("Cloud"), true);
    presented_ = navigation;
    navigation->open();
}
