#include "coreconfig.h"

#include "json.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <vector>

namespace nimbra::nethelper {
namespace {

using json::JsonMember;
using json::JsonValue;

enum class Kind
{
    String,
    Bool,
    False,      // a flag that may only be off
    Integer,    // non-negative, as digits
    StringList, // a string or an array of strings
    Resolver,   // a DNS server's tag, or the object form ("resolver")
    Object,     // nested: the schema named
    ObjectList, // an array of objects of the schema named
    Headers,    // any names, each a string or list of strings
    TunAddress, // replaced by the helper's
    TunName,    // must be the caller's, and is written as the helper's
};

struct Field
{
    std::string_view key;
    Kind kind = Kind::String;
    std::string_view schema = {};              // Object, ObjectList, Resolver
    std::vector<std::string_view> values = {}; // allowed string values; empty: any
};

using Schema = std::vector<Field>;

const std::vector<std::string_view> kStrategies = {"prefer_ipv4", "prefer_ipv6", "ipv4_only", "ipv6_only"};

// Checked against sing-box's configuration documentation up to 1.13 (kNewestCheckedCoreMinor). Every
// key that binds to an interface or address, marks, picks a namespace, names a file, runs a program,
// routes the machine or creates an interface is absent on purpose: endpoints, services, every inbound
// but the one TUN, system / system_interface, routing_mark, bind_interface, netns, detour,
// auto_route, certificate_path, plugin, log output.
const std::map<std::string_view, Schema> &schemas()
{
    static const std::map<std::string_view, Schema> all = {
        {"root",
         {{"log", Kind::Object, "log"},
          {"dns", Kind::Object, "dns"},
          {"inbounds", Kind::ObjectList, "tun"},
          {"outbounds", Kind::ObjectList, "outbound"},
          {"route", Kind::Object, "route"}}},
        {"log",
         {{"level", Kind::String, {}, {"trace", "debug", "info", "warn", "error", "fatal", "panic"}},
          {"timestamp", Kind::Bool},
          {"disabled", Kind::Bool}}},
        {"dns",
         {{"servers", Kind::ObjectList, "dns.server"},
          {"final", Kind::String},
          {"strategy", Kind::String, {}, kStrategies}}},
        {"dns.server",
         {{"tag", Kind::String},
          {"type", Kind::String, {}, {"udp", "tcp", "tls", "quic", "https", "h3"}},
          {"server", Kind::String},
          {"server_port", Kind::Integer},
          {"address", Kind::String},
          {"domain_resolver", Kind::Resolver, "resolver"},
          {"address_resolver", Kind::String},
          {"address_strategy", Kind::String, {}, kStrategies}}},
        {"tun",
         {{"type", Kind::String, {}, {"tun"}},
          {"tag", Kind::String},
          {"interface_name", Kind::TunName},
          {"address", Kind::TunAddress},
          {"mtu", Kind::Integer},
          {"auto_route", Kind::False},
          {"strict_route", Kind::False},
          {"stack", Kind::String, {}, {"gvisor", "mixed", "system"}},
          {"endpoint_independent_nat", Kind::Bool}}},
        // The dial fields every outbound type may carry.
        {"dial",
         {{"type", Kind::String, {}, {"shadowsocks", "vless", "hysteria2", "direct"}},
          {"tag", Kind::String},
          {"connect_timeout", Kind::String},
          {"tcp_fast_open", Kind::Bool},
          {"tcp_multi_path", Kind::Bool},
          {"udp_fragment", Kind::Bool},
          {"domain_resolver", Kind::Resolver, "resolver"}}},
        {"server", {{"server", Kind::String}, {"server_port", Kind::Integer}}},
        {"shadowsocks",
         {{"method", Kind::String},
          {"password", Kind::String},
          {"network", Kind::String, {}, {"tcp", "udp"}},
          {"udp_over_tcp", Kind::Object, "udp_over_tcp"},
          {"multiplex", Kind::Object, "multiplex"}}},
        {"vless",
         {{"uuid", Kind::String},
          {"flow", Kind::String},
          {"network", Kind::String, {}, {"tcp", "udp"}},
          {"packet_encoding", Kind::String},
          {"tls", Kind::Object, "tls"},
          {"multiplex", Kind::Object, "multiplex"},
          {"transport", Kind::Object, "transport"}}},
        {"hysteria2",
         {{"server_ports", Kind::StringList},
          {"hop_interval", Kind::String},
          {"up_mbps", Kind::Integer},
          {"down_mbps", Kind::Integer},
          {"obfs", Kind::Object, "obfs"},
          {"password", Kind::String},
          {"network", Kind::String, {}, {"tcp", "udp"}},
          {"tls", Kind::Object, "tls"}}},
        {"direct", {}},
        {"resolver",
         {{"server", Kind::String},
          {"strategy", Kind::String, {}, kStrategies},
          {"disable_cache", Kind::Bool},
          {"rewrite_ttl", Kind::Integer},
          {"client_subnet", Kind::String}}},
        {"tls",
         {{"enabled", Kind::Bool},
          {"disable_sni", Kind::Bool},
          {"server_name", Kind::String},
          {"insecure", Kind::Bool},
          {"alpn", Kind::StringList},
          {"min_version", Kind::String},
          {"max_version", Kind::String},
          {"cipher_suites", Kind::StringList},
          {"certificate", Kind::StringList},
          {"fragment", Kind::Bool},
          {"fragment_fallback_delay", Kind::String},
          {"record_fragment", Kind::Bool},
          {"utls", Kind::Object, "utls"},
          {"reality", Kind::Object, "reality"},
          {"ech", Kind::Object, "ech"}}},
        {"utls", {{"enabled", Kind::Bool}, {"fingerprint", Kind::String}}},
        {"reality", {{"enabled", Kind::Bool}, {"public_key", Kind::String}, {"short_id", Kind::String}}},
        {"ech", {{"enabled", Kind::Bool}, {"config", Kind::StringList}}},
        {"udp_over_tcp", {{"enabled", Kind::Bool}, {"version", Kind::Integer}}},
        {"multiplex",
         {{"enabled", Kind::Bool},
          {"protocol", Kind::String, {}, {"smux", "yamux", "h2mux"}},
          {"max_connections", Kind::Integer},
          {"min_streams", Kind::Integer},
          {"max_streams", Kind::Integer},
          {"padding", Kind::Bool},
          {"brutal", Kind::Object, "brutal"}}},
        {"brutal", {{"enabled", Kind::Bool}, {"up_mbps", Kind::Integer}, {"down_mbps", Kind::Integer}}},
        {"transport",
         {{"type", Kind::String, {}, {"http", "ws", "quic", "grpc", "httpupgrade"}},
          {"host", Kind::StringList},
          {"path", Kind::String}, // a URL path, not a file
          {"method", Kind::String},
          {"headers", Kind::Headers},
          {"idle_timeout", Kind::String},
          {"ping_timeout", Kind::String},
          {"max_early_data", Kind::Integer},
          {"early_data_header_name", Kind::String},
          {"service_name", Kind::String},
          {"permit_without_stream", Kind::Bool}}},
        {"obfs", {{"type", Kind::String, {}, {"salamander"}}, {"password", Kind::String}}},
        {"route",
         {{"auto_detect_interface", Kind::Bool},
          {"default_domain_resolver", Kind::Resolver, "resolver"},
          {"rules", Kind::ObjectList, "rule"},
          {"final", Kind::String}}},
        {"rule", {{"inbound", Kind::StringList}, {"outbound", Kind::String}}},
    };
    return all;
}

struct Refused
{
    std::string reason;
};

// Decodes UTF-8; false for anything Go would replace with U+FFFD.
bool decodeUtf8(std::string_view text, std::vector<char32_t> &out)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        int length = byte < 0x80         ? 1
                     : (byte >> 5) == 6  ? 2
                     : (byte >> 4) == 14 ? 3
                     : (byte >> 3) == 30 ? 4
                                         : 0;
        if (length == 0 || i + static_cast<std::size_t>(length) > text.size())
            return false;
        char32_t code = length == 1 ? byte : byte & (0x7f >> length);
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next >> 6) != 2)
                return false;
            code = (code << 6) | (next & 0x3f);
        }
        static constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kShortest[length] || code > 0x10ffff || (code >= 0xd800 && code < 0xe000))
            return false;
        out.push_back(code);
        i += static_cast<std::size_t>(length);
    }
    return true;
}

