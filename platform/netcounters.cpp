#include "netcounters.h"

#include <utility>

// Pure code for both halves, so that tests on either system cover both classifications. The numbers
// are checked against the system headers in each half.
namespace nimbra::platform {

ByteTotals sumCountedInterfaces(const std::vector<InterfaceCounterRow> &rows)
{
    ByteTotals totals;
    for (const InterfaceCounterRow &row : rows) {
        if (!row.operational || row.loopback || row.tunnel)
            continue;
        totals.received += row.receivedBytes;
        totals.sent += row.sentBytes;
    }
    return totals;
}

InterfaceCounterRow windowsInterfaceRow(std::string name, std::uint32_t operStatus, std::uint32_t ifType,
                                        std::uint32_t inOctets, std::uint32_t outOctets)
{
    constexpr std::uint32_t kOperational = 5;       // IF_OPER_STATUS_OPERATIONAL
    constexpr std::uint32_t kSoftwareLoopback = 24; // IF_TYPE_SOFTWARE_LOOPBACK
    constexpr std::uint32_t kTunnel = 131;          // IF_TYPE_TUNNEL
    InterfaceCounterRow row;
    row.name = std::move(name);
    row.operational = operStatus == kOperational;
    row.loopback = ifType == kSoftwareLoopback;
    row.tunnel = ifType == kTunnel;
    row.receivedBytes = inOctets;
    row.sentBytes = outOctets;
    return row;
}

InterfaceCounterRow linuxInterfaceRow(std::string name, std::uint16_t arphrdType, std::uint8_t operState,
                                      std::uint32_t flags, std::uint64_t receivedBytes,
                                      std::uint64_t sentBytes)
{
    constexpr std::uint8_t kOperUnknown = 0;    // IF_OPER_UNKNOWN
    constexpr std::uint8_t kOperUp = 6;         // IF_OPER_UP
    constexpr std::uint32_t kUp = 0x1;          // IFF_UP
    constexpr std::uint32_t kLowerUp = 0x10000; // IFF_LOWER_UP
    constexpr std::uint16_t kLoopback = 772;    // ARPHRD_LOOPBACK
    constexpr std::uint16_t kTunnelTypes[] = {
        0xfffe, // ARPHRD_NONE
        768,    // ARPHRD_TUNNEL
        769,    // ARPHRD_TUNNEL6
        776,    // ARPHRD_SIT
        778,    // ARPHRD_IPGRE
        823,    // ARPHRD_IP6GRE
    };
    InterfaceCounterRow row;
    row.name = std::move(name);
    row.operational =
        operState == kOperUp || (operState == kOperUnknown && (flags & kUp) && (flags & kLowerUp));
    row.loopback = arphrdType == kLoopback;
    for (std::uint16_t type : kTunnelTypes)
        row.tunnel = row.tunnel || arphrdType == type;
    row.receivedBytes = receivedBytes;
    row.sentBytes = sentBytes;
    return row;
}

std::optional<ByteTotals> namedInterfaceTotals(const std::vector<InterfaceCounterRow> &rows,
                                               const std::string &name)
{
    for (const InterfaceCounterRow &row : rows) {
        if (row.name == name)
            return ByteTotals{row.receivedBytes, row.sentBytes};
    }
    return std::nullopt;
}

std::optional<ByteTotals> readInterfaceByteTotals()
{
    const auto rows = readInterfaceCounterRows();
    if (!rows)
        return std::nullopt;
    return sumCountedInterfaces(*rows);
}

} // namespace nimbra::platform
