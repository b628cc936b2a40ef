#include "oauth_signature_parameter.h"

#include "cs_base64.h"
#include "cs_escaping.h"
#include "oauth_exception.h"
#include "oauth_url_request.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace {

std::string signatureFor(std::string_view text, std::string_view secret,
                         const OAuthURLRequest& request, std::string_view method) {
    if (method == kOAuthSignatureMethodPlaintext)
        return std::string(secret);
    if (method == kOAuthSignatureMethodHMACSHA1)
        return OAuthSignatureParameter::HMAC_SHA1SignatureForText(
            OAuthSignatureParameter::signatureBaseStringUsingParameterString(text, request),
            secret);
    throw OAuthException(kOAuthUnsupportedSignatureMethodException,
                         "The signature method \"" + std::string(method) +
                             "\" is not currently support by OAuthConnection");
}

} // namespace

OAuthSignatureParameter::OAuthSignatureParameter(std::string_view text, std::string_view secret,
                                                 const OAuthURLRequest& request,
                                                 std::string_view method)
    : URLRequestParameter("oauth_signature", signatureFor(text, secret, request, method)) {}

std::string
OAuthSignatureParameter::signatureBaseStringUsingParameterString(std::string_view text,
                                                                 const OAuthURLRequest& request) {
    std::string base = request.HTTPMethod();
    base += '&';
    base += stringByAddingURIPercentEscapesUsingEncoding(absoluteNormalizedString(request.url()));
    base += '&';
    base += stringByAddingURIPercentEscapesUsingEncoding(text);
    return base;
}

std::string OAuthSignatureParameter::HMAC_SHA1SignatureForText(std::string_view text,
                                                               std::string_view secret) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    HMAC(EVP_sha1(), secret.data(), static_cast<int>(secret.size()),
         reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest, &digestLength);
    char encoded[32];
    size_t encodedLength = sizeof encoded;
    if (!CSBase64EncodeData(digest, digestLength, encoded, &encodedLength))
        return {};
    return std::string(encoded, encodedLength);
}
