#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Game routes towards the TUN address: the system route command's program and arguments (the caller
// runs them), and on Linux the routes we left behind. Addresses are dotted-quad IPv4 texts.
namespace nimbra::platform {

// Linux routing-protocol number that marks every route we add. The kernel passes numbers above
// RTPROT_STATIC (4) through untouched; 215 (0xd7) is neither in linux/rtnetlink.h nor in iproute2's
// rt_protos, so a route carrying it is ours: deletion names it, and a route someone else added with
// the same destination and gateway is never removed.
inline constexpr int kRouteProtocol = 215;

enum class RouteSyntax
{
    Windows, // "route.exe" add DEST mask MASK GATEWAY / delete DEST mask MASK GATEWAY
    Linux,   // "ip" route add|del DEST/PREFIX via GATEWAY proto 215
};

#ifdef _WIN32
inline constexpr RouteSyntax kNativeRouteSyntax = RouteSyntax::Windows;
#else
inline constexpr RouteSyntax kNativeRouteSyntax = RouteSyntax::Linux;
#endif

struct RouteCommand
{
    std::string program;
    std::vector<std::string> arguments;

    bool operator==(const RouteCommand &) const = default;
};

// The commands for one route. nullopt unless destination, mask and gateway are dotted-quad IPv4
// (no leading zeros: route.exe would read them as octal), the mask is contiguous and the destination
// has no bits outside the mask. Windows routes are not persistent (the journal cleans up after a
// crash, and nothing should outlive the client), and deletion names the gateway so that a user's own
// route to the same destination stays.
std::optional<RouteCommand> routeAddCommand(std::string_view destination, std::string_view mask,
                                            std::string_view gateway,
                                            RouteSyntax syntax = kNativeRouteSyntax);
std::optional<RouteCommand> routeDeleteCommand(std::string_view destination, std::string_view mask,
                                               std::string_view gateway,
                                               RouteSyntax syntax = kNativeRouteSyntax);

// Whether the output of a failed deletion says that no such route exists (Linux "RTNETLINK answers:
// No such process"; route.exe "Element not found", also in its Chinese wording). The route is gone,
// which is all a deletion wants: when the TUN interface went away with the core, the system has
// already removed every route through it.
bool routeDeletionFoundNothing(std::string_view output, RouteSyntax syntax = kNativeRouteSyntax);

#ifdef _WIN32
// Where the client runs a route command's program from: the system folder. A bare "route.exe" is
// looked for in the program's folder and the current folder first, and the elevated client would run
// whatever was put there. Empty when the system folder cannot be read.
std::string systemProgramPath(std::string_view program);
#endif

// Dotted-quad helpers shared by both halves (host byte order).
std::optional<std::uint32_t> parseIPv4(std::string_view text);
std::string formatIPv4(std::uint32_t address);
std::optional<int> prefixLengthOfMask(std::uint32_t mask); // nullopt for a non-contiguous mask
std::uint32_t maskOfPrefixLength(int prefixLength);        // 0..32

struct OwnRoute
{
    std::string destination;
    std::string mask;
    int prefixLength = 0;
    std::string gateway;

    bool operator==(const OwnRoute &) const = default;
};

// Routes marked with kRouteProtocol in the main IPv4 table of this thread's network namespace, read
// over rtnetlink, so that the routes of a client that died can be deleted with routeDeleteCommand.
// Windows: no such mark exists; always an empty list. nullopt (with systemError) when the query fails.
std::optional<std::vector<OwnRoute>> listOwnRoutes(int *systemError = nullptr);

enum class RouteChange
{
    Add,
    Delete,
};

#ifndef _WIN32
// Where routes go: a routing table and, when not 0, an output interface (by index). A route with an
// interface and an empty gateway goes straight onto that interface.
struct RouteTarget
{
    std::uint32_t table = 254; // RT_TABLE_MAIN
    int interfaceIndex = 0;
};

// Adds or deletes the routes, in order, marked with kRouteProtocol, over one rtnetlink socket in this
// thread's network namespace: thousands of routes in well under a second, where one "ip" per route
// takes a process each. Returns one errno value per route tried (0: done; a route that no longer
// exists counts as deleted). Adding stops at the first failure; deleting goes on through the list.
// Linux only: on Windows the caller runs route.exe per route.
std::vector<int> changeRoutes(RouteChange change, const std::vector<OwnRoute> &routes,
                              RouteTarget target = {});

// Routes marked with kRouteProtocol in target's table, through target's interface when it names one
// (gateway empty for a route without one). nullopt (with systemError) when the query fails.
std::optional<std::vector<OwnRoute>> listTargetRoutes(RouteTarget target, int *systemError = nullptr);

// The policy rule "uidrange uid-uid lookup table" at priority, marked with kRouteProtocol: added (an
// identical one already there counts as done) or deleted (a missing one counts as done). Returns 0 or
// the errno value.
int changeUserRule(RouteChange change, std::uint32_t uid, std::uint32_t table, std::uint32_t priority);

struct InterfaceAddress
{
    int interfaceIndex = 0;
    std::uint32_t address = 0; // host byte order
    int prefixLength = 0;
};

// Every IPv4 address on an interface of this thread's network namespace; nullopt when the query fails.
std::optional<std::vector<InterfaceAddress>> listInterfaceAddresses(int *systemError = nullptr);
#endif

} // namespace nimbra::platform
