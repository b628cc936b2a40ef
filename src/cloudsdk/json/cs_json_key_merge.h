#pragma once
// Repeated keys of one object read from JSON: the key keeps its first
// position and takes the value read last. The work is bounded whatever the
// keys: no object, however its keys were chosen, costs more than a sort.

#include <cstddef>

#include "cs_json_value.h"

// Merges the members in place; returns the number of key comparisons made.
std::size_t mergeRepeatedKeys(CSJsonValue::Object& members);
