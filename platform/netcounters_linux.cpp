#include "netcounters.h"

#include "netlink_linux.h"

#include <cstring>
#include <linux/if.h>
#include <linux/if_arp.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace nimbra::platform {
namespace {

// The numbers linuxInterfaceRow classifies by.
static_assert(IF_OPER_UNKNOWN == 0 && IF_OPER_UP == 6);
static_assert(IFF_UP == 0x1 && IFF_LOWER_UP == 0x10000);
static_assert(ARPHRD_LOOPBACK == 772 && ARPHRD_NONE == 0xfffe && ARPHRD_TUNNEL == 768 &&
              ARPHRD_TUNNEL6 == 769 && ARPHRD_SIT == 776 && ARPHRD_IPGRE == 778 && ARPHRD_IP6GRE == 823);

template<typename Stats>
void readByteCounters(const rtattr *attribute, std::uint64_t &received, std::uint64_t &sent)
{
    // Older kernels send shorter structures; only the leading byte counters are needed.
    Stats stats = {};
    const std::size_t size = RTA_PAYLOAD(attribute) < sizeof stats ? RTA_PAYLOAD(attribute) : sizeof stats;
    std::memcpy(&stats, RTA_DATA(attribute), size);
    received = stats.rx_bytes;
    sent = stats.tx_bytes;
}

} // namespace

std::optional<std::vector<InterfaceCounterRow>> readInterfaceCounterRows()
{
    std::vector<InterfaceCounterRow> rows;
    ifinfomsg request = {};
    request.ifi_family = AF_UNSPEC;
    const int error =
        detail::rtnetlinkDump(RTM_GETLINK, &request, sizeof request, [&](const nlmsghdr &message) {
            if (message.nlmsg_type != RTM_NEWLINK || message.nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg)))
                return;
            const auto *link = static_cast<const ifinfomsg *>(NLMSG_DATA(&message));
            std::string name;
            std::uint8_t operState = IF_OPER_UNKNOWN;
            std::uint64_t received = 0;
            std::uint64_t sent = 0;
            bool have64 = false;
            int length = static_cast<int>(IFLA_PAYLOAD(&message));
            for (auto *attribute = IFLA_RTA(link); RTA_OK(attribute, length);
                 attribute = RTA_NEXT(attribute, length)) {
                const auto payload = RTA_PAYLOAD(attribute);
                switch (attribute->rta_type) {
                case IFLA_IFNAME:
                    name.assign(static_cast<const char *>(RTA_DATA(attribute)),
                                strnlen(static_cast<const char *>(RTA_DATA(attribute)), payload));
                    break;
                case IFLA_OPERSTATE:
                    if (payload >= 1)
                        operState = *static_cast<const std::uint8_t *>(RTA_DATA(attribute));
                    break;
                case IFLA_STATS64:
                    readByteCounters<rtnl_link_stats64>(attribute, received, sent);
                    have64 = true;
                    break;
                case IFLA_STATS:
                    if (!have64)
                        readByteCounters<rtnl_link_stats>(attribute, received, sent);
                    break;
                default:
                    break;
                }
            }
            rows.push_back(linuxInterfaceRow(std::move(name), link->ifi_type, operState, link->ifi_flags,
                                             received, sent));
        });
    if (error != 0)
        return std::nullopt;
    return rows;
}

std::optional<ByteTotals> readInterfaceByteTotals(const std::string &name)
{
    const auto rows = readInterfaceCounterRows();
    if (!rows)
        return std::nullopt;
    return namedInterfaceTotals(*rows, name);
}

} // namespace nimbra::platform
