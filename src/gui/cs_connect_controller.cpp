#include "cs_connect_controller.h"

#include "activity_spinner.h"
#include "app_scheme.h"
#include "connect_certificate.h"
#include "connect_navigation.h"
#include "cs_log.h"
#include "cs_network_activity.h"
#include "cs_service.h"
#include "cs_service_endpoints.h"
#include "cs_session.h"

#include <QDesktopServices>
#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QUrlQuery>
#include <QWebEngineCertificateError>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

constexpr int kIndicatorRise = 20;
constexpr int kFadeMs = 250;

// Chromium's network error codes that the alerts tell apart.
enum NetError {
    kAborted = -3,
    kTimedOut = -7,
    kConnectionRefused = -102,
    kConnectionFailed = -104,
    kNameNotResolved = -105,
    kInternetDisconnected = -106,
    kAddressUnreachable = -109,
    kConnectionTimedOut = -118,
};

// The platform's URL error codes of the same failures.
enum UrlError {
    kUrlCancelled = -999,
    kUrlTimedOut = -1001,
    kUrlCannotConnect = -1004,
    kUrlNotConnected = -1009,
    kUrlUnknown = -1,
};

int urlErrorOf(int netError) {
    switch (netError) {
    case kAborted:
        return kUrlCancelled;
    case kTimedOut:
    case kConnectionTimedOut:
        return kUrlTimedOut;
    case kConnectionRefused:
    case kConnectionFailed:
    case kNameNotResolved:
    case kAddressUnreachable:
        return kUrlCannotConnect;
    case kInternetDisconnected:
        return kUrlNotConnected;
    default:
        return kUrlUnknown;
    }
}

// Asks the screen about every main-frame navigation.
class ConnectPage : public QWebEnginePage {
public:
    ConnectPage(CSConnectController* controller, QObject* parent)
        : QWebEnginePage(parent), controller_(controller) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (!isMainFrame)
            return controller_->shouldLoadFrame(url);
        return controller_->shouldStartLoad(url, type == NavigationTypeLinkClicked);
    }

private:
    CSConnectController* controller_;
};

QString appScheme(CSSession* session) {
    return session ? QString::fromStdString(session->appScheme()) : QString::fromLatin1(kAppScheme);
}

} // namespace

CSNetworkRequestDelegate* CSConnectController::networkActivity() const {
    return context_.session ? context_.session->context().networkActivity : nullptr;
}

CSConnectController::CSConnectController(const QUrl& url, Context context)
    : url_(url), context_(std::move(context)) {
    if (context_.origin.host.isEmpty())
        context_.origin = ServiceOrigin::of(context_.session ? context_.session->context().endpoints
                                                             : CSServiceEndpoints::defaults());
    setObjectName(QStringLiteral("connectController"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor::fromRgbF(241 / 255.0, 249 / 255.0, 1.0));
    setPalette(palette);
    timeout_.setSingleShot(true);
    timeout_.setInterval(kRequestTimeoutMs);
    connect(&timeout_, &QTimer::timeout, this, [this] {
        if (webView_)
            webView_->stop();
        loadFailed(kUrlTimedOut, QStringLiteral("The request timed out."));
    });
}

CSConnectController::~CSConnectController() {
    if (webView_)
        webView_->stop();
}

ConnectNavigation* CSConnectController::navigation() const {
    QWidget* up = parentWidget();
    while (up && !dynamic_cast<ConnectNavigation*>(up))
        up = up->parentWidget();
    return static_cast<ConnectNavigation*>(up);
}

QWidget* CSConnectController::activityIndicator() const {
    return indicator_;
}

void CSConnectController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!viewLoaded_) {
        viewLoaded_ = true;
        viewDidLoad();
    }
}

void CSConnectController::viewDidLoad() {
    auto* spinner = new ActivitySpinner(this);
    spinner->setObjectName(QStringLiteral("connectIndicator"));
    spinner->setColor(Qt::gray);
    spinner->resize(ActivitySpinner::kSide, ActivitySpinner::kSide);
    spinner->startAnimating();
    spinner->show();
    indicator_ = spinner;
    placeIndicator();

    webView_ = new QWebEngineView(this);
    webView_->setPage(new ConnectPage(this, webView_));
    installAppSchemeHandler(webView_->page()->profile());
    webView_->settings()->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    webView_->setGeometry(rect());
    webView_->hide();
    connect(webView_, &QWebEngineView::loadStarted, this, &CSConnectController::pageStarted);
    connect(webView_, &QWebEngineView::loadFinished, this, &CSConnectController::pageFinished);
    connect(webView_->page(), &QWebEnginePage::loadingChanged, this,
            &CSConnectController::loadingChanged);
    connect(webView_->page(), &QWebEnginePage::certificateError, this,
            &CSConnectController::certificateError);
    connect(webView_, &QWebEngineView::urlChanged, this, [this] {
        if (ConnectNavigation* stack = navigation())
            stack->pageHostChanged(this);
    });
    loadRequest();
}

