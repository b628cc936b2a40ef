#include "link_presenter.h"

#include <mutex>

namespace platform {
namespace {

std::mutex& sharedMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<LinkPresenter>& sharedPresenter() {
    static std::shared_ptr<LinkPresenter> presenter;
    return presenter;
}

} // namespace

std::shared_ptr<LinkPresenter> LinkPresenter::shared() {
    std::lock_guard lock(sharedMutex());
    if (!sharedPresenter())
        sharedPresenter() = std::make_shared<PrintingLinkPresenter>();
    return sharedPresenter();
}

void LinkPresenter::setShared(std::shared_ptr<LinkPresenter> presenter) {
    std::lock_guard lock(sharedMutex());
    sharedPresenter() = std::move(presenter);
}

void PrintingLinkPresenter::presentLink(const QUrl& url, QObject*, CSSession*) {
    // The address is for the user to open; it is printed, never logged.
    std::fprintf(out_, "To link your cloud account, open this address in a browser:\n%s\n",
                 url.toString(QUrl::FullyEncoded).toUtf8().constData());
    std::fflush(out_);
}

} // namespace platform
