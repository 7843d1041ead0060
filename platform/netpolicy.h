#pragma once

#include <cstdint>
#include <string>

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

// Each user's own TUN interface and address, so that two users' sessions never share one and one
// user's clean-up never finds another's routes: "nb<uid>" (at most 12 bytes, within the kernel's 15),
// and the first host of the uid's /30 in 172.19.0.0/16.
std::string tunInterfaceName(std::uint32_t uid);
std::uint32_t tunAddress(std::uint32_t uid);
inline constexpr int kTunPrefixLength = 30;

// The real user id of this process (Windows: 0, where the tunnel is not per user).
std::uint32_t currentUserId();

} // namespace nimbra::platform
