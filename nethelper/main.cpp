// nimbra-net: the one privileged piece of the Linux client. It carries cap_net_admin as a file
// capability (permitted, not effective), may be run only by root and the group "nimbra", and does three
// things for the user who runs it, each checked in full before anything changes:
//
//   nimbra-net routes add      game routes on stdin, one "a.b.c.d/n" a line, plus "keep-out a.b.c.d"
//                              lines naming the service's and the node's addresses
//   nimbra-net routes delete   routes on stdin as above
//   nimbra-net routes cleanup  every route left in the user's own table, and the user's rule
//   nimbra-net core check|run -c PATH
//                              reads the configuration from PATH (the client's pipe), checks it against
//                              the allow-list, writes the core's own from what it checked and becomes the
//                              installed core, which gets cap_net_admin and nothing else
//   nimbra-net core version    the installed core's version, run without any capability
//
// Each user's routes go into a table of that user's own (the uid decides it, never input), consulted
// for that uid alone through a policy rule, and onto that user's own TUN interface: another user's and
// root's traffic never sees them. Every route is a game's range: nothing wider than /12, nothing
// private, shared or local, at most 4,096 routes and 2^26 addresses in the table, counted again after
// the change so that parallel calls cannot pass the caps. The capability is raised only around the
// calls that change routes and rules, after the input has been read and checked.
// Answers: for routes one line per route tried on stdout, "<errno> <route>" (0: done); refusals and
// bad input on stderr with exit code 2, and nothing changed. No Qt, no plugins, nothing read from the
// environment.
#include "nethelper/coreconfig.h"
#include "platform/netpolicy.h"
#include "platform/routecommand.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <net/if.h>
#include <optional>
#include <poll.h>
#include <set>
#include <string>
#include <string_view>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
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

// cap_net_admin in the effective set only while a change needs it; the permitted set keeps it.
bool setNetAdminEffective(bool raised)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    for (auto &set : data)
        set.effective = 0;
    const unsigned index = CAP_TO_INDEX(CAP_NET_ADMIN);
    if (raised)
        data[index].effective = data[index].permitted & CAP_TO_MASK(CAP_NET_ADMIN);
    return syscall(SYS_capset, &header, data) == 0;
}

class NetAdmin
{
public:
    NetAdmin() { setNetAdminEffective(true); }
    ~NetAdmin() { setNetAdminEffective(false); }
    NetAdmin(const NetAdmin &) = delete;
    NetAdmin &operator=(const NetAdmin &) = delete;
};

// The caller's own tunnel and table, from the real uid alone.
struct Tunnel
{
    std::string name;
    std::uint32_t table = 0;
};

std::optional<Tunnel> ownTunnel()
{
    const auto uid = static_cast<std::uint32_t>(getuid());
    const auto table = platform::userRouteTable(uid);
    if (!table)
        return std::nullopt;
    return Tunnel{platform::tunInterfaceName(uid), *table};
}

// Every IPv4 address in use, those on the caller's tunnel marked as its own.
std::optional<std::vector<platform::AddressInUse>> addressesInUse(const Tunnel &tunnel)
{
    const auto addresses = platform::listInterfaceAddresses();
    if (!addresses)
        return std::nullopt;
    const int own = static_cast<int>(if_nametoindex(tunnel.name.c_str()));
    std::vector<platform::AddressInUse> inUse;
    for (const platform::InterfaceAddress &address : *addresses)
        inUse.push_back({address.address, own != 0 && address.interfaceIndex == own});
    return inUse;
}

