#pragma once
// Shows the service's link page for an account link. The graphical front end
// presents its web authorization screen; the command line prints the address.

#include <QObject>
#include <QUrl>
#include <cstdio>
#include <memory>

class CSSession;

namespace platform {

class LinkPresenter {
public:
    virtual ~LinkPresenter() = default;
    // `fromController` is the presenting screen (may be null); `session` is the
    // session that asked for the link.
    virtual void presentLink(const QUrl& url, QObject* fromController, CSSession* session) = 0;
};

class PrintingLinkPresenter : public LinkPresenter {
public:
    explicit PrintingLinkPresenter(std::FILE* out = stdout) : out_(out) {}
    void presentLink(const QUrl& url, QObject* fromController, CSSession* session) override;

private:
    std::FILE* out_;
};

} // namespace platform
