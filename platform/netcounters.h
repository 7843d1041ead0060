#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Interface byte counters: the whole machine's (operational interfaces only, leaving out loopback and
// tunnels), and one named interface's, such as the core's TUN, whose counters are the acceleration's
// own traffic.
namespace nimbra::platform {

struct InterfaceCounterRow
{
    std::string name;
    bool operational = false;
    bool loopback = false;
    bool tunnel = false;
    std::uint64_t receivedBytes = 0;
    std::uint64_t sentBytes = 0;
};

struct ByteTotals
{
    std::uint64_t received = 0;
    std::uint64_t sent = 0;

    bool operator==(const ByteTotals &) const = default;
};

// Sums the rows that are operational and neither loopback nor tunnel.
ByteTotals sumCountedInterfaces(const std::vector<InterfaceCounterRow> &rows);

// A MIB_IFROW of GetIfTable: operational means IF_OPER_STATUS_OPERATIONAL (5); loopback is interface
// type 24 and tunnel type 131. The counters are the row's 32-bit octet counters.
InterfaceCounterRow windowsInterfaceRow(std::string name, std::uint32_t operStatus, std::uint32_t ifType,
                                        std::uint32_t inOctets, std::uint32_t outOctets);

// An rtnetlink link: operational means operstate "up", or "unknown" (drivers that never report a
// state, such as dummy) while the link is administratively up with carrier. Tunnels are the
// ARPHRD_NONE devices (TUN, WireGuard) and the IP-in-IP, SIT and GRE types.
InterfaceCounterRow linuxInterfaceRow(std::string name, std::uint16_t arphrdType, std::uint8_t operState,
                                      std::uint32_t flags, std::uint64_t receivedBytes,
                                      std::uint64_t sentBytes);

// The system's rows: Linux from rtnetlink's 64-bit statistics of this thread's network namespace,
// Windows from GetIfTable (asked for its size first, then filled). nullopt when the query fails.
std::optional<std::vector<InterfaceCounterRow>> readInterfaceCounterRows();

// sumCountedInterfaces over readInterfaceCounterRows().
std::optional<ByteTotals> readInterfaceByteTotals();

// The counters of the row named `name`; nullopt when there is none.
std::optional<ByteTotals> namedInterfaceTotals(const std::vector<InterfaceCounterRow> &rows,
                                               const std::string &name);

// One interface's 64-bit counters by its name: Linux the rtnetlink link name, Windows the interface
// alias (the name a TUN adapter is created with) through GetIfEntry2. nullopt when it does not exist or
// the query fails.
std::optional<ByteTotals> readInterfaceByteTotals(const std::string &name);

} // namespace nimbra::platform
