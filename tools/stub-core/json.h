#pragma once

// The stand-in core reads its configuration with the network helper's JSON reader.
#include "nethelper/json.h"

namespace stubcore {
using nimbra::json::jsonKindName;
using nimbra::json::JsonMember;
using nimbra::json::JsonValue;
using nimbra::json::parseJson;
} // namespace stubcore
