// nimbra-net: the one privileged piece of the Linux client. It carries cap_net_admin as a file
// capability, may be run only by root and the group "nimbra", and does three things for the user who
// runs it, each checked in full before anything changes:
//
//   nimbra-net routes add      game routes on stdin, one "a.b.c.d/n" a line, plus "keep-out a.b.c.d"
//                              lines naming the service's and the node's addresses
//   nimbra-net routes delete   routes on stdin as above
//   nimbra-net routes cleanup  every route left on the user's own tunnel
//   nimbra-net core check|run -c PATH
//                              reads the configuration from PATH (the client's pipe), checks it and
//                              becomes the installed core, which gets cap_net_admin and nothing else
//
// Every route points at the caller's own TUN interface and address (derived from the real uid, never
// from input), carries the client's routing-protocol mark and is a game's range: nothing wider than
// /12, nothing private, shared or local, at most 4,096 routes and 2^26 addresses on the tunnel.
// Answers: for routes one line per route tried on stdout, "<errno> <route>" (0: done); refusals and
// bad input on stderr with exit code 2, and nothing changed. No Qt, no plugins, nothing read from the
// environment.
#include "platform/netpolicy.h"
#include "platform/routecommand.h"
#include "tools/stub-core/json.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <net/if.h>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace platform = nimbra::platform;

namespace {

constexpr std::size_t kMaxInput = 1024 * 1024;
constexpr int kRefused = 2;

int refuse(const std::string &reason)
{
    std::fprintf(stderr, "nimbra-net: %s\n", reason.c_str());
    return kRefused;
}

// Up to kMaxInput bytes from fd; nullopt when there is more or reading fails.
std::optional<std::string> readAll(int fd)
{
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            return content;
        if (content.size() + static_cast<std::size_t>(count) > kMaxInput)
            return std::nullopt;
        content.append(buffer, static_cast<std::size_t>(count));
    }
}

struct Tunnel
{
    std::string name;
    std::uint32_t address = 0;
};

Tunnel ownTunnel()
{
    const auto uid = static_cast<std::uint32_t>(getuid());
    return {platform::tunInterfaceName(uid), platform::tunAddress(uid)};
}

struct Range
{
    std::uint32_t network = 0;
    int prefixLength = 0;
};

// "a.b.c.d/n" with no host bits set.
std::optional<Range> parseRange(std::string_view text)
{
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos || slash + 1 == text.size() || text.size() - slash > 3)
        return std::nullopt;
    const auto network = platform::parseIPv4(text.substr(0, slash));
    int prefixLength = 0;
    for (const char digit : text.substr(slash + 1)) {
        if (digit < '0' || digit > '9')
            return std::nullopt;
        prefixLength = prefixLength * 10 + (digit - '0');
    }
    if (!network || prefixLength > 32 || (*network & ~platform::maskOfPrefixLength(prefixLength)) != 0)
        return std::nullopt;
    return Range{*network, prefixLength};
}

std::string rangeText(const Range &range)
{
    return platform::formatIPv4(range.network) + "/" + std::to_string(range.prefixLength);
}

platform::OwnRoute ownRoute(const Range &range, const Tunnel &tunnel)
{
    return {platform::formatIPv4(range.network),
            platform::formatIPv4(platform::maskOfPrefixLength(range.prefixLength)), range.prefixLength,
            platform::formatIPv4(tunnel.address)};
}

// The routes already on the caller's tunnel.
std::optional<std::vector<platform::OwnRoute>> tunnelRoutes(const Tunnel &tunnel)
{
    auto routes = platform::listOwnRoutes();
    if (!routes)
        return std::nullopt;
    std::erase_if(*routes, [&](const platform::OwnRoute &route) {
        return route.gateway != platform::formatIPv4(tunnel.address);
    });
    return routes;
}

int printResults(const std::vector<platform::OwnRoute> &routes, const std::vector<int> &results)
{
    int failures = 0;
    for (std::size_t index = 0; index < results.size(); ++index) {
        std::printf("%d %s/%d\n", results[index], routes[index].destination.c_str(),
                    routes[index].prefixLength);
        failures += results[index] != 0;
    }
    std::fflush(stdout);
    return failures == 0 && results.size() == routes.size() ? 0 : 1;
}

