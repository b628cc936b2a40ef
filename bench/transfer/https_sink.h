#pragma once
// A minimal HTTPS/1.1 server on 127.0.0.1 for the transfer benchmark: any
// GET is answered with `downloadBytes` bytes of a fixed pattern, any request
// with a body has the body read in large pieces and dropped. No signature
// check, no files: it costs as little as a server can, so that the client's
// own speed shows where the test service would be the bottleneck.

#include <cstdint>

#include "test_pki.h"

namespace bench {

// Listens and returns the port; serves in background threads until the
// process ends. 0 when it cannot listen.
std::uint16_t startHttpsSink(const testsupport::TestCertificate& certificate,
                             std::uint64_t downloadBytes);

} // namespace bench
