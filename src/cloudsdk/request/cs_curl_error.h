#pragma once
// curl's result codes as the client's transport errors (CSNetworkErrorDomain).

#include <curl/curl.h>

#include "cs_error.h"

CSNetworkError CSNetworkErrorFor(CURLcode result);

// The transfer failed in the TLS handshake or in the check of the server's
// certificate (chain, name, revocation).
bool CSIsTrustFailure(CURLcode result);
