#include "config.h"

#include "json.h"
#include "schema.h"

#include <array>
#include <charconv>

namespace stubcore {
namespace {

struct ConfigError
{
    std::string message;
};

// Outbound types that reach no remote server, so they need no server/server_port.
constexpr std::array LocalOutboundTypes{"direct", "block", "dns", "selector", "urltest"};

const JsonValue &requireArray(const JsonValue &root, const char *key, const std::string &decodePrefix)
{
    const JsonValue *value = root.find(key);
    if (!value || value->type == JsonValue::Type::Null)
        throw ConfigError{std::string("create service: missing ") + key};
    if (!value->isArray())
        throw ConfigError{decodePrefix + key + ": expected an array, got " + jsonKindName(value->type)};
    return *value;
}

std::string stringMember(const JsonValue &object, const char *key)
{
    const JsonValue *value = object.find(key);
    return value && value->isString() ? value->text : std::string();
}

bool boolMember(const JsonValue &object, const char *key)
{
    const JsonValue *value = object.find(key);
    return value && value->type == JsonValue::Type::Bool && value->boolean;
}

// sing-box names a component "kind/type[tag]", with the index standing in for a missing tag.
std::string componentName(const char *kind, const std::string &type, const std::string &tag)
{
    return std::string(kind) + '/' + type + '[' + tag + ']';
}

TunFacts readTun(const JsonValue &inbound, const std::string &tag)
{
    const std::string name = componentName("inbound", "tun", tag);
    TunFacts tun;
    tun.tag = tag;
    tun.interfaceName = stringMember(inbound, "interface_name");
    if (tun.interfaceName.empty())
        throw ConfigError{"create service: initialize " + name + ": missing interface_name"};

    const JsonValue *address = inbound.find("address");
    std::vector<const JsonValue *> entries;
    if (address && address->isString())
        entries.push_back(address);
    else if (address && address->isArray())
        for (const JsonValue &item : address->items)
            entries.push_back(&item);
    if (entries.empty())
        throw ConfigError{"create service: initialize " + name + ": missing address"};
    for (const JsonValue *entry : entries) {
        if (!entry->isString())
            throw ConfigError{"create service: initialize " + name + ": address: expected a string, got " +
                              jsonKindName(entry->type)};
        std::uint32_t ip = 0;
        int prefix = 0;
        if (parseIpv4Prefix(entry->text, ip, prefix)) {
            if (tun.addressText.empty()) {
                tun.addressText = entry->text;
                tun.address = ip;
                tun.prefixLength = prefix;
            }
        } else if (entry->text.find(':') == std::string::npos || entry->text.find('/') == std::string::npos) {
            // Anything with a colon and a prefix is taken as IPv6, which the stub leaves alone.
            throw ConfigError{"create service: initialize " + name + ": invalid address \"" + entry->text +
                              '"'};
        }
    }
    if (tun.addressText.empty())
        throw ConfigError{"create service: initialize " + name + ": missing IPv4 address"};

    const JsonValue *mtu = inbound.find("mtu");
    if (mtu && mtu->type == JsonValue::Type::Number && mtu->integral && mtu->number >= 68 &&
        mtu->number <= 65535)
        tun.mtu = int(mtu->number);
    return tun;
}

OutboundFacts readOutbound(const JsonValue &outbound, std::size_t index)
{
    OutboundFacts facts;
    facts.type = stringMember(outbound, "type");
    facts.tag = stringMember(outbound, "tag");
    if (facts.tag.empty())
        facts.tag = std::to_string(index);
    if (facts.type.empty())
        throw ConfigError{"create service: initialize outbound[" + std::to_string(index) + "]: missing type"};

    facts.remote = true;
    for (const char *local : LocalOutboundTypes)
        facts.remote = facts.remote && facts.type != local;
    if (!facts.remote)
        return facts;

    const std::string name = componentName("outbound", facts.type, facts.tag);
    if (stringMember(outbound, "server").empty())
        throw ConfigError{"create service: initialize " + name + ": missing server"};
    const JsonValue *port = outbound.find("server_port");
    if (!port || port->type != JsonValue::Type::Number || !port->integral || port->number < 1 ||
        port->number > 65535)
        throw ConfigError{"create service: initialize " + name + ": invalid server_port"};
    return facts;
}

} // namespace

bool parseIpv4Prefix(std::string_view text, std::uint32_t &address, int &prefixLength)
{
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos)
        return false;
    auto number = [](std::string_view part, int max, int &out) {
        if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0'))
            return false;
        const auto result = std::from_chars(part.data(), part.data() + part.size(), out);
        return result.ec == std::errc() && result.ptr == part.data() + part.size() && out <= max;
    };
    std::string_view host = text.substr(0, slash);
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t dot = i < 3 ? host.find('.') : host.size();
        int octet = 0;
        if (dot == std::string_view::npos || !number(host.substr(0, dot), 255, octet))
            return false;
        value = (value << 8) | std::uint32_t(octet);
        host = i < 3 ? host.substr(dot + 1) : std::string_view();
    }
    int prefix = 0;
    if (!number(text.substr(slash + 1), 32, prefix))
        return false;
    address = value;
    prefixLength = prefix;
    return true;
}

std::optional<CoreConfig> loadCoreConfig(std::string_view text, const std::string &path, std::string &error)
{
    const std::string decodePrefix = "decode config at " + path + ": ";
    std::string parseError;
    const std::optional<JsonValue> root = parseJson(text, parseError);
    if (!root) {
        error = decodePrefix + parseError;
        return std::nullopt;
    }
    try {
        if (!root->isObject())
            throw ConfigError{decodePrefix + "expected an object, got " + jsonKindName(root->type)};
        if (std::string fault = checkStructure(*root, decodePrefix); !fault.empty())
            throw ConfigError{fault};
        CoreConfig config;
        if (const JsonValue *log = root->find("log"); log && log->isObject())
            config.fullTimestamp = boolMember(*log, "timestamp");

        const JsonValue &inbounds = requireArray(*root, "inbounds", decodePrefix);
        bool haveTun = false;
        for (std::size_t i = 0; i < inbounds.items.size(); ++i) {
            const JsonValue &inbound = inbounds.items[i];
            if (!inbound.isObject())
                throw ConfigError{decodePrefix + "inbounds[" + std::to_string(i) +
                                  "]: expected an object, got " + jsonKindName(inbound.type)};
            if (stringMember(inbound, "type") != "tun" || haveTun)
                continue;
            std::string tag = stringMember(inbound, "tag");
            config.tun = readTun(inbound, tag.empty() ? std::to_string(i) : tag);
            haveTun = true;
        }
        if (!haveTun)
            throw ConfigError{"create service: missing tun inbound"};

        const JsonValue &outbounds = requireArray(*root, "outbounds", decodePrefix);
        bool haveRemote = false;
        for (std::size_t i = 0; i < outbounds.items.size(); ++i) {
            const JsonValue &outbound = outbounds.items[i];
            if (!outbound.isObject())
                throw ConfigError{decodePrefix + "outbounds[" + std::to_string(i) +
                                  "]: expected an object, got " + jsonKindName(outbound.type)};
            config.outbounds.push_back(readOutbound(outbound, i));
            haveRemote = haveRemote || config.outbounds.back().remote;
        }
        if (!haveRemote)
            throw ConfigError{"create service: missing proxy outbound (one with server and server_port)"};
        return config;
    } catch (const ConfigError &e) {
        error = e.message;
    }
    return std::nullopt;
}

} // namespace stubcore
