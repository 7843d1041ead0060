#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a game route may be and where each user's tunnel lives: shared by the client, which skips and
// logs what it must not ask for, and the network helper, which refuses it.
namespace nimbra::platform {

// A route list takes a game's servers into the tunnel, never a whole region of the Internet.
inline constexpr int kWidestGameRoutePrefix = 12;
// Per session, counting the routes the user's tunnel holds already.
inline constexpr std::size_t kMaxSessionRoutes = 4096;
inline constexpr std::uint64_t kMaxSessionAddresses = std::uint64_t(1) << 26;

// Why the range network/prefixLength (host byte order) must not become a game route, as a short
// Chinese text for the log, or nullptr when it may: wider than /12, or overlapping a private, shared,
// loopback, link-local, multicast, reserved or broadcast range.
const char *gameRouteRefusal(std::uint32_t network, int prefixLength);

// Whether the range network/prefixLength holds address.
bool rangeHolds(std::uint32_t network, int prefixLength, std::uint32_t address);

// Each user's own TUN interface, so that one user's clean-up never finds another's routes: "nb<uid>"
// (at most 12 bytes, within the kernel's 15).
std::string tunInterfaceName(std::uint32_t uid);

// Tunnel addresses are the first hosts of the 16,384 /30 blocks of 172.19.0.0/16. A uid prefers the
// block uid % 16384, which uids 16,384 apart share, so the network helper hands out the first block from
// there that no other interface uses (allocateTunAddress); the client writes the preferred one and the
// helper puts the allocated one into the configuration the core gets.
std::uint32_t tunAddress(std::uint32_t uid);
inline constexpr int kTunPrefixLength = 30;

struct AddressInUse
{
    std::uint32_t address = 0;
    bool own = false; // on the caller's own tunnel
};

// The caller's tunnel address: the one its own tunnel holds already, else the first host of the first
// block from the preferred one that holds no address in use. nullopt when every block is taken.
std::optional<std::uint32_t> allocateTunAddress(std::uint32_t uid, const std::vector<AddressInUse> &inUse);

// Whether two addresses are in the same tunnel block.
bool sameTunBlock(std::uint32_t first, std::uint32_t second);

// Each user's game routes live in a routing table of the user's own, which a policy rule for that uid
// alone consults before the main table, so that one user's routes never take another's traffic.
// nullopt for uids from 2^31 on, whose tables could meet the system's own numbers.
std::optional<std::uint32_t> userRouteTable(std::uint32_t uid);
inline constexpr std::uint32_t kUserRulePriority = 5215;

// The real user id of this process (Windows: 0, where the tunnel is not per user).
std::uint32_t currentUserId();

} // namespace nimbra::platform
