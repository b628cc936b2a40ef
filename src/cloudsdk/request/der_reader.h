#pragma once
// Just enough DER to find an X.509 certificate's serial number, for the
// revocation check. Standard library only, so it builds in the fuzz build.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Reads the DER length whose first octet is at *index. On success (0) stores
// the length and moves *index past the length octets. -1: indefinite length or
// more than 32 bits; -2: the length runs past the buffer.
int readLength(std::uint32_t* length, const std::uint8_t* buffer, long bufferLength, long* index);

// The content octets of the certificate's serial number (a leading 0x00 kept),
// or nothing when the certificate cannot be walked that far.
std::optional<std::vector<std::uint8_t>> copySerialFromCertificate(const std::uint8_t* certificate,
                                                                   long length);

// The serial is one of the revoked serials, byte for byte and in length.
bool isRevokedSerial(const std::vector<std::uint8_t>& serial);

// Revoked, or its serial cannot be read (which counts as revoked).
bool isRevokedCertificate(const std::uint8_t* der, std::size_t length);
