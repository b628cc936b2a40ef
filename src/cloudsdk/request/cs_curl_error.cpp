#include "cs_curl_error.h"

bool CSIsTrustFailure(CURLcode result) {
    switch (result) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return true;
    default:
        return false;
    }
}

CSNetworkError CSNetworkErrorFor(CURLcode result) {
    if (CSIsTrustFailure(result))
        return CSNetworkErrorSslHandshakeFailed;
    switch (result) {
    case CURLE_COULDNT_CONNECT:
        return CSNetworkErrorConnectionRefused;
    case CURLE_COULDNT_RESOLVE_HOST:
        return CSNetworkErrorHostNotFound;
    case CURLE_COULDNT_RESOLVE_PROXY:
        return CSNetworkErrorProxyNotFound;
    case CURLE_OPERATION_TIMEDOUT:
        return CSNetworkErrorTimeout;
    case CURLE_ABORTED_BY_CALLBACK:
        return CSNetworkErrorOperationCanceled;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        return CSNetworkErrorRemoteHostClosed;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return CSNetworkErrorProtocolUnknown;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_HTTP3:
    case CURLE_BAD_CONTENT_ENCODING:
        return CSNetworkErrorProtocolFailure;
    case CURLE_TOO_MANY_REDIRECTS:
        return CSNetworkErrorTooManyRedirects;
    default:
        return CSNetworkErrorUnknownNetwork;
    }
}
