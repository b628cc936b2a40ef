#pragma once
// The reading rules shared by the records. A value of the wrong kind reads
// as if its key were missing.

#include <cstdint>
#include <optional>
#include <string>

#include "cs_date.h"
#include "cs_json_value.h"

// A string, else absent.
std::optional<std::string> CSReadText(const CSJsonValue* value);
// A number's integer part or the integer a string begins with, saturating; else 0.
int64_t CSReadInteger(const CSJsonValue* value);
// A boolean or a non-zero number; else false.
bool CSReadFlag(const CSJsonValue* value);
// A string of the metadata date form; else absent.
std::optional<CSDate> CSReadDate(const CSJsonValue* value);