int changeRoutes(std::string_view verb)
{
    const Tunnel tunnel = ownTunnel();
    if (verb == "cleanup") {
        const auto routes = tunnelRoutes(tunnel);
        if (!routes)
            return refuse("cannot read the routing table");
        return printResults(*routes, platform::changeRoutes(platform::RouteChange::Delete, *routes));
    }
    const bool add = verb == "add";
    if (!add && verb != "delete")
        return refuse("unknown routes command");
    const auto input = readAll(STDIN_FILENO);
    if (!input)
        return refuse("input unreadable or larger than 1 MiB");

    std::vector<Range> ranges;
    std::vector<std::uint32_t> keepOut;
    std::set<std::pair<std::uint32_t, int>> seen;
    std::size_t lineNumber = 0;
    for (std::string_view rest = *input; !rest.empty();) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        ++lineNumber;
        if (line.empty())
            continue;
        if (line.starts_with("keep-out ")) {
            const auto address = platform::parseIPv4(line.substr(9));
            if (!address)
                return refuse("line " + std::to_string(lineNumber) + ": bad keep-out address");
            keepOut.push_back(*address);
            continue;
        }
        const auto range = parseRange(line);
        if (!range)
            return refuse("line " + std::to_string(lineNumber) + ": not a route a.b.c.d/n");
        if (seen.insert({range->network, range->prefixLength}).second)
            ranges.push_back(*range);
        if (ranges.size() > platform::kMaxSessionRoutes)
            return refuse("more than 4096 routes");
    }

    std::vector<platform::OwnRoute> routes;
    for (const Range &range : ranges)
        routes.push_back(ownRoute(range, tunnel));
    if (!add)
        return printResults(routes, platform::changeRoutes(platform::RouteChange::Delete, routes));

    const auto existing = tunnelRoutes(tunnel);
    if (!existing)
        return refuse("cannot read the routing table");
    std::uint64_t addresses = 0;
    for (const platform::OwnRoute &route : *existing)
        addresses += std::uint64_t(1) << (32 - route.prefixLength);
    for (const Range &range : ranges) {
        if (const char *reason = platform::gameRouteRefusal(range.network, range.prefixLength))
            return refuse(rangeText(range) + ": " + reason);
        for (const std::uint32_t address : keepOut) {
            if (platform::rangeHolds(range.network, range.prefixLength, address))
                return refuse(rangeText(range) + ": holds the service's or the node's address " +
                              platform::formatIPv4(address));
        }
        addresses += std::uint64_t(1) << (32 - range.prefixLength);
    }
    if (existing->size() + ranges.size() > platform::kMaxSessionRoutes)
        return refuse("more than 4096 routes on the tunnel");
    if (addresses > platform::kMaxSessionAddresses)
        return refuse("more than 2^26 addresses on the tunnel");
    if (if_nametoindex(tunnel.name.c_str()) == 0)
        return refuse("the tunnel " + tunnel.name + " does not exist");
    return printResults(routes, platform::changeRoutes(platform::RouteChange::Add, routes));
}

bool isTrue(const stubcore::JsonValue *value)
{
    return value && value->type == stubcore::JsonValue::Type::Bool && value->boolean;
}

// Keys that would let the core steer or mark traffic beyond its own tunnel, anywhere in the document.
std::optional<std::string> forbiddenKey(const stubcore::JsonValue &value)
{
    static constexpr std::string_view kForbidden[] = {"routing_mark", "default_mark", "netns",
                                                      "bind_interface", "default_interface"};
    for (const stubcore::JsonMember &member : value.members) {
        for (const std::string_view key : kForbidden) {
            if (member.key == key)
                return member.key;
        }
        if (auto found = forbiddenKey(member.value))
            return found;
    }
    for (const stubcore::JsonValue &item : value.items) {
        if (auto found = forbiddenKey(item))
            return found;
    }
    return std::nullopt;
}

// Why the core must not run this configuration, or nothing.
std::optional<std::string> configRefusal(const std::string &text, const Tunnel &tunnel)
{
    std::string error;
    const auto config = stubcore::parseJson(text, error);
    if (!config || !config->isObject())
        return "the configuration is not a JSON object";
    if (auto key = forbiddenKey(*config))
        return "the configuration sets " + *key;
    const stubcore::JsonValue *inbounds = config->find("inbounds");
    int tunnels = 0;
    for (const stubcore::JsonValue &inbound :
         inbounds && inbounds->isArray() ? inbounds->items : std::vector<stubcore::JsonValue>()) {
        const stubcore::JsonValue *type = inbound.find("type");
        if (!type || !type->isString() || type->text != "tun")
            continue;
        ++tunnels;
        for (const char *key : {"auto_route", "auto_redirect", "strict_route"}) {
            if (isTrue(inbound.find(key)))
                return std::string("the tunnel sets ") + key;
        }
        const stubcore::JsonValue *name = inbound.find("interface_name");
        if (!name || !name->isString() || name->text != tunnel.name)
            return "the tunnel is not " + tunnel.name;
        const std::string own =
            platform::formatIPv4(tunnel.address) + "/" + std::to_string(platform::kTunPrefixLength);
        const stubcore::JsonValue *address = inbound.find("address");
        const bool single = address && address->isString() && address->text == own;
        const bool list = address && address->isArray() && address->items.size() == 1 &&
                          address->items[0].isString() && address->items[0].text == own;
        if (!single && !list)
            return "the tunnel's address is not " + own;
    }
    if (tunnels != 1)
        return "the configuration needs exactly one tunnel";
    return std::nullopt;
}

// The core next to this program: data/nimbra-server in the folder of the file that runs, which for
// the installed helper is root's.
std::optional<std::string> corePath()
{
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return std::nullopt;
    std::string path(buffer, static_cast<std::size_t>(length));
    path = path.substr(0, path.find_last_of('/')) + "/data/nimbra-server";
    struct stat status = {};
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return path;
}

