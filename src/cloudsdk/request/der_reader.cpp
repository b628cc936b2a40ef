#include "der_reader.h"

#include <algorithm>
#include <array>

#include "cs_log.h"

static_assert(sizeof(long) >= 8, "index arithmetic relies on 64-bit long");

namespace {

constexpr std::uint8_t kTagSequence = 0x30;
constexpr std::uint8_t kTagInteger = 0x02;

const std::array<std::vector<std::uint8_t>, 3>& revokedSerials() {
    static const std::array<std::vector<std::uint8_t>, 3> serials = {
        std::vector<std::uint8_t>{0x02, 0x75, 0xC7, 0x6C, 0x1E, 0x64, 0x3C, 0x26, 0x49, 0x88, 0x6B,
                                  0x0E, 0x76, 0x3A, 0xC3, 0xE9},
        std::vector<std::uint8_t>{0x27, 0xAB, 0x71, 0xBA, 0x41, 0x86, 0x5C},
        std::vector<std::uint8_t>{0x2B, 0x73, 0x47, 0x79, 0xDB, 0x80, 0x12},
    };
    return serials;
}

} // namespace

int readLength(std::uint32_t* length, const std::uint8_t* buffer, long bufferLength, long* index) {
    const long idx = *index;
    if (idx < 0 || idx >= bufferLength) {
        CSLogWarning("readLength: idx:%ld >= buflen:%ld", idx, bufferLength);
        return -2;
    }
    const std::uint8_t octet = buffer[idx];
    if (octet == 0x80) {
        CSLogWarning("readLength: Invalid DER (unlimited length encoding)");
        return -1;
    }
    if (octet < 0x80) {
        *length = octet;
        *index = idx + 1;
        return 0;
    }
    const long n = octet & 0x7F;
    if (n >= 5) {
        CSLogWarning("readLength: length of any TLV can't be more than 32bit");
        return -1;
    }
    // idx < bufferLength <= LONG_MAX and n <= 4, so the sum cannot wrap.
    if (idx + n >= bufferLength) {
        CSLogWarning("readLength: idx:%ld + len_of_len: %ld >= bufLen:%ld", idx, n, bufferLength);
        return -2;
    }
    std::uint32_t value = 0;
    for (long i = 1; i <= n; ++i)
        value = (value << 8) | buffer[idx + i];
    *length = value;
    *index = idx + n + 1;
    return 0;
}

std::optional<std::vector<std::uint8_t>> copySerialFromCertificate(const std::uint8_t* cert,
                                                                   long certlen) {
    if (certlen < 0 || certlen >= (1L << 31)) {
        CSLogWarning("Certlen negative or too high: %ld. Paranoidly failing.", certlen);
        return std::nullopt;
    }
    // Indices stay in a long (64 bits here) and every length read is at most
    // 2^32 - 1, so idx + length never wraps.
    long idx = 0;
    std::uint32_t len = 0;
    if (idx >= certlen) {
        CSLogWarning("Error trying to read first TAG_SEQ. idx:%ld >= certlen:%ld", idx, certlen);
        return std::nullopt;
    }
    if (cert[idx] != kTagSequence) {
        CSLogWarning("DER data does not start with TAG_SEQ. idx:%ld octet:%X", idx, cert[idx]);
        return std::nullopt;
    }
    idx++;
    if (readLength(&len, cert, certlen, &idx) != 0) {
        CSLogWarning("Failed to parse length from first TAG_SEQ.");
        return std::nullopt;
    }
    if (idx >= certlen) {
        CSLogWarning("Error trying to read 2nd TAG_SEQ. idx:%ld >= certlen:%ld", idx, certlen);
        return std::nullopt;
    }
    if (cert[idx] != kTagSequence) {
        CSLogWarning("Error: first tag inside the TAG_SEQ is not a TAG_SEQ. idx:%ld octet:%X", idx,
                     cert[idx]);
        return std::nullopt;
    }
    idx++;
    if (readLength(&len, cert, certlen, &idx) != 0) {
        CSLogWarning("Failed to parse length from second TAG_SEQ");
        return std::nullopt;
    }
    if (idx >= certlen) {
        CSLogWarning("Reached end of buffer while reading Version from first TLV inside TAG_SEQ. "
                     "idx:%ld >= certlen:%ld",
                     idx, certlen);
        return std::nullopt;
    }
    // The first element is taken as the version field and skipped.
    if ((cert[idx] & 0x1F) == 0x1F) {
        CSLogWarning("Invalid CERT Version tag inside 2nd SEQ");
        return std::nullopt;
    }
    idx++;
    if (readLength(&len, cert, certlen, &idx) != 0) {
        CSLogWarning("Failed to parse length of CERT Version tag");
        return std::nullopt;
    }
    idx += static_cast<long>(len);
    if (idx >= certlen) {
        CSLogWarning("Reached end of buffer while reading Version from first TLV inside TAG_SEQ. "
                     "idx:%ld >= certlen:%ld",
                     idx, certlen);
        return std::nullopt;
    }
    if (cert[idx] != kTagInteger) {
        CSLogWarning("Reached serial number, but it is not marked with TAG_INT. Failing");
        return std::nullopt;
    }
    idx++;
    if (readLength(&len, cert, certlen, &idx) != 0) {
        CSLogWarning("Failed to parse length of serial number TLV");
        return std::nullopt;
    }
    if (idx + static_cast<long>(len) >= certlen) {
        CSLogWarning("Serial length goes beyond end of buffer. idx:%ld >= certlen:%ld", idx,
                     certlen);
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(cert + idx, cert + idx + len);
}

bool isRevokedSerial(const std::vector<std::uint8_t>& serial) {
    const auto& revoked = revokedSerials();
    return std::find(revoked.begin(), revoked.end(), serial) != revoked.end();
}

bool isRevokedCertificate(const std::uint8_t* der, std::size_t length) {
    const long certlen =
        length > static_cast<std::size_t>(1L << 31) ? (1L << 31) : static_cast<long>(length);
    auto serial = copySerialFromCertificate(der, certlen);
    if (!serial) {
        CSLogError("CloudSDK: SSL Error. Cannot read a serial number of the certificate");
        return true;
    }
    return isRevokedSerial(*serial);
}
