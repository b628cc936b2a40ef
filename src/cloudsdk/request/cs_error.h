#pragma once
// The cloud client's error value: a domain, a code and the request's own
// information ("path", "sourcePath"...), plus what the service's error body said.

#include <string>

#include "cs_json_value.h"

// The client's own domain: HTTP statuses of failed answers and the codes below.
extern const char* const CSErrorDomain;
// Transport failures: a CSNetworkError code in this domain.
extern const char* const CSNetworkErrorDomain;
// File-system failures keep errno in this domain.
extern const char* const CSPOSIXErrorDomain;

enum CSErrorCode : long {
    CSErrorGenericError = 1000,          // downloaded size differs from the announced size
    CSErrorFileNotFound = 1001,          // upload source missing or unreadable
    CSErrorInsufficientDiskSpace = 1002, // download could not be written
    CSErrorIllegalFileType = 1003,       // upload source is a folder
    CSErrorInvalidResponse = 1004,       // answer of the wrong JSON shape
};

// Transport failures, numbered as the Qt network layer numbers them, which
// is what earlier versions of the client reported in this domain.
enum CSNetworkError : long {
    CSNetworkErrorConnectionRefused = 1,
    CSNetworkErrorRemoteHostClosed = 2,
    CSNetworkErrorHostNotFound = 3,
    CSNetworkErrorTimeout = 4,
    CSNetworkErrorOperationCanceled = 5,
    CSNetworkErrorSslHandshakeFailed = 6,
    CSNetworkErrorTemporaryNetworkFailure = 7,
    CSNetworkErrorTooManyRedirects = 10,
    CSNetworkErrorInsecureRedirect = 11,
    CSNetworkErrorUnknownNetwork = 99,
    CSNetworkErrorProxyConnectionRefused = 101,
    CSNetworkErrorProxyNotFound = 105,
    CSNetworkErrorProtocolUnknown = 301,
    CSNetworkErrorProtocolFailure = 399,
};

struct CSError {
    std::string domain;
    long code = 0;
    CSJsonValue userInfo = CSJsonValue::object();

    CSError() = default;
    CSError(std::string d, long c, CSJsonValue info = CSJsonValue::object())
        : domain(std::move(d)), code(c),
          userInfo(info.isObject() ? std::move(info) : CSJsonValue::object()) {}

    bool is(const char* d, long c) const { return code == c && domain == d; }
    // A text entry of userInfo, "" when missing.
    std::string infoString(std::string_view key) const;

    // "Error Domain=... Code=... UserInfo={...}". userInfo holds the request's
    // own values only (paths, revisions), never tokens or query strings.
    std::string description() const;

    bool operator==(const CSError& other) const {
        return code == other.code && domain == other.domain && userInfo == other.userInfo;
    }
};