// cap_net_admin for the core: inheritable and ambient, so that it passes the exec.
bool passNetAdmin()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const unsigned index = CAP_TO_INDEX(CAP_NET_ADMIN);
    const unsigned mask = CAP_TO_MASK(CAP_NET_ADMIN);
    if ((data[index].permitted & mask) == 0)
        return false;
    // cap_net_admin alone, whatever else the sets held.
    for (auto &set : data)
        set.permitted = set.effective = set.inheritable = 0;
    data[index].permitted = data[index].effective = data[index].inheritable = mask;
    if (syscall(SYS_capset, &header, data) != 0)
        return false;
    return prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_RAISE, CAP_NET_ADMIN, 0, 0) == 0;
}

// The stand-in core's failure modes and the version it plays (tests); a real core ignores them, and
// they name no file and no code. Printable text of at most 256 bytes each.
std::vector<std::string> stubVariables(char **environment)
{
    std::vector<std::string> kept;
    for (const std::string_view name : {"NIMBRA_STUB_CORE_MODE=", "NIMBRA_STUB_CORE_VERSION="}) {
        for (char **entry = environment; entry && *entry; ++entry) {
            const std::string_view text(*entry);
            if (!text.starts_with(name) || text.size() > 256)
                continue;
            const std::string_view value = text.substr(name.size());
            if (std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c <= 0x7e; }))
                kept.emplace_back(text);
            break;
        }
    }
    return kept;
}

// Becomes the installed core with these arguments and the fixed environment.
int execCore(const std::string &core, std::vector<std::string> arguments, char **environment)
{
    std::vector<std::string> variables = {"PATH=/usr/sbin:/usr/bin:/sbin:/bin", "LANG=C.UTF-8"};
    for (std::string &stub : stubVariables(environment))
        variables.push_back(std::move(stub));
    std::vector<char *> envp;
    for (std::string &variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string program = core;
    std::vector<char *> argv = {program.data()};
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    execve(program.c_str(), argv.data(), envp.data());
    return refuse(std::string("cannot start the core: ") + std::strerror(errno));
}

int runCore(int argc, char **argv, char **environment)
{
    // The client's death must end the core: the death signal did not survive this program's own exec.
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
    if (getppid() != parent)
        return 127;

    const std::string_view mode = argv[2];
    if (mode == "version" && argc == 3) {
        // Asked without the capability: the core's version needs no privilege.
        const auto core = corePath();
        return core ? execCore(*core, {"version"}, environment)
                    : refuse("no core installed beside nimbra-net");
    }
    if ((mode != "check" && mode != "run") || argc != 5 || std::string_view(argv[3]) != "-c")
        return refuse("usage: nimbra-net core version | core check|run -c PATH");
    // Opened with the caller's own rights: this program has no power over files.
    const int input = open(argv[4], O_RDONLY | O_CLOEXEC);
    if (input < 0)
        return refuse(std::string("cannot open the configuration: ") + std::strerror(errno));
    const auto config = readAll(input);
    close(input);
    if (!config)
        return refuse("configuration unreadable or larger than 1 MiB");
    if (const auto refusal = configRefusal(*config, ownTunnel()))
        return refuse(*refusal);
    const auto core = corePath();
    if (!core)
        return refuse("no core installed beside nimbra-net");

    // The configuration goes to the core through a pipe of its own, whole before the exec.
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return refuse(std::string("pipe: ") + std::strerror(errno));
    if (config->size() > 60000 && fcntl(pipeFds[1], F_SETPIPE_SZ, static_cast<int>(kMaxInput)) < 0)
        return refuse(std::string("pipe size: ") + std::strerror(errno));
    for (std::size_t written = 0; written < config->size();) {
        const ssize_t count = write(pipeFds[1], config->data() + written, config->size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return refuse(std::string("pipe: ") + std::strerror(errno));
        written += static_cast<std::size_t>(count);
    }
    close(pipeFds[1]);
    // Descriptor 3, open across the exec (dup2 onto itself would keep close-on-exec).
    if (pipeFds[0] != 3 && dup2(pipeFds[0], 3) != 3)
        return refuse(std::string("pipe: ") + std::strerror(errno));
    if (pipeFds[0] != 3)
        close(pipeFds[0]);
    fcntl(3, F_SETFD, 0);
    syscall(SYS_close_range, 4u, ~0u, 0u);

    // Root keeps what it has: dropping it would make the exec gain rights again, which ends the
    // death signal.
    if (getuid() != 0 && !passNetAdmin())
        return refuse("this program lacks cap_net_admin (setcap cap_net_admin+ep on it)");
    return execCore(*core, {std::string(mode), "-c", "/dev/fd/3", "--disable-color"}, environment);
}

} // namespace

int main(int argc, char **argv, char **environment)
{
    if (argc >= 3 && std::string_view(argv[1]) == "routes" && argc == 3)
        return changeRoutes(argv[2]);
    if (argc >= 3 && std::string_view(argv[1]) == "core")
        return runCore(argc, argv, environment);
    return refuse("usage: nimbra-net routes add|delete|cleanup | core version | core check|run -c PATH");
}
