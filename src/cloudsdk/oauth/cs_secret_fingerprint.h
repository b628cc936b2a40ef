#pragma once
// The app secret's fingerprint that a link request carries as "s" and the
// service's sign-in page checks: the last four bytes of the secret's SHA-1,
// as lower-case hexadecimal without leading zeros.

#include <string>
#include <string_view>

std::string csSecretFingerprint(std::string_view appSecret);
