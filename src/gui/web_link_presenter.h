#pragma once

#include "cs_connect_controller.h"
#include "link_presenter.h"

#include <QPointer>

#include "connect_navigation.h"

// Presents the web authorization screen, in its navigation screen, modally
// over the window, for every account link that goes through the web.
class WebLinkPresenter : public platform::LinkPresenter {
public:
    WebLinkPresenter(QWidget* window, Screen& screen,
                     CSConnectController::OpenUrlHandler openUrlHandler);

    void presentLink(const QUrl& url, QObject* fromController, CSSession* session) override;
    ConnectNavigation* presented() const { return presented_; }
    // Where link pages may come from; by default the endpoints in use. Tests
    // serving pages on a loopback port say so here.
    void setServiceOrigin(ServiceOrigin origin) { origin_ = std::move(origin); }

private:
    QPointer<QWidget> window_;
    Screen& screen_;
    CSConnectController::OpenUrlHandler openUrlHandler_;
    QPointer<ConnectNavigation> presented_;
    ServiceOrigin origin_;
};
