#include "cloud_error_text.h"

#include "cs_error.h"
#include "printable_text.h"

#include <QNetworkReply>
#include <cstring>

namespace cloud {
namespace {

std::string serviceReason(const CSError& error) {
    std::string text = "HTTP " + std::to_string(error.code);
    if (std::string said = error.infoString("error"); !said.empty())
        text += ": " + printable(said);
    return text;
}

std::string clientReason(long code) {
    switch (code) {
    case CSErrorGenericError:
        return "incomplete transfer: the size received differs from the size announced";
    case CSErrorFileNotFound:
        return "not safeguarded yet";
    case CSErrorInsufficientDiskSpace:
        return "could not be written to the store";
    case CSErrorIllegalFileType:
        return "is a folder";
    case CSErrorInvalidResponse:
        return "unexpected answer from the service";
    default:
        return "cloud error " + std::to_string(code);
    }
}

std::string networkReason(long code) {
    switch (code) {
    case QNetworkReply::ConnectionRefusedError:
        return "connection refused";
    case QNetworkReply::RemoteHostClosedError:
        return "connection closed by the service";
    case QNetworkReply::HostNotFoundError:
        return "service host not found";
    case QNetworkReply::TimeoutError:
        return "no answer from the service (timed out)";
    case QNetworkReply::SslHandshakeFailedError:
        return "the service's certificate could not be validated";
    case QNetworkReply::OperationCanceledError:
        return "cancelled";
    default:
        return "transfer failed (network error " + std::to_string(code) + ")";
    }
}

} // namespace

bool isNotOnCloud(const CSError& error) {
    return error.is(CSErrorDomain, 404);
}

bool isMissingSource(const CSError& error) {
    return error.is(CSErrorDomain, CSErrorFileNotFound);
}

std::string describeError(const CSError& error) {
    if (error.domain == CSErrorDomain) {
        if (error.code == 404)
            return "not on the cloud";
        if (error.code == 401)
            return "not authorized (HTTP 401): link the account again";
        if (error.code == 507)
            return "the cloud account is full (HTTP 507)";
        if (error.code >= 1000 && error.code < 1100)
            return clientReason(error.code);
        return "refused by the service (" + serviceReason(error) + ")";
    }
    if (error.domain == CSNetworkErrorDomain)
        return networkReason(error.code);
    if (error.domain == CSPOSIXErrorDomain)
        return std::string("file error: ") + std::strerror(static_cast<int>(error.code));
    return error.domain + " error " + std::to_string(error.code);
}

} // namespace cloud
