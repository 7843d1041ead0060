#include "schema.h"

#include <map>
#include <set>
#include <string_view>
#include <vector>

namespace stubcore {
namespace {

enum class Kind
{
    String,
    Bool,
    UInt,         // uint32
    Port,         // uint16
    Mark,         // a number or a hexadecimal string ("0x1234")
    Strings,      // a string or an array of strings ("listable")
    UInts,        // a number or an array of numbers
    Object,       // an object of `schema`
    BoolOrObject, // a bool as the short form of an object of `schema`
    Typed,        // an array of objects whose schema is "<schema>.<their type>"
    Resolver,     // a DNS server tag, or an object of the "resolver" schema
    Any,          // not checked: parts of the format the client never writes
};

struct Field
{
    std::string_view key;
    Kind kind;
    std::string_view schema = {};
    bool required = false;
    // The values a string may take, separated by spaces; empty for any.
    std::string_view values = {};
};

struct Schema
{
    std::vector<std::string_view> includes; // shared field groups, e.g. the dial fields
    std::vector<Field> fields;
};

constexpr bool Required = true;
constexpr std::string_view Networks = "tcp udp";
constexpr std::string_view Strategies = "prefer_ipv4 prefer_ipv6 ipv4_only ipv6_only";

// One entry per object of the format, named after the documentation page (sing-box.sagernet.org,
// configuration/...) it comes from. Fields added after the oldest supported version are left out on
// purpose: that core would refuse them. To support another outbound type, add "outbound.<type>".
const std::map<std::string_view, Schema> &schemas()
{
    static const std::map<std::string_view, Schema> table = {
        // configuration/ (top level)
        {"root",
         {{},
          {{"log", Kind::Object, "log"},
           {"dns", Kind::Object, "dns"},
           {"ntp", Kind::Any},
           {"certificate", Kind::Any},
           {"endpoints", Kind::Any},
           {"inbounds", Kind::Typed, "inbound"},
           {"outbounds", Kind::Typed, "outbound"},
           {"route", Kind::Object, "route"},
           {"services", Kind::Any},
           {"experimental", Kind::Any}}}},
        // log/
        {"log",
         {{},
          {{"disabled", Kind::Bool},
           {"level", Kind::String, {}, false, "trace debug info warn warning error fatal panic"},
           {"output", Kind::String},
           {"timestamp", Kind::Bool}}}},
        // dns/
        {"dns",
         {{},
          {{"servers", Kind::Typed, "dns.server"},
           {"rules", Kind::Any},
           {"final", Kind::String},
           {"strategy", Kind::String, {}, false, Strategies},
           {"disable_cache", Kind::Bool},
           {"disable_expire", Kind::Bool},
           {"independent_cache", Kind::Bool},
           {"cache_capacity", Kind::UInt},
           {"reverse_mapping", Kind::Bool},
           {"client_subnet", Kind::String},
           {"fakeip", Kind::Any}}}},
        // dns/server/ (the typed form, since 1.12.0)
        {"dns.server.common", {{}, {{"type", Kind::String}, {"tag", Kind::String}}}},
        {"dns.server.remote",
         {{"dns.server.common", "dial"},
          {{"server", Kind::String, {}, Required}, {"server_port", Kind::Port}}}},
        {"dns.server.local", {{"dns.server.common", "dial"}, {}}},
        {"dns.server.udp", {{"dns.server.remote"}, {}}},
        {"dns.server.tcp", {{"dns.server.remote"}, {}}},
        {"dns.server.tls", {{"dns.server.remote"}, {{"tls", Kind::Object, "tls"}}}},
        {"dns.server.quic", {{"dns.server.remote"}, {{"tls", Kind::Object, "tls"}}}},
        {"dns.server.https",
         {{"dns.server.remote"},
          {{"path", Kind::String}, {"headers", Kind::Any}, {"tls", Kind::Object, "tls"}}}},
        {"dns.server.h3",
         {{"dns.server.remote"},
          {{"path", Kind::String}, {"headers", Kind::Any}, {"tls", Kind::Object, "tls"}}}},
        {"dns.server.hosts", {{"dns.server.common"}, {{"path", Kind::Strings}, {"predefined", Kind::Any}}}},
        // dns/server/legacy (no type; deprecated in 1.12.0, still read)
        {"dns.server.legacy",
         {{},
          {{"tag", Kind::String},
           {"address", Kind::String, {}, Required},
           {"address_resolver", Kind::String},
           {"address_strategy", Kind::String, {}, false, Strategies},
           {"strategy", Kind::String, {}, false, Strategies},
           {"detour", Kind::String},
           {"client_subnet", Kind::String}}}},
        // shared/dial (domain_resolver and netns since 1.12.0)
        {"dial",
         {{},
          {{"detour", Kind::String},
           {"bind_interface", Kind::String},
           {"inet4_bind_address", Kind::String},
           {"inet6_bind_address", Kind::String},
           {"routing_mark", Kind::Mark},
           {"reuse_addr", Kind::Bool},
           {"netns", Kind::String},
           {"connect_timeout", Kind::String},
           {"tcp_fast_open", Kind::Bool},
           {"tcp_multi_path", Kind::Bool},
           {"udp_fragment", Kind::Bool},
           {"domain_resolver", Kind::Resolver},
           {"network_strategy", Kind::String},
           {"network_type", Kind::Strings},
           {"fallback_network_type", Kind::Strings},
           {"fallback_delay", Kind::String},
           {"domain_strategy", Kind::String, {}, false, Strategies}}}},
        // shared/dial, domain_resolver as an object; route/rule_action "resolve" has the same fields
        {"resolver",
         {{},
          {{"server", Kind::String, {}, Required},
           {"strategy", Kind::String, {}, false, Strategies},
           {"disable_cache", Kind::Bool},
           {"rewrite_ttl", Kind::UInt},
           {"client_subnet", Kind::String}}}},
        // shared/tls, outbound side (fragment and record_fragment since 1.12.0)
        {"tls",
         {{},
          {{"enabled", Kind::Bool},
           {"disable_sni", Kind::Bool},
           {"server_name", Kind::String},
           {"insecure", Kind::Bool},
           {"alpn", Kind::Strings},
           {"min_version", Kind::String},
           {"max_version", Kind::String},
           {"cipher_suites", Kind::Strings},
           {"certificate", Kind::Strings},
           {"certificate_path", Kind::String},
           {"fragment", Kind::Bool},
           {"fragment_fallback_delay", Kind::String},
           {"record_fragment", Kind::Bool},
           {"ech", Kind::Object, "tls.ech"},
           {"utls", Kind::Object, "tls.utls"},
           {"reality", Kind::Object, "tls.reality"}}}},
        {"tls.ech",
         {{},
          {{"enabled", Kind::Bool},
           {"config", Kind::Strings},
           {"config_path", Kind::String},
           {"pq_signature_schemes_enabled", Kind::Bool},
           {"dynamic_record_sizing_disabled", Kind::Bool}}}},
        {"tls.utls",
         {{},
          {{"enabled", Kind::Bool},
           {"fingerprint",
            Kind::String,
            {},
            false,
            "chrome firefox edge safari 360 qq ios android random randomized"}}}},
        {"tls.reality",
         {{}, {{"enabled", Kind::Bool}, {"public_key", Kind::String}, {"short_id", Kind::String}}}},
        // shared/multiplex, outbound side
        {"multiplex",
         {{},
          {{"enabled", Kind::Bool},
           {"protocol", Kind::String, {}, false, "smux yamux h2mux"},
           {"max_connections", Kind::UInt},
           {"min_streams", Kind::UInt},
           {"max_streams", Kind::UInt},
           {"padding", Kind::Bool},
           {"brutal", Kind::Object, "multiplex.brutal"}}}},
        {"multiplex.brutal",
         {{}, {{"enabled", Kind::Bool}, {"up_mbps", Kind::UInt}, {"down_mbps", Kind::UInt}}}},
        // shared/v2ray-transport (the fields of all its types in one)
        {"transport",
         {{},
          {{"type", Kind::String, {}, Required, "http ws quic grpc httpupgrade"},
           {"host", Kind::Strings},
           {"path", Kind::String},
           {"method", Kind::String},
           {"headers", Kind::Any},
           {"idle_timeout", Kind::String},
           {"ping_timeout", Kind::String},
           {"max_early_data", Kind::UInt},
           {"early_data_header_name", Kind::String},
           {"service_name", Kind::String},
           {"permit_without_stream", Kind::Bool}}}},
        // shared/udp-over-tcp
        {"udp_over_tcp", {{}, {{"enabled", Kind::Bool}, {"version", Kind::UInt, {}, false}}}},
        // inbound/tun (loopback_address since 1.12.0; the address fields split in 1.10.0)
        {"inbound.tun",
         {{},
          {{"type", Kind::String},
           {"tag", Kind::String},
           {"interface_name", Kind::String},
           {"address", Kind::Strings},
           {"mtu", Kind::UInt},
           {"auto_route", Kind::Bool},
           {"iproute2_table_index", Kind::UInt},
           {"iproute2_rule_index", Kind::UInt},
           {"auto_redirect", Kind::Bool},
           {"auto_redirect_input_mark", Kind::Mark},
           {"auto_redirect_output_mark", Kind::Mark},
           {"loopback_address", Kind::Strings},
           {"strict_route", Kind::Bool},
           {"route_address", Kind::Strings},
           {"route_exclude_address", Kind::Strings},
           {"route_address_set", Kind::Strings},
           {"route_exclude_address_set", Kind::Strings},
           {"endpoint_independent_nat", Kind::Bool},
           {"udp_timeout", Kind::String},
           {"stack", Kind::String, {}, false, "system gvisor mixed"},
           {"include_interface", Kind::Strings},
           {"exclude_interface", Kind::Strings},
           {"include_uid", Kind::UInts},
           {"include_uid_range", Kind::Strings},
           {"exclude_uid", Kind::UInts},
           {"exclude_uid_range", Kind::Strings},
           {"include_android_user", Kind::UInts},
           {"include_package", Kind::Strings},
           {"exclude_package", Kind::Strings},
           {"platform", Kind::Any}}}},
        // outbound/ (type and tag), then one entry per supported type
        {"outbound.common", {{}, {{"type", Kind::String}, {"tag", Kind::String}}}},
        {"outbound.server",
         {{"outbound.common", "dial"}, {{"server", Kind::String}, {"server_port", Kind::Port}}}},
        // outbound/direct (override_address and override_port deprecated in 1.11.0, still read)
        {"outbound.direct",
         {{"outbound.common", "dial"}, {{"override_address", Kind::String}, {"override_port", Kind::Port}}}},
        {"outbound.block", {{"outbound.common"}, {}}},
        // outbound/shadowsocks
        {"outbound.shadowsocks",
         {{"outbound.server"},
          {{"method",
            Kind::String,
            {},
            Required,
            "2022-blake3-aes-128-gcm 2022-blake3-aes-256-gcm 2022-blake3-chacha20-poly1305 none aes-128-gcm "
            "aes-192-gcm aes-256-gcm chacha20-ietf-poly1305 xchacha20-ietf-poly1305"},
           {"password", Kind::String, {}, Required},
           {"plugin", Kind::String, {}, false, "obfs-local v2ray-plugin"},
           {"plugin_opts", Kind::String},
           {"network", Kind::String, {}, false, Networks},
           {"udp_over_tcp", Kind::BoolOrObject, "udp_over_tcp"},
           {"multiplex", Kind::Object, "multiplex"}}}},
        // outbound/vless
        {"outbound.vless",
         {{"outbound.server"},
          {{"uuid", Kind::String, {}, Required},
           {"flow", Kind::String, {}, false, "xtls-rprx-vision"},
           {"network", Kind::String, {}, false, Networks},
           {"tls", Kind::Object, "tls"},
           {"packet_encoding", Kind::String, {}, false, "packetaddr xudp"},
           {"multiplex", Kind::Object, "multiplex"},
           {"transport", Kind::Object, "transport"}}}},
        // outbound/hysteria2 (server_ports and hop_interval since 1.11.0)
        {"outbound.hysteria2",
         {{"outbound.server"},
          {{"server_ports", Kind::Strings},
           {"hop_interval", Kind::String},
           {"up_mbps", Kind::UInt},
           {"down_mbps", Kind::UInt},
           {"obfs", Kind::Object, "hysteria2.obfs"},
           {"password", Kind::String},
           {"network", Kind::String, {}, false, Networks},
           {"tls", Kind::Object, "tls", Required},
           {"brutal_debug", Kind::Bool}}}},
        {"hysteria2.obfs",
         {{}, {{"type", Kind::String, {}, false, "salamander"}, {"password", Kind::String}}}},
        // route/
        {"route",
         {{},
          {{"rules", Kind::Typed, "route.rule"},
           {"rule_set", Kind::Any},
           {"final", Kind::String},
           {"auto_detect_interface", Kind::Bool},
           {"override_android_vpn", Kind::Bool},
           {"default_interface", Kind::String},
           {"default_mark", Kind::Mark},
           {"find_process", Kind::Bool},
           {"default_domain_resolver", Kind::Resolver},
           {"default_network_strategy", Kind::String},
           {"default_network_type", Kind::Strings},
           {"default_fallback_network_type", Kind::Strings},
           {"default_fallback_delay", Kind::String}}}},
        // route/rule_action: the fields of every action; which go with which is a cross-field rule
        {"route.action",
         {{},
          {{"action", Kind::String, {}, false, "route route-options reject hijack-dns sniff resolve"},
           {"outbound", Kind::String},
           {"override_address", Kind::String},
           {"override_port", Kind::Port},
           {"network_strategy", Kind::String},
           {"fallback_delay", Kind::String},
           {"udp_disable_domain_unmapping", Kind::Bool},
           {"udp_connect", Kind::Bool},
           {"udp_timeout", Kind::String},
           {"tls_fragment", Kind::Bool},
           {"tls_fragment_fallback_delay", Kind::String},
           {"tls_record_fragment", Kind::Bool},
           {"method", Kind::String, {}, false, "default drop"},
           {"no_drop", Kind::Bool},
           {"sniffer", Kind::Strings},
           {"timeout", Kind::String},
           {"server", Kind::String},
           {"strategy", Kind::String, {}, false, Strategies},
           {"disable_cache", Kind::Bool},
           {"rewrite_ttl", Kind::UInt},
           {"client_subnet", Kind::String}}}},
        // route/rule, default form
        {"route.rule.default",
         {{"route.action"},
          {{"type", Kind::String},
           {"inbound", Kind::Strings},
           {"ip_version", Kind::UInt},
           {"network", Kind::Strings},
           {"auth_user", Kind::Strings},
           {"protocol", Kind::Strings},
           {"client", Kind::Strings},
           {"domain", Kind::Strings},
           {"domain_suffix", Kind::Strings},
           {"domain_keyword", Kind::Strings},
           {"domain_regex", Kind::Strings},
           {"source_ip_cidr", Kind::Strings},
           {"source_ip_is_private", Kind::Bool},
           {"ip_cidr", Kind::Strings},
           {"ip_is_private", Kind::Bool},
           {"source_port", Kind::UInts},
           {"source_port_range", Kind::Strings},
           {"port", Kind::UInts},
           {"port_range", Kind::Strings},
           {"process_name", Kind::Strings},
           {"process_path", Kind::Strings},
           {"process_path_regex", Kind::Strings},
           {"package_name", Kind::Strings},
           {"user", Kind::Strings},
           {"user_id", Kind::UInts},
           {"clash_mode", Kind::String},
           {"network_type", Kind::Strings},
           {"network_is_expensive", Kind::Bool},
           {"network_is_constrained", Kind::Bool},
           {"wifi_ssid", Kind::Strings},
           {"wifi_bssid", Kind::Strings},
           {"rule_set", Kind::Strings},
           {"rule_set_ip_cidr_match_source", Kind::Bool},
           {"invert", Kind::Bool}}}},
        // route/rule, logical form
        {"route.rule.logical",
         {{"route.action"},
          {{"type", Kind::String},
           {"mode", Kind::String, {}, Required, "and or"},
           {"rules", Kind::Typed, "route.rule", Required},
           {"invert", Kind::Bool}}}},
    };
    return table;
}

// The type a member of a typed list has when it names none; empty when the type is required.
std::string_view defaultType(std::string_view family)
{
    if (family == "dns.server")
        return "legacy";
    if (family == "route.rule")
        return "default";
    return {};
}

// How sing-box names the family in "unknown ... type" errors.
std::string familyWord(std::string_view family)
{
    if (family == "dns.server")
        return "DNS server";
    if (family == "route.rule")
        return "rule";
    return std::string(family);
}

const char *goTypeName(Kind kind)
{
    switch (kind) {
    case Kind::String:
        return "string";
    case Kind::Bool:
        return "bool";
    case Kind::UInt:
    case Kind::Mark:
        return "uint32";
    case Kind::Port:
        return "uint16";
    case Kind::Strings:
        return "[]string";
    case Kind::UInts:
        return "[]uint32";
    case Kind::Object:
    case Kind::BoolOrObject:
    case Kind::Resolver:
        return "struct";
    case Kind::Typed:
        return "[]struct";
    case Kind::Any:
        break;
    }
    return "interface {}";
}

bool hasValue(std::string_view values, std::string_view value)
{
    while (!values.empty()) {
        const std::size_t space = values.find(' ');
        if (values.substr(0, space) == value)
            return true;
        values = space == std::string_view::npos ? std::string_view() : values.substr(space + 1);
    }
    return false;
}

bool isUnsigned(const JsonValue &value, double max)
{
    return value.type == JsonValue::Type::Number && value.integral && value.number >= 0 &&
           value.number <= max;
}

const Field *findField(const Schema &schema, std::string_view key)
{
    for (const Field &field : schema.fields)
        if (field.key == key)
            return &field;
    for (std::string_view include : schema.includes)
        if (const Field *field = findField(schemas().at(include), key))
            return field;
    return nullptr;
}

void requiredFields(const Schema &schema, std::vector<const Field *> &out)
{
    for (const Field &field : schema.fields)
        if (field.required)
            out.push_back(&field);
    for (std::string_view include : schema.includes)
        requiredFields(schemas().at(include), out);
}

std::string stringAt(const JsonValue &object, std::string_view key)
{
    const JsonValue *value = object.find(key);
    return value && value->isString() ? value->text : std::string();
}

// The documented structure: keys, value types, values, required fields. Stops at the first fault.
class StructureCheck
{
public:
    std::string error;