// A key as Go's case-insensitive match sees it next to ASCII names: ASCII letters lowered, and the two
// non-ASCII letters whose simple case folding reaches an ASCII one (KELVIN SIGN to k, LONG S to s).
std::u32string folded(std::string_view key)
{
    std::vector<char32_t> codes;
    if (!decodeUtf8(key, codes))
        return U"\uFFFD";
    std::u32string out;
    for (char32_t code : codes) {
        if (code >= U'A' && code <= U'Z')
            code += 32;
        else if (code == 0x212a)
            code = U'k';
        else if (code == 0x17f)
            code = U's';
        out += code;
    }
    return out;
}

std::string printable(std::string_view text)
{
    std::string out;
    for (const char c : text.substr(0, 64)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            out += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        }
    }
    return out;
}

class Writer
{
public:
    Writer(std::string_view tunName, std::string_view tunAddress)
        : m_tunName(tunName)
        , m_tunAddress(tunAddress)
    {}

    std::string document(const JsonValue &root)
    {
        if (!root.isObject())
            throw Refused{"the configuration is not a JSON object"};
        std::string out;
        object(root, {"root"}, "", out);
        if (m_tunnels != 1)
            throw Refused{"the configuration needs exactly one inbound, the tunnel"};
        return out;
    }

private:
    [[noreturn]] static void refuse(const std::string &path, const std::string &what)
    {
        throw Refused{path + ": " + what};
    }

