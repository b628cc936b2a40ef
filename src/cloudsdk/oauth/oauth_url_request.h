#pragma once
// Turns a URL and its parameters into a signed request. Used once: fill, sign,
// hand on the result.

#include "cs_signed_request.h"
#include "url_request_parameter.h"

#include <optional>
#include <string>
#include <string_view>

class OAuthURLRequest {
public:
    // A query already on the URL is moved into the parameters, so it is signed too.
    explicit OAuthURLRequest(std::string_view url, URLRequestParameters parameters = {});
    // The request's URL less its query, the query's parameters and its method.
    explicit OAuthURLRequest(const CSSignedRequest& request);

    const std::string& url() const { return url_; }
    const std::string& HTTPMethod() const { return HTTPMethod_; }
    void setHTTPMethod(std::string method) { HTTPMethod_ = std::move(method); }
    const URLRequestParameters& parameters() const { return parameters_; }
    void addParameters(const URLRequestParameters& parameters);
    const std::optional<CSSignedRequest>& urlRequest() const { return urlRequest_; }

    // Sorts the parameters and signs them. GET carries them in the query,
    // POST in a form body. Throws OAuthException "UnhandledHTTPMethodException"
    // for other methods and "Unsupported Signature Method" for unknown methods.
    CSSignedRequest urlRequestSignedWithSecret(std::string_view secret, std::string_view method);

    // For uploads, whose body is the file: POST, every parameter and the
    // signature in the query, no body or headers.
    CSSignedRequest uploadRequestSignedWithSecret(std::string_view secret, std::string_view method);

private:
    std::string signedParameterText(std::string_view secret, std::string_view method);

    std::string url_;
    std::string HTTPMethod_ = "GET";
    std::optional<CSSignedRequest> urlRequest_;
    URLRequestParameters parameters_;
};
