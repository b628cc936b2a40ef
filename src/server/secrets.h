#pragma once
// Password hashes and random secrets, on OpenSSL.

#include <string>
#include <string_view>

namespace server {

// "pbkdf2-sha256$ITERATIONS$SALT$HASH" with a fresh 16-byte salt (hexadecimal).
std::string hashPassword(std::string_view password);
// Whether the password matches a hash made by hashPassword; compared in constant time.
bool verifyPassword(std::string_view password, std::string_view stored);

// `bytes` random bytes from the system's generator, as lower-case hexadecimal.
std::string randomHex(std::size_t bytes);

// Equality whose time does not depend on where the texts differ.
bool constantTimeEquals(std::string_view a, std::string_view b);

// Lower-case hexadecimal of the bytes.
std::string toHex(const unsigned char* data, std::size_t size);

} // namespace server