    static std::string join(const std::string &path, std::string_view key)
    {
        return path.empty() ? std::string(key) : path + "." + std::string(key);
    }

    static void string(std::string_view text, const std::string &path, std::string &out)
    {
        std::vector<char32_t> codes;
        if (!decodeUtf8(text, codes))
            refuse(path, "not UTF-8");
        out += '"';
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else {
                out += c;
            }
        }
        out += '"';
    }

    static void stringList(const JsonValue &value, const std::string &path, std::string &out)
    {
        if (value.isString())
            return string(value.text, path, out);
        if (!value.isArray())
            refuse(path, "must be a string or a list of strings");
        out += '[';
        for (std::size_t index = 0; index < value.items.size(); ++index) {
            const std::string itemPath = path + "[" + std::to_string(index) + "]";
            if (!value.items[index].isString())
                refuse(itemPath, "must be a string");
            if (index > 0)
                out += ',';
            string(value.items[index].text, itemPath, out);
        }
        out += ']';
    }

    // The object with the members of the schemas named, each checked and written in document order.
    void object(const JsonValue &value, std::initializer_list<std::string_view> names,
                const std::string &path, std::string &out)
    {
        if (!value.isObject())
            refuse(path.empty() ? "the configuration" : path, "must be an object");
        std::vector<std::u32string> seen;
        out += '{';
        bool first = true;
        for (const JsonMember &member : value.members) {
            const std::string memberPath = join(path, printable(member.key));
            const std::u32string key = folded(member.key);
            if (std::find(seen.begin(), seen.end(), key) != seen.end())
                refuse(memberPath, "appears twice (keys are compared without case, as the core does)");
            seen.push_back(key);
            const Field *field = nullptr;
            const Field *caseOnly = nullptr;
            for (const std::string_view name : names) {
                for (const Field &candidate : schemas().at(name)) {
                    if (candidate.key == member.key)
                        field = &candidate;
                    else if (folded(candidate.key) == key)
                        caseOnly = &candidate;
                }
            }
            if (!field && caseOnly)
                refuse(memberPath, "matches the key \"" + std::string(caseOnly->key) +
                                       "\" only without case, which the core would read as that key");
            if (!field)
                refuse(memberPath, "is not a key the client writes here");
            if (!first)
                out += ',';
            first = false;
            string(member.key, memberPath, out);
            out += ':';
            valueOf(member.value, *field, memberPath, out);
        }
        out += '}';
    }

    void valueOf(const JsonValue &value, const Field &field, const std::string &path, std::string &out)
    {
        switch (field.kind) {
        case Kind::String:
            if (!value.isString())
                refuse(path, "must be a string");
            if (!field.values.empty() &&
                std::find(field.values.begin(), field.values.end(), value.text) == field.values.end())
                refuse(path, "\"" + printable(value.text) + "\" is not a value the client writes");
            return string(value.text, path, out);
        case Kind::Bool:
        case Kind::False:
            if (value.type != JsonValue::Type::Bool)
                refuse(path, "must be true or false");
            if (field.kind == Kind::False && value.boolean)
                refuse(path, "must be false");
            out += value.boolean ? "true" : "false";
            return;
        case Kind::Integer:
            if (value.type != JsonValue::Type::Number || !value.integral || value.text.starts_with('-') ||
                value.text.size() > 10)
                refuse(path, "must be a whole number of at most 10 digits");
            out += value.text;
            return;
        case Kind::StringList:
            return stringList(value, path, out);
        case Kind::Resolver:
            if (value.isString())
                return string(value.text, path, out);
            return object(value, {field.schema}, path, out);
        case Kind::Object:
            return object(value, {field.schema}, path, out);
        case Kind::ObjectList:
            if (!value.isArray())
                refuse(path, "must be a list");
            out += '[';
            for (std::size_t index = 0; index < value.items.size(); ++index) {
                if (index > 0)
                    out += ',';
                item(value.items[index], field.schema, path + "[" + std::to_string(index) + "]", out);
            }
            out += ']';
            return;
        case Kind::Headers: {
            if (!value.isObject())
                refuse(path, "must be an object");
            std::vector<std::u32string> seen;
            out += '{';
            for (std::size_t index = 0; index < value.members.size(); ++index) {
                const JsonMember &member = value.members[index];
                const std::string memberPath = join(path, printable(member.key));
                const std::u32string key = folded(member.key);
                if (std::find(seen.begin(), seen.end(), key) != seen.end())
                    refuse(memberPath, "appears twice");
                seen.push_back(key);
                if (index > 0)
                    out += ',';
                string(member.key, memberPath, out);
                out += ':';
                stringList(member.value, memberPath, out);
            }
            out += '}';
            return;
        }
        case Kind::TunName:
            if (!value.isString() || value.text != m_tunName)
                refuse(path, "the tunnel is not " + std::string(m_tunName) + ", the caller's own");
            return string(m_tunName, path, out);
        case Kind::TunAddress: {
            const bool one =
                value.isString() || (value.isArray() && value.items.size() == 1 && value.items[0].isString());
            if (!one)
                refuse(path, "the tunnel takes one address");
            out += '[';
            string(m_tunAddress, path, out);
            out += ']';
            return;
        }
        }
    }

    // One element of a list: an inbound must be the tunnel, an outbound is checked by its type.
    void item(const JsonValue &value, std::string_view schema, const std::string &path, std::string &out)
    {
        const JsonValue *type = value.isObject() ? value.find("type") : nullptr;
        if (schema == "tun") {
            if (!type || !type->isString() || type->text != "tun")
                refuse(path, "the only inbound allowed is the tunnel (type \"tun\")");
            if (!value.find("interface_name") || !value.find("address"))
                refuse(path, "the tunnel needs its interface_name and address");
            ++m_tunnels;
            return object(value, {"tun"}, path, out);
        }
        if (schema == "outbound") {
            if (!type || !type->isString())
                refuse(path, "an outbound needs its type");
            if (type->text == "direct")
                return object(value, {"dial"}, path, out);
            if (type->text == "shadowsocks")
                return object(value, {"dial", "server", "shadowsocks"}, path, out);
            if (type->text == "vless")
                return object(value, {"dial", "server", "vless"}, path, out);
            if (type->text == "hysteria2")
                return object(value, {"dial", "server", "hysteria2"}, path, out);
            refuse(path, "the outbound type \"" + printable(type->text) + "\" is not one the client writes");
        }
        object(value, {schema}, path, out);
    }

    std::string_view m_tunName;
    std::string_view m_tunAddress;
    int m_tunnels = 0;
};

} // namespace

