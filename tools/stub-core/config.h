#pragma once

// The facts the stub core takes from a sing-box configuration; credentials are never copied out.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stubcore {

struct TunFacts
{
    std::string tag;           // "tun" for logging when the inbound has no tag
    std::string interfaceName; // as configured
    std::string addressText;   // first IPv4 prefix as written, e.g. "172.19.0.1/30"
    std::uint32_t address = 0; // host byte order
    int prefixLength = 0;
    int mtu = 0; // 0 when absent or unusable
};

struct OutboundFacts
{
    std::string type;
    std::string tag;     // the index when the outbound has no tag, as sing-box names it
    bool remote = false; // has a server (not direct, block, dns, selector or urltest)
};

struct CoreConfig
{
    TunFacts tun;
    std::vector<OutboundFacts> outbounds;
    bool fullTimestamp = false; // log.timestamp
};

// Decodes and checks a configuration; on failure returns nothing and sets error to the text that
// follows the FATAL level tag (e.g. "decode config at <path>: ...").
std::optional<CoreConfig> loadCoreConfig(std::string_view text, const std::string &path, std::string &error);

// Parses "a.b.c.d/n"; false for anything else.
bool parseIpv4Prefix(std::string_view text, std::uint32_t &address, int &prefixLength);

} // namespace stubcore
