#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Whole-machine byte counters for the upload and download rates: operational interfaces only, leaving
// out loopback and tunnels (the core's own TUN would count its traffic twice).
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

} // namespace nimbra::platform
