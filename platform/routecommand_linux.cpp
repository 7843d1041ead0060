#include "routecommand.h"

#include "netlink_linux.h"

#include <cstring>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace nimbra::platform {
namespace {

std::uint32_t addressOf(const rtattr *attribute)
{
    unsigned char bytes[4];
    std::memcpy(bytes, RTA_DATA(attribute), sizeof bytes);
    return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
           (std::uint32_t(bytes[2]) << 8) | std::uint32_t(bytes[3]);
}

} // namespace

std::optional<std::vector<OwnRoute>> listOwnRoutes(int *systemError)
{
    std::vector<OwnRoute> routes;
    rtmsg request = {};
    request.rtm_family = AF_INET;
    const int error =
        detail::rtnetlinkDump(RTM_GETROUTE, &request, sizeof request, [&](const nlmsghdr &message) {
            if (message.nlmsg_type != RTM_NEWROUTE || message.nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg)))
                return;
            const auto *route = static_cast<const rtmsg *>(NLMSG_DATA(&message));
            if (route->rtm_family != AF_INET || route->rtm_protocol != kRouteProtocol ||
                route->rtm_type != RTN_UNICAST)
                return;
            std::uint32_t table = route->rtm_table;
            std::uint32_t destination = 0;
            bool haveGateway = false;
            std::uint32_t gateway = 0;
            int length = static_cast<int>(RTM_PAYLOAD(&message));
            for (auto *attribute = RTM_RTA(route); RTA_OK(attribute, length);
                 attribute = RTA_NEXT(attribute, length)) {
                const auto payload = RTA_PAYLOAD(attribute);
                if (attribute->rta_type == RTA_TABLE && payload >= sizeof(std::uint32_t)) {
                    std::memcpy(&table, RTA_DATA(attribute), sizeof table);
                } else if (attribute->rta_type == RTA_DST && payload >= 4) {
                    destination = addressOf(attribute);
                } else if (attribute->rta_type == RTA_GATEWAY && payload >= 4) {
                    gateway = addressOf(attribute);
                    haveGateway = true;
                }
            }
            // Only the main table and single-gateway routes are ever added by us.
            if (table != RT_TABLE_MAIN || !haveGateway || route->rtm_dst_len > 32)
                return;
            const int prefixLength = route->rtm_dst_len;
            routes.push_back({formatIPv4(destination), formatIPv4(maskOfPrefixLength(prefixLength)),
                              prefixLength, formatIPv4(gateway)});
        });
    if (systemError)
        *systemError = error;
    if (error != 0)
        return std::nullopt;
    return routes;
}

} // namespace nimbra::platform
