#pragma once

#include "connect_policy.h"
#include "screen.h"

#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>
#include <QWidget>
#include <functional>
#include <string>

class CSNetworkRequestDelegate;
class CSSession;
class ConnectNavigation;
class ActivitySpinner;
class QWebEngineCertificateError;
class QWebEngineLoadingInfo;

// The web authorization screen: the service's link page in an embedded web
// view, shown in a navigation screen presented over the program. Only https
// pages of the service's web host are shown (connect_policy.h): pages of this
// screen's path load in place, pages of another path open as pushed screens,
// and any other page is refused. The moment a page sends the browser to the
// application's own scheme, that address goes to the application delegate
// as a link answer and the screen goes away. Load failures become alerts
// with a retry.
class CSConnectController : public QWidget, public AlertDelegate {
public:
    // application:handleOpenURL: of the application delegate.
    using OpenUrlHandler = std::function<bool(const std::string& url)>;

    struct Context {
        CSSession* session = nullptr;
        QWidget* rootController = nullptr; // the presenting screen
        Screen* screen = nullptr;          // shows the error alerts
        OpenUrlHandler openUrlHandler;
        // Where pages may come from; empty: the endpoints in use.
        ServiceOrigin origin;
    };

    // initWithUrlRequest:fromController:session: (the request is requestForUrl:).
    CSConnectController(const QUrl& url, Context context);
    ~CSConnectController() override;

    // Cache first, then the network; a load that takes longer fails as timed out.
    static constexpr int kRequestTimeoutMs = 20000;

    void loadRequest();
    // Hands the URL to the application delegate; false when nobody takes links.
    bool openUrl(const QString& url);
    void cancel() { cancelAnimated(true); }
    void cancelAnimated(bool animated);
    void dismiss() { dismissAnimated(true); }
    void dismissAnimated(bool animated);

    // The navigation decision for a main-frame navigation.
    bool shouldStartLoad(const QUrl& url, bool userClicked);
    // Frames inside the page: only service pages.
    bool shouldLoadFrame(const QUrl& url) const { return allowFrame(url, context_.origin); }
    // The host of the page on display (before the first load, of the page asked for).
    QString pageHost() const;

    void alertView(const Alert& alert, int clickedButtonAtIndex) override;

    const QUrl& url() const { return url_; }
    bool hasLoaded() const { return hasLoaded_; }
    QWebEngineView* webView() const { return webView_; }
    QWidget* activityIndicator() const;
    const Alert* shownAlert() const { return alertShown_ ? &alertView_ : nullptr; }
    ConnectNavigation* navigation() const;

    // csPathComponents
    static QStringList pathComponents(const QUrl& url);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The session's observer of network activity, when any.
    CSNetworkRequestDelegate* networkActivity() const;
    void viewDidLoad();
    void pageStarted();
    void pageFinished(bool ok);
    void loadingChanged(const QWebEngineLoadingInfo& info);
    void loadFailed(int code, const QString& description);
    // A certificate the web engine does not trust: see connect_certificate.h.
    void certificateError(const QWebEngineCertificateError& error);
    void placeIndicator();
    void pushScreen(const QUrl& url);

    QUrl url_;
    Context context_;
    QPointer<QWebEngineView> webView_;
    ActivitySpinner* indicator_ = nullptr;
    QTimer timeout_;
    bool viewLoaded_ = false;
    bool hasLoaded_ = false;
    bool refusedNavigation_ = false;
    bool failureReported_ = false;
    Alert alertView_;
    bool alertShown_ = false;
};
