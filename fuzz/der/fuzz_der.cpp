// copySerialFromCertificate and readLength on arbitrary bytes: no read
// outside the buffer, and a serial, when found, lies inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cs_log.h"
#include "der_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const CSLogRedirect quiet([](const std::string&) {});
    // An exact-size copy, so any overread hits the sanitizer's redzone.
    std::vector<std::uint8_t> buffer(data, data + size);
    const long length = static_cast<long>(size);
    if (auto serial = copySerialFromCertificate(buffer.data(), length)) {
        if (serial->size() >= size)
            std::abort();
    }
    isRevokedCertificate(buffer.data(), buffer.size());
    for (long start = 0; start < length && start < 64; ++start) {
        std::uint32_t value = 0;
        long index = start;
        const int result = readLength(&value, buffer.data(), length, &index);
        if (result == 0 && (index <= start || index > length))
            std::abort();
        if (result != 0 && index != start)
            std::abort();
    }
    return 0;
}
