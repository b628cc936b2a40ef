#pragma once
// Trust policy for the service: only the anchors of the endpoints (the pinned
// roots by default) are trusted, the host name is always checked, and each
// policy gets its own network manager, because Qt reuses a connection across
// requests of one manager without a new handshake.

#include <QList>
#include <QNetworkAccessManager>
#include <QSslCertificate>
#include <QSslConfiguration>

#include "cs_service_endpoints.h"

// The pinned roots as certificates, decoded once.
QList<QSslCertificate> CSRootCertificates();

// The anchors of the endpoints.
QList<QSslCertificate> CSTrustAnchors(const CSServiceEndpoints& endpoints);

// TLS 1.2 or later, peer verified, these anchors only.
QSslConfiguration CSTrustConfiguration(const QList<QSslCertificate>& anchors);

// The manager of the calling thread for this set of anchors; made on first
// use, parented to the application object.
QNetworkAccessManager* CSNetworkManagerFor(const QList<QSslCertificate>& anchors);

// Closes the idle kept-alive connections of every manager of this thread.
void CSCloseIdleConnections();