    bool object(const JsonValue &value, std::string_view schemaName, const std::string &path)
    {
        const Schema &schema = schemas().at(schemaName);
        for (const JsonMember &member : value.members) {
            const std::string memberPath = path.empty() ? member.key : path + '.' + member.key;
            const Field *field = findField(schema, member.key);
            if (!field)
                return fail(memberPath + ": json: unknown field \"" + member.key + '"');
            if (!check(member.value, *field, memberPath))
                return false;
        }
        std::vector<const Field *> required;
        requiredFields(schema, required);
        for (const Field *field : required) {
            const JsonValue *member = value.find(field->key);
            if (!member || member->type == JsonValue::Type::Null ||
                (member->isString() && member->text.empty()))
                return fail((path.empty() ? std::string() : path + ": ") + "missing " +
                            std::string(field->key));
        }
        return true;
    }

private:
    bool fail(const std::string &message)
    {
        error = message;
        return false;
    }

    bool mismatch(const JsonValue &value, const Field &field, const std::string &path)
    {
        return fail(path + ": json: cannot unmarshal " + jsonKindName(value.type) +
                    " into Go value of type " + goTypeName(field.kind));
    }

    bool typed(const JsonValue &value, std::string_view family, const std::string &path)
    {
        if (!value.isObject())
            return fail(path + ": json: cannot unmarshal " + jsonKindName(value.type) +
                        " into Go value of type struct");
        const JsonValue *typeValue = value.find("type");
        if (typeValue && typeValue->type != JsonValue::Type::Null && !typeValue->isString())
            return fail(path + ".type: json: cannot unmarshal " + jsonKindName(typeValue->type) +
                        " into Go value of type string");
        std::string type = stringAt(value, "type");
        if (type.empty())
            type = defaultType(family);
        if (type.empty())
            return fail(path + ": missing " + familyWord(family) + " type");
        const std::string schemaName = std::string(family) + '.' + type;
        // Shared groups are not types of their own.
        if (!schemas().count(schemaName) || type == "common" || type == "server" || type == "remote")
            return fail(path + ".type: unknown " + familyWord(family) + " type: " + type);
        return object(value, schemaName, path);
    }

