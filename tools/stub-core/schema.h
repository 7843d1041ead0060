#pragma once

// The documented structure of a sing-box configuration at the oldest version the client supports,
// so that the stub refuses what a real core of that version refuses.
#include "json.h"

#include <string>

namespace stubcore {

// The sing-box version whose configuration format the table follows.
inline constexpr const char *kSchemaVersion = "1.12.0";

// Checks known keys, value types, enumerated values and required fields of every object, then the
// cross-field rules (references between tags, options valid only together). Returns the text after
// the FATAL level tag in the real core's words, or an empty text when the configuration is valid.
// decodePrefix is "decode config at <path>: ".
std::string checkStructure(const JsonValue &root, const std::string &decodePrefix);

} // namespace stubcore
