#pragma once
// Signed requests for the engine tests, made the way the REST client makes them.

#include <string>

#include "cs_signed_request.h"
#include "oauth_credential_concrete_store.h"
#include "oauth_url_request.h"

namespace testsupport {

inline OAuthCredentialConcreteStore makeStore(const std::string& token, const std::string& secret) {
    OAuthCredentialConcreteStore store({{kOAuthCredentialConsumerKey, "q7w2k9x4m1z8r5t"},
                                        {kOAuthCredentialConsumerSecret, "h3n6p0v2c8j5y1f"},
                                        {kOAuthSignatureMethod, "PLAINTEXT"}},
                                       std::make_shared<OAuthMemoryKeychain>());
    store.setAccessToken(token);
    store.setAccessTokenSecret(secret);
    return store;
}

inline CSSignedRequest signedRequest(const OAuthCredentialConcreteStore& store,
                                     const std::string& url, const std::string& method = "GET",
                                     URLParameterPairs params = {}) {
    URLRequestParameters list = store.oauthParameters();
    for (auto& p : URLRequestParameter::parametersFromDictionary(params))
        list.push_back(p);
    OAuthURLRequest builder(url, list);
    builder.setHTTPMethod(method);
    return builder.urlRequestSignedWithSecret(store.signingKey(), *store.signatureMethod());
}

inline CSSignedRequest signedUpload(const OAuthCredentialConcreteStore& store,
                                    const std::string& url) {
    OAuthURLRequest builder(url, store.oauthParameters());
    builder.setHTTPMethod("POST");
    return builder.uploadRequestSignedWithSecret(store.signingKey(), *store.signatureMethod());
}

} // namespace testsupport
