#include "cs_query_string.h"
#include "cs_secret_fingerprint.h"
#include "cs_session.h"

std::map<std::string, std::string> CSSession::parseURLParams(std::string_view query) {
    return dictionaryWithQueryString(query);
}

std::string CSSession::secretFingerprint(std::string_view appSecret) {
    return csSecretFingerprint(appSecret);
}