CoreConfig writeCoreConfig(std::string_view input, std::string_view tunName, std::string_view tunAddress)
{
    std::string error;
    const auto root = json::parseJson(input, error);
    if (!root)
        return {{}, "the configuration is not JSON: " + error};
    try {
        return {Writer(tunName, tunAddress).document(*root), {}};
    } catch (const Refused &refused) {
        return {{}, refused.reason};
    }
}

std::string coreVersionRefusal(std::string_view output)
{
    constexpr std::string_view kPrefix = "sing-box version ";
    if (!output.starts_with(kPrefix))
        return "the core did not name its version";
    output.remove_prefix(kPrefix.size());
    int parts[2] = {0, 0};
    for (int &part : parts) {
        std::size_t digits = 0;
        while (digits < output.size() && digits < 6 && output[digits] >= '0' && output[digits] <= '9')
            part = part * 10 + (output[digits++] - '0');
        if (digits == 0)
            return "the core did not name its version";
        output.remove_prefix(digits);
        if (&part == &parts[0] && !output.starts_with('.'))
            return "the core did not name its version";
        if (&part == &parts[0])
            output.remove_prefix(1);
    }
    if (parts[0] < kNewestCheckedCoreMajor ||
        (parts[0] == kNewestCheckedCoreMajor && parts[1] <= kNewestCheckedCoreMinor))
        return {};
    return "the core is sing-box " + std::to_string(parts[0]) + "." + std::to_string(parts[1]) +
           ", newer than " + std::to_string(kNewestCheckedCoreMajor) + "." +
           std::to_string(kNewestCheckedCoreMinor) +
           ", the newest whose configuration the helper's allow-list was checked against (see the "
           "README's privilege section to raise it)";
}

} // namespace nimbra::nethelper
