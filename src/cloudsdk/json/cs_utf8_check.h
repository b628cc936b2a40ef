#pragma once
// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.

#include <cstddef>

bool CSUtf8IsValid(const char* data, std::size_t size);
