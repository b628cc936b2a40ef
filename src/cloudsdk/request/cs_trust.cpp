#include "cs_trust.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QMap>
#include <QPointer>
#include <QThread>
#include <mutex>

#include "pinned_roots.h"

QList<QSslCertificate> CSRootCertificates() {
    static std::once_flag once;
    static QList<QSslCertificate> roots;
    std::call_once(once, [] {
        for (const auto& der : CSPinnedRootCertificates()) {
            QSslCertificate cert(QByteArray(der.data(), static_cast<qsizetype>(der.size())),
                                 QSsl::Der);
            if (!cert.isNull())
                roots.append(cert);
        }
    });
    return roots;
}

QList<QSslCertificate> CSTrustAnchors(const CSServiceEndpoints& endpoints) {
    if (endpoints.usePinnedRoots)
        return CSRootCertificates();
    QList<QSslCertificate> anchors;
    for (const auto& der : endpoints.trustAnchors) {
        QSslCertificate cert(QByteArray(der.data(), static_cast<qsizetype>(der.size())), QSsl::Der);
        if (!cert.isNull())
            anchors.append(cert);
    }
    return anchors;
}

QSslConfiguration CSTrustConfiguration(const QList<QSslCertificate>& anchors) {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setProtocol(QSsl::TlsV1_2OrLater);
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // Only these anchors: the system's roots are never consulted.
    config.setCaCertificates(anchors);
    return config;
}

namespace {

// One map per thread: a manager belongs to the thread that made it.
QMap<QByteArray, QPointer<QNetworkAccessManager>>& threadManagers() {
    thread_local QMap<QByteArray, QPointer<QNetworkAccessManager>> managers;
    return managers;
}

} // namespace

void CSCloseIdleConnections() {
    for (const auto& manager : threadManagers()) {
        if (manager)
            manager->clearConnectionCache();
    }
}

QNetworkAccessManager* CSNetworkManagerFor(const QList<QSslCertificate>& anchors) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const auto& cert : anchors)
        hash.addData(cert.toDer());
    QPointer<QNetworkAccessManager>& slot = threadManagers()[hash.result()];
    if (!slot) {
        QObject* parent = QCoreApplication::instance();
        if (parent && parent->thread() != QThread::currentThread())
            parent = nullptr;
        slot = new QNetworkAccessManager(parent);
        slot->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    }
    return slot.data();
}
