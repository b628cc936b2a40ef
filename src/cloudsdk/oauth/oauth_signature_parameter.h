#pragma once
// The "oauth_signature" parameter: PLAINTEXT or HMAC-SHA1.

#include "url_request_parameter.h"

#include <string>
#include <string_view>

class OAuthURLRequest;

inline constexpr char kOAuthSignatureMethodPlaintext[] = "PLAINTEXT";
inline constexpr char kOAuthSignatureMethodHMACSHA1[] = "HMAC-SHA1";

class OAuthSignatureParameter : public URLRequestParameter {
public:
    // Throws OAuthException "Unsupported Signature Method" for other methods.
    OAuthSignatureParameter(std::string_view text, std::string_view secret,
                            const OAuthURLRequest& request, std::string_view method);

    // METHOD&escaped(normalized URL)&escaped(parameter text).
    static std::string signatureBaseStringUsingParameterString(std::string_view text,
                                                               const OAuthURLRequest& request);
    // Base64 of HMAC-SHA1 over the text keyed with the secret (28 characters).
    static std::string HMAC_SHA1SignatureForText(std::string_view text, std::string_view secret);
};
