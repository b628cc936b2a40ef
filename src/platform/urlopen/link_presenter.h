#pragma once
// Shows the service's link page for an account link. The graphical front end
// presents its web authorization screen; the default prints the address, for
// the command line and until a screen is set.

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

    static std::shared_ptr<LinkPresenter> shared();
    static void setShared(std::shared_ptr<LinkPresenter> presenter);
};

class PrintingLinkPresenter : public LinkPresenter {
public:
    explicit PrintingLinkPresenter(std::FILE* out = stdout) : out_(out) {}
    void presentLink(const QUrl& url, QObject* fromController, CSSession* session) override;

private:
    std::FILE* out_;
};

} // namespace platform
