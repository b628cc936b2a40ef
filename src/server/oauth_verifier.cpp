#include "oauth_verifier.h"

#include "decimal.h"

#include "cs_escaping.h"
#include "oauth_signature_parameter.h"
#include "oauth_url_request.h"
#include "secrets.h"

#include <algorithm>

namespace server {

namespace {

OAuthResult refuse(std::string why) {
    return OAuthResult{false, std::move(why), std::nullopt};
}

// The signature the client must have sent, by the shared signing code.
std::string expectedSignature(const SignedRequestView& request, const std::string& method,
                              const std::string& signingKey) {
    if (method == kOAuthSignatureMethodPlaintext)
        return signingKey;
    URLRequestParameters signedOnes;
    for (const auto& [name, value] : request.parameters) {
        if (name != "oauth_signature")
            signedOnes.emplace_back(name, value);
    }
    std::sort(signedOnes.begin(), signedOnes.end());
    OAuthURLRequest builder(request.url);
    builder.setHTTPMethod(request.method);
    const std::string text = URLRequestParameter::parameterStringForParameters(signedOnes);
    return OAuthSignatureParameter::HMAC_SHA1SignatureForText(
        OAuthSignatureParameter::signatureBaseStringUsingParameterString(text, builder),
        signingKey);
}

} // namespace

std::optional<std::string> parameter(const Parameters& parameters, std::string_view name) {
    for (const auto& [key, value] : parameters) {
        if (key == name)
            return value;
    }
    return std::nullopt;
}

OAuthResult OAuthVerifier::verify(const SignedRequestView& request, TokenNeed need) const {
    const auto& p = request.parameters;
    const auto consumer = parameter(p, "oauth_consumer_key");
    const auto method = parameter(p, "oauth_signature_method");
    const auto signature = parameter(p, "oauth_signature");
    const auto timestamp = parameter(p, "oauth_timestamp");
    const auto nonce = parameter(p, "oauth_nonce");
    const auto version = parameter(p, "oauth_version");
    const auto tokenText = parameter(p, "oauth_token");
    if (!consumer || !method || !signature || !timestamp || !nonce)
        return refuse("The request is not signed");
    if (!constantTimeEquals(*consumer, settings_.consumerKey))
        return refuse("Unknown consumer key");
    if (version && *version != "1.0")
        return refuse("Unsupported OAuth version");
    if (*method == kOAuthSignatureMethodPlaintext) {
        if (!request.overTls)
            return refuse("PLAINTEXT signatures are accepted over TLS only");
    } else if (*method != kOAuthSignatureMethodHMACSHA1) {
        return refuse("Unsupported signature method");
    }
    const auto when = parseDecimal(*timestamp, 12);
    const std::int64_t now = clock_();
    if (!when || *when < now - settings_.windowSeconds || *when > now + settings_.windowSeconds)
        return refuse("The request's timestamp is out of range");
    if (nonce->empty() || nonce->size() > 128)
        return refuse("Invalid nonce");

    std::optional<TokenRecord> token;
    if (need != TokenNeed::None) {
        if (!tokenText)
            return refuse("The request carries no token");
        store_.transact(
            [&](MetadataTxn& txn) {
                token = txn.token(*tokenText);
                return true;
            },
            nullptr);
        const TokenKind kind = need == TokenNeed::Access ? TokenKind::Access : TokenKind::Request;
        if (!token || token->kind != kind)
            return refuse("Invalid or expired token");
    }
    const std::string signingKey =
        stringByAddingURIPercentEscapesUsingEncoding(settings_.consumerSecret) + "&" +
        stringByAddingURIPercentEscapesUsingEncoding(token ? token->secret : std::string());
    if (!constantTimeEquals(*signature, expectedSignature(request, *method, signingKey)))
        return refuse("Invalid signature");
    // Remembered only once the signature holds, so forged requests cannot
    // fill the store. A timestamp before the window is refused above, so its
    // nonce need not be remembered any longer.
    switch (store_.rememberNonce(*consumer + "&" + (tokenText ? *tokenText : ""), *nonce, *when,
                                 now - settings_.windowSeconds)) {
    case NonceOutcome::Replayed:
        return refuse("The nonce was already used");
    case NonceOutcome::Failed:
        return refuse("The service could not record the request; try again later");
    case NonceOutcome::Fresh:
        break;
    }
    return OAuthResult{true, {}, token};
}

} // namespace server
