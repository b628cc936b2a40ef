#include "desktop_link_presenter.h"

#include "command_frame.h"
#include "screen.h"
#include "url_opener.h"

void DesktopLinkPresenter::presentLink(const QUrl& url, QObject*, CSSession*) {
    const QString address = url.toString(QUrl::FullyEncoded);
    if (platform::UrlOpener::shared()->openURL(address)) {
        screen_.showNotice("The link page opens in your browser. Allow the access there to "
                           "finish linking.");
        return;
    }
    screen_.showAlert(closingAlert("Link Cloud Account",
                                   "No browser could open the link page. Open this address in "
                                   "one to link your account:\n" +
                                       address.toStdString(),
                                   AlertOutcome::Failed),
                      nullptr);
}
