#pragma once
// The pinned root certificates: the only trust anchors of the default service.

#include <string>
#include <vector>

// Base64 text of each certificate's DER, generated at build time from
// pinned-roots/NN.pem, in their order.
extern const char* const kCSPinnedRootTexts[];
extern const unsigned kCSPinnedRootCount;

// The decoded DER of every root whose text decodes; built once, under a lock,
// on first use, then kept for the life of the process.
const std::vector<std::string>& CSPinnedRootCertificates();
