#pragma once

#include "connect_policy.h"

#include <QUrl>
#include <string>
#include <vector>

// A page whose certificate the web engine does not trust may still be shown
// when it is a page of a service named for this run and its chain verifies
// against that service's own certificates alone (with its host name or
// address checked), as the command line trusts it. Never for the service's
// own hosts, never for any other host.

// `chainDer`: the certificates the server presented, its own first.
bool acceptServiceCertificate(const QUrl& page, const std::vector<std::string>& chainDer,
                              const ServiceOrigin& origin);
