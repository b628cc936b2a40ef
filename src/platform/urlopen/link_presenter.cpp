#include "link_presenter.h"

namespace platform {
void PrintingLinkPresenter::presentLink(const QUrl& url, QObject*, CSSession*) {
    // The address is for the user to open; it is printed, never logged.
    std::fprintf(out_, "To link your cloud account, open this address in a browser:\n%s\n",
                 url.toString(QUrl::FullyEncoded).toUtf8().constData());
    std::fflush(out_);
}

} // namespace platform
