#pragma once
// Base64 (standard alphabet) with 72-character lines separated by CR LF, and a
// tolerant decoder that skips whitespace and noise.

#include <cstddef>

// The buffer size a decode of `length` Base64 characters needs: 3 * ceil(length / 4).
size_t CSEstimateBas64DecodedDataSize(size_t length);

// Writes the encoded text (not NUL-terminated) into `out`. *ioOutLength holds
// the room in `out`; on success it becomes the number of characters written.
// Returns false, writing nothing, when the room is too small or the size
// cannot be represented.
bool CSBase64EncodeData(const void* data, size_t length, char* out, size_t* ioOutLength);

// Decodes `length` characters of `text` (no terminator needed; a NUL inside
// ends the text). *ioOutLength holds the room in `out`, which must be at least
// CSEstimateBas64DecodedDataSize(length); on success it becomes the number of
// bytes produced (bytes of `out` past those may have been written too).
// Returns false, leaving *ioOutLength unchanged, otherwise.
bool CSBase64DecodeData(const char* text, size_t length, void* out, size_t* ioOutLength);