    bool check(const JsonValue &value, const Field &field, const std::string &path)
    {
        // Go's decoder leaves a field at its zero value for null.
        if (value.type == JsonValue::Type::Null || field.kind == Kind::Any)
            return true;
        switch (field.kind) {
        case Kind::String:
            if (!value.isString())
                return mismatch(value, field, path);
            if (!field.values.empty() && !value.text.empty() && !hasValue(field.values, value.text))
                return fail(path + ": unknown value \"" + value.text + '"');
            return true;
        case Kind::Bool:
            return value.type == JsonValue::Type::Bool || mismatch(value, field, path);
        case Kind::UInt:
            return isUnsigned(value, 4294967295.0) || mismatch(value, field, path);
        case Kind::Port:
            return isUnsigned(value, 65535) || mismatch(value, field, path);
        case Kind::Mark:
            return value.isString() || isUnsigned(value, 4294967295.0) || mismatch(value, field, path);
        case Kind::Strings:
        case Kind::UInts: {
            const bool strings = field.kind == Kind::Strings;
            const auto fits = [strings](const JsonValue &item) {
                return strings ? item.isString() : isUnsigned(item, 4294967295.0);
            };
            if (!value.isArray())
                return fits(value) || mismatch(value, field, path);
            for (std::size_t i = 0; i < value.items.size(); ++i)
                if (!fits(value.items[i]))
                    return mismatch(value.items[i], field, path + '[' + std::to_string(i) + ']');
            return true;
        }
        case Kind::BoolOrObject:
            if (value.type == JsonValue::Type::Bool)
                return true;
            [[fallthrough]];
        case Kind::Object:
            return value.isObject() ? object(value, field.schema, path) : mismatch(value, field, path);
        case Kind::Resolver:
            if (value.isString())
                return true;
            return value.isObject() ? object(value, "resolver", path) : mismatch(value, field, path);
        case Kind::Typed: {
            if (!value.isArray())
                return mismatch(value, field, path);
            for (std::size_t i = 0; i < value.items.size(); ++i)
                if (!typed(value.items[i], field.schema, path + '[' + std::to_string(i) + ']'))
                    return false;
            return true;
        }
        case Kind::Any:
            break;
        }
        return true;
    }
};

std::vector<const JsonValue *> listItems(const JsonValue *value)
{
    std::vector<const JsonValue *> items;
    if (value && value->isObject())
        items.push_back(value);
    else if (value && value->isArray())
        for (const JsonValue &item : value->items)
            if (item.isObject())
                items.push_back(&item);
    return items;
}

std::string resolverName(const JsonValue *value)
{
    if (!value)
        return {};
    return value->isObject() ? stringAt(*value, "server") : value->isString() ? value->text : std::string();
}

std::string componentName(const char *kind, const JsonValue &object, std::size_t index)
{
    const std::string tag = stringAt(object, "tag");
    return std::string(kind) + '/' + stringAt(object, "type") + '[' +
           (tag.empty() ? std::to_string(index) : tag) + ']';
}

// Rules that span fields: references between tags, and options that only go together.
std::string checkRelations(const JsonValue &root)
{
    const JsonValue *dns = root.find("dns");
    const JsonValue *route = root.find("route");
    const std::vector<const JsonValue *> outbounds = listItems(root.find("outbounds"));
    const std::vector<const JsonValue *> inbounds = listItems(root.find("inbounds"));
    const std::vector<const JsonValue *> servers = listItems(dns ? dns->find("servers") : nullptr);

    std::set<std::string> outboundTags, inboundTags, serverTags;
    for (std::size_t i = 0; i < outbounds.size(); ++i)
        if (!outboundTags.insert(stringAt(*outbounds[i], "tag")).second &&
            !stringAt(*outbounds[i], "tag").empty())
            return "create service: duplicate outbound tag: " + stringAt(*outbounds[i], "tag");
    for (const JsonValue *inbound : inbounds)
        inboundTags.insert(stringAt(*inbound, "tag"));
    for (const JsonValue *server : servers)
        serverTags.insert(stringAt(*server, "tag"));
    const auto knownServer = [&](const std::string &name) {
        return name.empty() || serverTags.count(name) > 0;
    };
    const auto knownOutbound = [&](const std::string &name) {
        return name.empty() || outboundTags.count(name) > 0;
    };

    for (std::size_t i = 0; i < inbounds.size(); ++i) {
        const JsonValue &inbound = *inbounds[i];
        const JsonValue *nat = inbound.find("endpoint_independent_nat");
        // inbound/tun: "only available on the gvisor stack"; the default stack is mixed.
        if (nat && nat->type == JsonValue::Type::Bool && nat->boolean &&
            stringAt(inbound, "stack") != "gvisor")
            return "create service: initialize " + componentName("inbound", inbound, i) +
                   ": endpoint_independent_nat is only available on the gvisor stack";
    }
    for (std::size_t i = 0; i < outbounds.size(); ++i) {
        const JsonValue &outbound = *outbounds[i];
        const std::string name =
            "create service: initialize " + componentName("outbound", outbound, i) + ": ";
        if (!knownOutbound(stringAt(outbound, "detour")))
            return name + "detour outbound not found: " + stringAt(outbound, "detour");
        if (const std::string resolver = resolverName(outbound.find("domain_resolver"));
            !knownServer(resolver))
            return name + "domain resolver not found: " + resolver;
        const JsonValue *tls = outbound.find("tls");
        const JsonValue *enabled = tls && tls->isObject() ? tls->find("enabled") : nullptr;
        // outbound/hysteria2: "tls: Required" — QUIC carries no plain text.
        if (stringAt(outbound, "type") == "hysteria2" && !(enabled && enabled->boolean))
            return name + "TLS required";
    }
    for (std::size_t i = 0; i < servers.size(); ++i) {
        const std::string resolver = resolverName(servers[i]->find("domain_resolver"));
        const std::string legacy = stringAt(*servers[i], "address_resolver");
        if (!knownServer(resolver) || !knownServer(legacy))
            return "create service: initialize DNS server[" + std::to_string(i) +
                   "]: domain resolver not found: " + (resolver.empty() ? legacy : resolver);
    }
    if (dns && !knownServer(stringAt(*dns, "final")))
        return "create service: dns.final: DNS server not found: " + stringAt(*dns, "final");
    if (!route)
        return {};
    if (const std::string resolver = resolverName(route->find("default_domain_resolver"));
        !knownServer(resolver))
        return "create service: route.default_domain_resolver: DNS server not found: " + resolver;
    if (!knownOutbound(stringAt(*route, "final")))
        return "create service: route.final: outbound not found: " + stringAt(*route, "final");
    const std::vector<const JsonValue *> rules = listItems(route->find("rules"));
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const JsonValue &rule = *rules[i];
        const std::string path = "route.rules[" + std::to_string(i) + "]";
        const std::string action = stringAt(rule, "action").empty() ? "route" : stringAt(rule, "action");
        const std::string outbound = stringAt(rule, "outbound");
        // route/rule_action: only "route" carries an outbound, and needs one.
        if (action != "route" && rule.find("outbound"))
            return "decode config at: " + path + ".outbound: json: unknown field \"outbound\"";
        if (action == "route" && outbound.empty())
            return "create service: " + path + ": missing outbound";
        if (!knownOutbound(outbound))
            return "create service: " + path + ": outbound not found: " + outbound;
        const JsonValue *inbound = rule.find("inbound");
        for (const JsonValue &tag :
             inbound && inbound->isArray() ? inbound->items : std::vector<JsonValue>()) {
            if (tag.isString() && !inboundTags.count(tag.text))
                return "create service: " + path + ": inbound not found: " + tag.text;
        }
        if (inbound && inbound->isString() && !inboundTags.count(inbound->text))
            return "create service: " + path + ": inbound not found: " + inbound->text;
    }
    return {};
}

} // namespace

std::string checkStructure(const JsonValue &root, const std::string &decodePrefix)
{
    StructureCheck check;
    if (!check.object(root, "root", std::string()))
        return decodePrefix + check.error;
    std::string relation = checkRelations(root);
    // Decode errors found while relating fields name the configuration like the others.
    const std::string marker = "decode config at: ";
    if (relation.rfind(marker, 0) == 0)
        relation = decodePrefix + relation.substr(marker.size());
    return relation;
}

} // namespace stubcore
