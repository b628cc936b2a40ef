// The web role and the token exchanges: the sign-in page that links a
// program to an account, and the request-token and access-token requests.
#include "cs_escaping.h"
#include "cs_secret_fingerprint.h"
#include "link_page.h"
#include "rooted_path.h"
#include "secrets.h"

namespace server {

namespace {

std::string param(const Call& call, std::string_view name) {
    return parameter(call.parameters, name).value_or(std::string());
}

std::string escaped(const std::string& text) {
    return stringByAddingURIPercentEscapesUsingEncoding(text);
}

void sendHtml(Call& call, int status, const std::string& html) {
    call.response.status = status;
    call.response.set_header("Content-Security-Policy",
                             "default-src 'none'; style-src 'unsafe-inline'");
    call.response.set_header("X-Content-Type-Options", "nosniff");
    call.response.set_content(html, "text/html; charset=utf-8");
}

void redirect(Call& call, const std::string& location) {
    call.response.status = 302;
    call.response.set_header("Location", location);
}

std::string appScheme(const ServiceParts& parts) {
    return "cs-" + parts.config.appKey;
}

TokenRecord newToken(ServiceParts& parts, std::int64_t uid, TokenKind kind) {
    TokenRecord token{randomHex(16), randomHex(16), uid, kind, parts.clock()};
    parts.metadata->transact(
        [&](MetadataTxn& txn) {
            txn.putToken(token);
            return true;
        },
        nullptr);
    return token;
}

// The account whose name and password the form carries.
std::optional<Account> signIn(ServiceParts& parts, const Call& call) {
    std::optional<Account> account;
    parts.metadata->transact(
        [&](MetadataTxn& txn) {
            account = txn.accountByName(param(call, "name"));
            return true;
        },
        nullptr);
    // A missing account costs the same time as a wrong password.
    static const std::string decoy = hashPassword("decoy");
    const bool matches =
        verifyPassword(param(call, "password"), account ? account->passwordHash : decoy);
    return account && matches ? account : std::nullopt;
}

bool linkRequestIsOurs(const ServiceParts& parts, const Call& call) {
    const std::string state = param(call, "state");
    return param(call, "k") == parts.config.appKey &&
           param(call, "s") == csSecretFingerprint(parts.config.appSecret) && !state.empty() &&
           state.size() <= 128;
}

LinkPageForm linkForm(const Call& call, std::string message) {
    LinkPageForm form{
        "/1/connect_login",
        {{"k", param(call, "k")}, {"s", param(call, "s")}, {"state", param(call, "state")}},
        param(call, "name"),
        std::move(message)};
    return form;
}

void connectLogin(ServiceParts& parts, Call& call) {
    if (!readFormBody(call))
        return sendHtml(call, 413, messagePageHtml("Link Mobrix", "The form is too large."));
    if (!linkRequestIsOurs(parts, call)) {
        return sendHtml(call, 400,
                        messagePageHtml("Link Mobrix", "This program is not known to this "
                                                       "service, or its link address is damaged."));
    }
    if (call.request.method != "POST")
        return sendHtml(call, 200, linkPageHtml(linkForm(call, {})));
    if (param(call, "action") == "cancel")
        return redirect(call, appScheme(parts) + "://1/cancel");
    auto account = signIn(parts, call);
    if (!account)
        return sendHtml(call, 403, linkPageHtml(linkForm(call, "Wrong name or password.")));
    const TokenRecord token = newToken(parts, account->uid, TokenKind::Access);
    call.uid = account->uid;
    redirect(call, appScheme(parts) + "://1/connect?oauth_token=" + escaped(token.token) +
                       "&oauth_token_secret=" + escaped(token.secret) + "&uid=" +
                       std::to_string(account->uid) + "&state=" + escaped(param(call, "state")));
}

// The sign-in page for a request token (the token exchange's own flow).
void authorizeRequestToken(ServiceParts& parts, Call& call) {
    if (!readFormBody(call))
        return sendHtml(call, 413, messagePageHtml("Link Mobrix", "The form is too large."));
    const std::string tokenText = param(call, "oauth_token");
    std::optional<TokenRecord> token;
    parts.metadata->transact(
        [&](MetadataTxn& txn) {
            token = txn.token(tokenText);
            return true;
        },
        nullptr);
    if (!token || token->kind != TokenKind::Request)
        return sendHtml(call, 400, messagePageHtml("Link Mobrix", "This link has expired."));
    LinkPageForm form{"/1/oauth/authorize", {{"oauth_token", tokenText}}, param(call, "name"), {}};
    if (call.request.method != "POST")
        return sendHtml(call, 200, linkPageHtml(form));
    if (param(call, "action") == "cancel")
        return sendHtml(call, 200, messagePageHtml("Link Mobrix", "The link was cancelled."));
    auto account = signIn(parts, call);
    if (!account) {
        form.message = "Wrong name or password.";
        return sendHtml(call, 403, linkPageHtml(form));
    }
    token->uid = account->uid;
    parts.metadata->transact(
        [&](MetadataTxn& txn) {
            txn.putToken(*token);
            return true;
        },
        nullptr);
    sendHtml(call, 200,
             messagePageHtml("Link Mobrix", "Mobrix may now reach your files. "
                                            "You can go back to it."));
}

void requestToken(ServiceParts& parts, Call& call) {
    if (!authorize(parts, call, TokenNeed::None))
        return;
    const TokenRecord token = newToken(parts, 0, TokenKind::Request);
    call.response.set_content("oauth_token_secret=" + token.secret + "&oauth_token=" + token.token,
                              "text/plain");
}

void accessToken(ServiceParts& parts, Call& call) {
    OAuthResult checked;
    if (!authorize(parts, call, TokenNeed::Request, &checked))
        return;
    if (checked.token->uid == 0)
        return sendAnswer(call, ApiAnswer::error(401, "The request token was not authorized"));
    parts.metadata->transact(
        [&](MetadataTxn& txn) {
            txn.deleteToken(checked.token->token);
            return true;
        },
        nullptr);
    const TokenRecord token = newToken(parts, checked.token->uid, TokenKind::Access);
    call.response.set_content("oauth_token=" + token.token + "&oauth_token_secret=" + token.secret +
                                  "&uid=" + std::to_string(token.uid),
                              "text/plain");
}

} // namespace

bool handleLinkRequest(ServiceParts& parts, Call& call) {
    if (call.path == "/1/connect_login") {
        connectLogin(parts, call);
    } else if (call.path == "/1/oauth/authorize") {
        authorizeRequestToken(parts, call);
    } else if (call.path == "/1/oauth/request_token" || call.path == "/1/oauth/access_token") {
        if (!readFormBody(call)) {
            sendAnswer(call, ApiAnswer::error(413, "The request body is too large"));
        } else if (call.path == "/1/oauth/request_token") {
            requestToken(parts, call);
        } else {
            accessToken(parts, call);
        }
    } else {
        return false;
    }
    return true;
}

} // namespace server