void CSConnectController::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (webView_)
        webView_->setGeometry(rect());
    placeIndicator();
}

void CSConnectController::placeIndicator() {
    if (!indicator_)
        return;
    indicator_->move((width() - indicator_->width()) / 2,
                     height() / 2 - kIndicatorRise - indicator_->height() / 2);
}

void CSConnectController::loadRequest() {
    if (!webView_)
        return;
    failureReported_ = false;
    webView_->load(url_);
}

void CSConnectController::pageStarted() {
    refusedNavigation_ = false;
    failureReported_ = false;
    timeout_.start();
    CSNetworkRequestStarted(networkActivity());
}

void CSConnectController::pageFinished(bool ok) {
    timeout_.stop();
    if (!ok)
        return; // failures are told by loadingChanged
    webView_->page()->runJavaScript(
        QStringLiteral("document.documentElement.style.webkitTouchCallout='none';"));
    webView_->page()->runJavaScript(
        QStringLiteral("document.documentElement.style.webkitUserSelect='none';"));
    webView_->setGeometry(rect());
    if (!webView_->isVisible()) {
        auto* effect = new QGraphicsOpacityEffect(webView_);
        webView_->setGraphicsEffect(effect);
        auto* fade = new QPropertyAnimation(effect, "opacity", effect);
        fade->setDuration(kFadeMs);
        fade->setEasingCurve(QEasingCurve::InQuad);
        fade->setStartValue(0.0);
        fade->setEndValue(1.0);
        connect(fade, &QPropertyAnimation::finished, webView_,
                [view = webView_] { view->setGraphicsEffect(nullptr); });
        webView_->show();
        fade->start();
    }
    if (indicator_) {
        indicator_->stopAnimating();
        indicator_->hide();
    }
    hasLoaded_ = true;
    CSNetworkRequestStopped(networkActivity());
}

void CSConnectController::loadingChanged(const QWebEngineLoadingInfo& info) {
    if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus)
        return;
    timeout_.stop();
    // A navigation this screen refused ends as a failed load: no error.
    if (refusedNavigation_) {
        refusedNavigation_ = false;
        CSNetworkRequestStopped(networkActivity());
        return;
    }
    const int code = info.errorDomain() == QWebEngineLoadingInfo::ConnectionErrorDomain ||
                             info.errorDomain() == QWebEngineLoadingInfo::InternalErrorDomain
                         ? urlErrorOf(info.errorCode())
                         : kUrlUnknown;
    loadFailed(code, info.errorString());
}

void CSConnectController::certificateError(const QWebEngineCertificateError& error) {
    std::vector<std::string> chain;
    for (const QSslCertificate& certificate : error.certificateChain())
        chain.push_back(certificate.toDer().toStdString());
    QWebEngineCertificateError answer = error;
    if (acceptServiceCertificate(error.url(), chain, context_.origin)) {
        answer.acceptCertificate();
        return;
    }
    // The host only: the rest of an address may carry secrets.
    CSLogWarning("CloudSDK: refused the certificate of %s", qPrintable(displayedHost(error.url())));
    answer.rejectCertificate();
}

void CSConnectController::loadFailed(int code, const QString& description) {
    if (failureReported_)
        return;
    failureReported_ = true;
    CSNetworkRequestStopped(networkActivity());
    if (code == kUrlCancelled)
        return;
    CSLogWarning("CloudSDK: error loading CSConnectController - %s (%d)",
                 qPrintable(description.left(80)), code);

    std::string title = "Unknown Error Occurred";
    std::string message = "There was an error loading Cloud. Please try again.";
    if (code == kUrlNotConnected) {
        title = "No internet connection";
        message = "Try again once you have an internet connection.";
    } else if (code == kUrlTimedOut || code == kUrlCannotConnect) {
        title = "Internet connection lost";
        message = "Please try again.";
    }
    alertView_ = Alert{};
    alertView_.title = title;
    alertView_.message = message;
    if (hasLoaded_) {
        alertView_.cancelButton = "OK";
    } else {
        alertView_.cancelButton = "Cancel";
        alertView_.otherButtons = {"Retry"};
        alertView_.kind = AlertKind::Confirmation;
    }
    alertShown_ = true;
    if (context_.screen)
        context_.screen->showAlert(alertView_, hasLoaded_ ? nullptr : this);
}

