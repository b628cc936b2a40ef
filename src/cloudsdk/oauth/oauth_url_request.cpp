#include "oauth_url_request.h"

#include "cs_escaping.h"
#include "cs_query_string.h"
#include "oauth_exception.h"
#include "oauth_signature_parameter.h"

#include <algorithm>

namespace {

// Parameters of a query already on a URL. Names are decoded like values, so
// that encoding them for the wire does not escape them twice.
URLRequestParameters parametersOfQuery(std::string_view query) {
    URLRequestParameters parameters;
    forEachQueryPiece(query, [&](std::string_view name, std::optional<std::string_view> value) {
        if (value)
            parameters.emplace_back(stringByRemovingPercentEscapes(name),
                                    stringByRemovingPercentEscapes(*value));
    });
    return parameters;
}

} // namespace

OAuthURLRequest::OAuthURLRequest(std::string_view url, URLRequestParameters parameters)
    : parameters_(std::move(parameters)) {
    if (parameters_.empty())
        parameters_.reserve(10);
    size_t query = url.find('?');
    url_ = std::string(url.substr(0, query));
    if (query != std::string_view::npos)
        addParameters(parametersOfQuery(url.substr(query + 1)));
}

OAuthURLRequest::OAuthURLRequest(const CSSignedRequest& request) : OAuthURLRequest(request.url) {
    HTTPMethod_ = request.method;
}

void OAuthURLRequest::addParameters(const URLRequestParameters& parameters) {
    parameters_.insert(parameters_.end(), parameters.begin(), parameters.end());
}

std::string OAuthURLRequest::signedParameterText(std::string_view secret, std::string_view method) {
    std::sort(parameters_.begin(), parameters_.end());
    std::string text = URLRequestParameter::parameterStringForParameters(parameters_);
    OAuthSignatureParameter signature(text, secret, *this, method);
    // The signature is always appended as "&" and its pair, also after an
    // empty parameter text: the service splits the text at "&" and skips
    // the empty piece, so the signature reads the same either way.
    text += '&';
    text += signature.URLEncodedParameterString();
    return text;
}

CSSignedRequest OAuthURLRequest::urlRequestSignedWithSecret(std::string_view secret,
                                                            std::string_view method) {
    if (HTTPMethod_ != "GET" && HTTPMethod_ != "POST")
        throw OAuthException(kOAuthUnhandledHTTPMethodException,
                             "The requested HTTP method, " + HTTPMethod_ + ", is not supported");
    std::string text = signedParameterText(secret, method);
    CSSignedRequest request;
    request.method = HTTPMethod_;
    if (HTTPMethod_ == "GET") {
        request.url = url_ + "?" + text;
    } else {
        request.url = url_;
        request.body = std::move(text);
        request.headers = {{"Content-Length", std::to_string(request.body.size())},
                           {"Content-Type", "application/x-www-form-urlencoded"}};
    }
    urlRequest_ = request;
    return request;
}

CSSignedRequest OAuthURLRequest::uploadRequestSignedWithSecret(std::string_view secret,
                                                               std::string_view method) {
    HTTPMethod_ = "POST";
    CSSignedRequest request;
    request.method = HTTPMethod_;
    request.url = url_ + "?" + signedParameterText(secret, method);
    urlRequest_ = request;
    return request;
}
