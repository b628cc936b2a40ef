#include "connect_policy.h"

#include "cs_connect_controller.h"
#include "cs_service_endpoints.h"

ServiceOrigin ServiceOrigin::of(const CSServiceEndpoints& endpoints) {
    ServiceOrigin origin;
    origin.host = QString::fromStdString(endpoints.webHost);
    origin.port = endpoints.port ? *endpoints.port : 443;
    if (!endpoints.usePinnedRoots)
        origin.privateAnchors = endpoints.trustAnchors;
    return origin;
}

bool ServiceOrigin::contains(const QUrl& url) const {
    return url.isValid() && !host.isEmpty() &&
           url.scheme().compare(scheme, Qt::CaseInsensitive) == 0 &&
           url.host().compare(host, Qt::CaseInsensitive) == 0 &&
           url.port(scheme == QLatin1String("https") ? 443 : 80) == port;
}

ConnectDecision decideNavigation(const QUrl& target, const QUrl& screenUrl,
                                 const QString& appScheme, const ServiceOrigin& origin) {
    const QString scheme = target.scheme();
    if (scheme.compare(appScheme, Qt::CaseInsensitive) == 0)
        return ConnectDecision::LinkAnswer;
    if (scheme.compare(QLatin1String("itms-apps"), Qt::CaseInsensitive) == 0)
        return ConnectDecision::StoreLink;
    if (!origin.contains(target))
        return ConnectDecision::Refuse;
    if (CSConnectController::pathComponents(target) ==
        CSConnectController::pathComponents(screenUrl))
        return ConnectDecision::LoadInPlace;
    return ConnectDecision::PushScreen;
}

bool allowFrame(const QUrl& target, const ServiceOrigin& origin) {
    return target.scheme() == QLatin1String("about") || origin.contains(target);
}

QString displayedHost(const QUrl& url) {
    const QString host = url.host();
    const int port = url.port();
    const int own = url.scheme() == QLatin1String("https")  ? 443
                    : url.scheme() == QLatin1String("http") ? 80
                                                            : -1;
    return port < 0 || port == own ? host : QStringLiteral("%1:%2").arg(host).arg(port);
}
