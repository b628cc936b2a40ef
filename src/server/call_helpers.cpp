#include "cs_escaping.h"
#include "cs_json.h"
#include "service_parts.h"

namespace server {

namespace {

constexpr std::size_t kMaxFormBody = 64 * 1024;

void appendPairs(std::string_view text, Parameters& out) {
    while (!text.empty()) {
        auto amp = text.find('&');
        std::string_view piece = text.substr(0, amp);
        if (!piece.empty()) {
            auto eq = piece.find('=');
            out.emplace_back(decodeFormValue(piece.substr(0, eq)),
                             eq == std::string_view::npos ? std::string()
                                                          : decodeFormValue(piece.substr(eq + 1)));
        }
        if (amp == std::string_view::npos)
            break;
        text.remove_prefix(amp + 1);
    }
}

} // namespace

std::string decodeFormValue(std::string_view text) {
    std::string plus(text);
    for (auto& c : plus) {
        if (c == '+')
            c = ' ';
    }
    return stringByRemovingPercentEscapes(plus);
}

void sendAnswer(Call& call, const ApiAnswer& answer) {
    call.response.status = answer.status;
    if (answer.status == 304)
        return;
    CSJsonWriter writer;
    auto text = writer.stringWithFragment(answer.body);
    call.response.set_content(text ? *text : std::string("{\"error\": \"Internal error\"}"),
                              "application/json");
}

bool readFormBody(Call& call) {
    if (!call.reader)
        return true;
    std::string body;
    bool tooBig = false;
    (*call.reader)([&](const char* data, std::size_t size) {
        if (body.size() + size > kMaxFormBody) {
            tooBig = true;
        } else {
            body.append(data, size);
        }
        return true;
    });
    call.reader = nullptr;
    if (tooBig)
        return false;
    const std::string type = call.request.get_header_value("Content-Type");
    if (type.rfind("application/x-www-form-urlencoded", 0) == 0)
        appendPairs(body, call.parameters);
    return true;
}

void drainBody(Call& call, std::uint64_t most) {
    if (!call.reader)
        return;
    std::uint64_t dropped = 0;
    (*call.reader)([&](const char*, std::size_t size) {
        dropped += size;
        return dropped <= most;
    });
    call.reader = nullptr;
}

std::string signedUrl(const ServiceParts& parts, const Call& call) {
    if (!parts.config.publicUrl.empty())
        return parts.config.publicUrl + call.path;
    return std::string(call.overTls ? "https://" : "http://") +
           call.request.get_header_value("Host") + call.path;
}

bool authorize(ServiceParts& parts, Call& call, TokenNeed need, OAuthResult* out) {
    SignedRequestView view{call.request.method, signedUrl(parts, call), call.parameters,
                           call.overTls};
    OAuthResult result = parts.verifier->verify(view, need);
    if (!result.ok) {
        drainBody(call, kDrainForStrangers);
        sendAnswer(call, ApiAnswer::error(401, result.error));
        return false;
    }
    if (result.token)
        call.uid = result.token->uid;
    if (out)
        *out = std::move(result);
    return true;
}

// Parses the query of a target into the call's parameters.
void parseQuery(Call& call) {
    auto q = call.request.target.find('?');
    call.path = call.request.target.substr(0, q);
    if (q != std::string::npos)
        appendPairs(std::string_view(call.request.target).substr(q + 1), call.parameters);
}

} // namespace server
