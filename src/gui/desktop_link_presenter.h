#pragma once

#include "link_presenter.h"

class Screen;

// Until the window has its own web authorization screen, the service's link
// page opens in the desktop's browser. Its answer comes back through the
// desktop entry's scheme handler as a second launch, which forwards it here.
class DesktopLinkPresenter : public platform::LinkPresenter {
public:
    explicit DesktopLinkPresenter(Screen& screen) : screen_(screen) {}
    void presentLink(const QUrl& url, QObject* fromController, CSSession* session) override;

private:
    Screen& screen_;
};