void CSConnectController::alertView(const Alert&, int clickedButtonAtIndex) {
    alertShown_ = false;
    if (clickedButtonAtIndex == 1) {
        loadRequest();
        return;
    }
    ConnectNavigation* stack = navigation();
    if (stack && stack->depth() >= 2 && stack->top() == this)
        stack->pop();
    else
        cancel();
}

bool CSConnectController::shouldStartLoad(const QUrl& url, bool userClicked) {
    (void)userClicked;
    switch (decideNavigation(url, url_, appScheme(context_.session), context_.origin)) {
    case ConnectDecision::LinkAnswer: {
        const bool taken = openUrl(linkAnswerText(url));
        if (taken && context_.session && !context_.session->isLinked())
            CSLogError("CloudSDK: credentials not saved. Make sure you call -[CSSession "
                       "handleOpenUrl:] in your app delegate's "
                       "application:openURL:sourceApplication:annotation: method");
        refusedNavigation_ = true;
        dismiss();
        return false;
    }
    case ConnectDecision::StoreLink:
        QDesktopServices::openUrl(url);
        refusedNavigation_ = true;
        cancelAnimated(false);
        return false;
    case ConnectDecision::LoadInPlace:
        return true;
    case ConnectDecision::PushScreen:
        pushScreen(url);
        refusedNavigation_ = true;
        return false;
    case ConnectDecision::Refuse:
        break;
    }
    // The host only: the rest of an address may carry secrets.
    CSLogWarning("CloudSDK: refused a page outside the service (%s)",
                 qPrintable(url.scheme() + QStringLiteral("://") + displayedHost(url)));
    refusedNavigation_ = true;
    return false;
}

// Another path: a screen of its own, pushed.
void CSConnectController::pushScreen(const QUrl& url) {
    ConnectNavigation* stack = navigation();
    if (!stack)
        return;
    const QString embedTitle =
        QUrlQuery(url).queryItemValue(QStringLiteral("embed_title"), QUrl::FullyDecoded);
    auto* pushed = new CSConnectController(url, context_);
    stack->push(pushed, embedTitle.isEmpty() ? stack->title() : embedTitle, false);
}

QString CSConnectController::pageHost() const {
    const QUrl shown = webView_ && !webView_->url().isEmpty() ? webView_->url() : url_;
    return displayedHost(shown);
}

bool CSConnectController::openUrl(const QString& url) {
    if (!context_.openUrlHandler) {
        CSLogError("CloudSDK: app delegate does not implement "
                   "application:openURL:sourceApplication:annotation:");
        return false;
    }
    // Whatever the delegate answers, the address has been handed over.
    context_.openUrlHandler(url.toStdString());
    return true;
}

void CSConnectController::cancelAnimated(bool animated) {
    // Dismissing deletes the screens; keep what the cancel address needs.
    const QString scheme = appScheme(context_.session);
    OpenUrlHandler handler = context_.openUrlHandler;
    dismissAnimated(animated);
    const QString cancelUrl =
        QStringLiteral("%1://%2/cancel")
            .arg(scheme, QString::fromUtf8(kCSCloudAPIVersion.data(),
                                           static_cast<qsizetype>(kCSCloudAPIVersion.size())));
    if (handler)
        handler(cancelUrl.toStdString());
    else
        CSLogError("CloudSDK: app delegate does not implement "
                   "application:openURL:sourceApplication:annotation:");
}

void CSConnectController::dismissAnimated(bool animated) {
    timeout_.stop();
    if (webView_)
        webView_->stop();
    if (ConnectNavigation* stack = navigation())
        stack->dismissAnimated(animated);
}

QStringList CSConnectController::pathComponents(const QUrl& url) {
    QStringList components;
    const QString path = url.path();
    if (path.startsWith(QLatin1Char('/')))
        components << QStringLiteral("/");
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        components << part;
    return components;
}
