#pragma once

#include <string>
#include <string_view>

// The configuration the network helper hands the core. sing-box decodes with Go's encoding/json, which
// matches keys case-insensitively (Unicode folding included) and keeps the last of duplicates, so a
// check for the keys it fears can always be talked past. Instead the input must have exactly the
// structure the client writes (log, DNS, one TUN inbound, the node outbounds of the supported types with
// their documented harmless keys, route rules), every key spelled as allowed and present once, every
// value of its kind; and the core gets a configuration written afresh from what was checked, its TUN on
// the name and address the helper gives.
namespace nimbra::nethelper {

struct CoreConfig
{
    std::string text;    // compact JSON for the core; empty when refused
    std::string refusal; // why it was refused (English, for stderr); empty when written
};

CoreConfig writeCoreConfig(std::string_view input, std::string_view tunName, std::string_view tunAddress);

// The newest core version whose configuration documentation the allow-list in coreconfig.cpp was
// checked against. A newer core may give a key the client writes a new meaning or turn something on by
// default (1.14's TUN dns_mode hijacks DNS), so it is refused until someone has read that version's
// documentation, adjusted the list and raised this.
inline constexpr int kNewestCheckedCoreMajor = 1;
inline constexpr int kNewestCheckedCoreMinor = 13;

// Why a core whose `version` printed output must not be run, or empty.
std::string coreVersionRefusal(std::string_view output);

} // namespace nimbra::nethelper