// Why the caller's tunnel must not take routes: its address is another interface's too (two cores
// came up at once with the same one), or it has none of its own.
std::optional<std::string> sharedTunnelRefusal(const Tunnel &tunnel)
{
    const auto inUse = addressesInUse(tunnel);
    if (!inUse)
        return "cannot read the interface addresses";
    bool any = false;
    for (const platform::AddressInUse &own : *inUse) {
        if (!own.own)
            continue;
        any = true;
        for (const platform::AddressInUse &other : *inUse) {
            if (!other.own && platform::sameTunBlock(own.address, other.address))
                return "the tunnel's address " + platform::formatIPv4(own.address) +
                       " is another interface's too; stop acceleration and start it again";
        }
    }
    if (!any)
        return "the tunnel " + tunnel.name + " has no address";
    return std::nullopt;
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

platform::OwnRoute ownRoute(const Range &range)
{
    return {platform::formatIPv4(range.network),
            platform::formatIPv4(platform::maskOfPrefixLength(range.prefixLength)),
            range.prefixLength,
            {}};
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

// Why the table's routes exceed the caps, or nothing.
std::optional<std::string> capRefusal(const std::vector<platform::OwnRoute> &routes)
{
    std::uint64_t addresses = 0;
    for (const platform::OwnRoute &route : routes)
        addresses += std::uint64_t(1) << (32 - route.prefixLength);
    if (routes.size() > platform::kMaxSessionRoutes)
        return "more than 4096 routes on the tunnel";
    if (addresses > platform::kMaxSessionAddresses)
        return "more than 2^26 addresses on the tunnel";
    return std::nullopt;
}

// Deletes the routes from the caller's table, then the caller's rule when the table is empty.
int deleteRoutes(const Tunnel &tunnel, const std::vector<platform::OwnRoute> &routes)
{
    const auto uid = static_cast<std::uint32_t>(getuid());
    std::vector<int> results;
    {
        const NetAdmin raised;
        results = platform::changeRoutes(platform::RouteChange::Delete, routes, {tunnel.table, 0});
        const auto left = platform::listTargetRoutes({tunnel.table, 0});
        if (left && left->empty())
            platform::changeUserRule(platform::RouteChange::Delete, uid, tunnel.table,
                                     platform::kUserRulePriority);
    }
    return printResults(routes, results);
}

int changeRoutes(std::string_view verb)
{
    const auto tunnel = ownTunnel();
    if (!tunnel)
        return refuse("uids from 2^31 on have no routing table of their own");
    const auto uid = static_cast<std::uint32_t>(getuid());
    if (verb == "cleanup") {
        const auto routes = platform::listTargetRoutes({tunnel->table, 0});
        if (!routes)
            return refuse("cannot read the routing table");
        return deleteRoutes(*tunnel, *routes);
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
        routes.push_back(ownRoute(range));
    if (!add)
        return deleteRoutes(*tunnel, routes);

    for (const Range &range : ranges) {
        if (const char *reason = platform::gameRouteRefusal(range.network, range.prefixLength))
            return refuse(rangeText(range) + ": " + reason);
        for (const std::uint32_t address : keepOut) {
            if (platform::rangeHolds(range.network, range.prefixLength, address))
                return refuse(rangeText(range) + ": holds the service's or the node's address " +
                              platform::formatIPv4(address));
        }
    }
    const int interfaceIndex = static_cast<int>(if_nametoindex(tunnel->name.c_str()));
    if (interfaceIndex == 0)
        return refuse("the tunnel " + tunnel->name + " does not exist");
    if (const auto reason = sharedTunnelRefusal(*tunnel))
        return refuse(*reason);
    const platform::RouteTarget target{tunnel->table, interfaceIndex};
    auto after = platform::listTargetRoutes({tunnel->table, 0});
    if (!after)
        return refuse("cannot read the routing table");
    after->insert(after->end(), routes.begin(), routes.end());
    if (const auto reason = capRefusal(*after))
        return refuse(*reason);

    std::vector<int> results;
    std::optional<std::string> exceeded;
    {
        const NetAdmin raised;
        if (const int error = platform::changeUserRule(platform::RouteChange::Add, uid, tunnel->table,
                                                       platform::kUserRulePriority))
            return refuse(std::string("cannot add the rule for this user's table: ") + std::strerror(error));
        results = platform::changeRoutes(platform::RouteChange::Add, routes, target);
        // Another call of this user's may have added routes since the count above: count again, and
        // take back what this call added when the two together pass a cap.
        const auto now = platform::listTargetRoutes({tunnel->table, 0});
        exceeded = now ? capRefusal(*now) : std::optional<std::string>("cannot read the routing table");
        if (exceeded) {
            std::vector<platform::OwnRoute> added;
            for (std::size_t index = 0; index < results.size(); ++index) {
                if (results[index] == 0)
                    added.push_back(routes[index]);
            }
            platform::changeRoutes(platform::RouteChange::Delete, added, target);
        }
    }
    if (exceeded)
        return refuse(*exceeded + " (another change of this user's ran at the same time)");
    return printResults(routes, results);
}

// Why the file or folder at path, which the helper runs as the core, could be someone else's choice.
std::optional<std::string> unsafeOwnership(const std::string &path, const struct stat &status)
{
    if (status.st_uid != 0)
        return path + " is not owned by root";
    // A root-owned sticky folder (/tmp) lets others add entries but not rename or remove root's.
    const bool stickyFolder = S_ISDIR(status.st_mode) && (status.st_mode & S_ISVTX) != 0;
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0 && !stickyFolder)
        return path + " is writable by others than root";
    return std::nullopt;
}

// The installed core, opened for the exec: the path fixed at build time, never one beside this program
// (a hard link to it in a user's folder would pick that user's file) nor one the caller names. The core
// and every folder above it must be root's and writable by root alone.
int openCore(std::string &error)
{
    const std::string path = NIMBRA_CORE_PATH;
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        struct stat status = {};
        if (lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
            error = "no core installed at " + path;
            return -1;
        }
        if (const auto reason = unsafeOwnership(folder, status)) {
            error = *reason;
            return -1;
        }
    }
    const int fd = open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    struct stat status = {};
    if (fd < 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        error = "no core installed at " + path;
        if (fd >= 0)
            close(fd);
        return -1;
    }
    if (const auto reason = unsafeOwnership(path, status)) {
        error = *reason;
        close(fd);
        return -1;
    }
    return fd;
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

// Every capability gone, for a child that needs none.
void dropAllCapabilities()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    syscall(SYS_capset, &header, data);
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

// Becomes the core opened as fd with these arguments and the fixed environment.
int execCore(int fd, std::vector<std::string> arguments, char **environment)
{
    std::vector<std::string> variables = {"PATH=/usr/sbin:/usr/bin:/sbin:/bin", "LANG=C.UTF-8"};
    for (std::string &stub : stubVariables(environment))
        variables.push_back(std::move(stub));
    std::vector<char *> envp;
    for (std::string &variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string program = NIMBRA_CORE_PATH;
    std::vector<char *> argv = {program.data()};
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    syscall(SYS_execveat, fd, "", argv.data(), envp.data(), AT_EMPTY_PATH);
    return refuse(std::string("cannot start the core: ") + std::strerror(errno));
}

// Why the installed core must not run the configuration: a version newer than the allow-list knows.
// Asked as "core version" is, without any capability.
std::optional<std::string> versionRefusal(char **environment)
{
    std::string error;
    const int core = openCore(error);
    if (core < 0)
        return error;
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(core);
        return std::string("pipe: ") + std::strerror(errno);
    }
    const pid_t child = fork();
    if (child == 0) {
        dropAllCapabilities();
        dup2(output[1], STDOUT_FILENO);
        execCore(core, {"version"}, environment);
        _exit(127);
    }
    close(output[1]);
    close(core);
    std::string answer;
    char buffer[4096];
    for (;;) {
        pollfd waiting = {output[0], POLLIN, 0};
        if (answer.size() >= sizeof buffer || poll(&waiting, 1, 5000) <= 0)
            break;
        const ssize_t count = read(output[0], buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        answer.append(buffer, static_cast<std::size_t>(count));
    }
    close(output[0]);
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    const std::string refusal = nimbra::nethelper::coreVersionRefusal(answer);
    if (refusal.empty())
        return std::nullopt;
    return refusal;
}

// The configuration the core gets: written by the allow-list from the input, on the caller's tunnel
// with an address no other interface holds.
std::optional<std::string> coreConfig(const std::string &input, std::string &refusal)
{
    const auto tunnel = ownTunnel();
    if (!tunnel) {
        refusal = "uids from 2^31 on have no tunnel of their own";
        return std::nullopt;
    }
    const auto inUse = addressesInUse(*tunnel);
    if (!inUse) {
        refusal = "cannot read the interface addresses";
        return std::nullopt;
    }
    const auto address = platform::allocateTunAddress(static_cast<std::uint32_t>(getuid()), *inUse);
    if (!address) {
        refusal = "every tunnel address in 172.19.0.0/16 is in use";
        return std::nullopt;
    }
    const std::string own = platform::formatIPv4(*address) + "/" + std::to_string(platform::kTunPrefixLength);
    nimbra::nethelper::CoreConfig config = nimbra::nethelper::writeCoreConfig(input, tunnel->name, own);
    if (config.text.empty()) {
        refusal = config.refusal;
        return std::nullopt;
    }
    return std::move(config.text);
}

int runCore(int argc, char **argv, char **environment)
{
    // The client's death must end the core: the death signal did not survive this program's own exec.
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
    if (getppid() != parent)
        return 127;

    const std::string_view mode = argv[2];
    std::string error;
    if (mode == "version" && argc == 3) {
        // Asked without the capability: the core's version needs no privilege.
        const int core = openCore(error);
        if (core < 0)
            return refuse(error);
        dropAllCapabilities();
        return execCore(core, {"version"}, environment);
    }
    if ((mode != "check" && mode != "run") || argc != 5 || std::string_view(argv[3]) != "-c")
        return refuse("usage: nimbra-net core version | core check|run -c PATH");
    // Opened with the caller's own rights: this program has no power over files.
    const int input = open(argv[4], O_RDONLY | O_CLOEXEC);
    if (input < 0)
        return refuse(std::string("cannot open the configuration: ") + std::strerror(errno));
    const auto received = readAll(input);
    close(input);
    if (!received)
        return refuse("configuration unreadable or larger than 1 MiB");
    const auto config = coreConfig(*received, error);
    if (!config)
        return refuse(error);
    if (const auto refusal = versionRefusal(environment))
        return refuse(*refusal);

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
    const int core = openCore(error);
    if (core < 0)
        return refuse(error);

    // Root keeps what it has: dropping it would make the exec gain rights again, which ends the
    // death signal.
    if (getuid() != 0 && !passNetAdmin())
        return refuse("this program lacks cap_net_admin (setcap cap_net_admin+p on it)");
    return execCore(core, {std::string(mode), "-c", "/dev/fd/3", "--disable-color"}, environment);
}

} // namespace

int main(int argc, char **argv, char **environment)
{
    // Installed with the capability effective (an older package, a hand-made setcap +ep) or not, it
    // holds it only in the permitted set from here on.
    setNetAdminEffective(false);
    if (argc >= 3 && std::string_view(argv[1]) == "routes" && argc == 3)
        return changeRoutes(argv[2]);
    if (argc >= 3 && std::string_view(argv[1]) == "core")
        return runCore(argc, argv, environment);
    return refuse("usage: nimbra-net routes add|delete|cleanup | core version | core check|run -c PATH");
}
