#include "routecommand.h"

#include "netlink_linux.h"

#include <cerrno>
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

namespace {

void appendAddress(std::vector<char> &message, unsigned short type, std::uint32_t address)
{
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(address >> 24), static_cast<unsigned char>(address >> 16),
        static_cast<unsigned char>(address >> 8), static_cast<unsigned char>(address)};
    const std::size_t offset = message.size();
    message.resize(offset + RTA_SPACE(sizeof bytes), 0);
    auto *attribute = reinterpret_cast<rtattr *>(message.data() + offset);
    attribute->rta_type = type;
    attribute->rta_len = static_cast<unsigned short>(RTA_LENGTH(sizeof bytes));
    std::memcpy(RTA_DATA(attribute), bytes, sizeof bytes);
}

// The request "ip route add|del DEST/PREFIX via GATEWAY proto 215" sends; nothing for a malformed route.
std::vector<char> routeRequest(RouteChange change, const OwnRoute &route)
{
    const auto destination = parseIPv4(route.destination);
    const auto gateway = parseIPv4(route.gateway);
    if (!destination || !gateway || route.prefixLength < 0 || route.prefixLength > 32 ||
        (*destination & ~maskOfPrefixLength(route.prefixLength)) != 0)
        return {};
    std::vector<char> message(NLMSG_SPACE(sizeof(rtmsg)), 0);
    auto *header = reinterpret_cast<nlmsghdr *>(message.data());
    header->nlmsg_type = change == RouteChange::Add ? RTM_NEWROUTE : RTM_DELROUTE;
    header->nlmsg_flags = change == RouteChange::Add ? NLM_F_CREATE | NLM_F_EXCL : 0;
    auto *request = static_cast<rtmsg *>(NLMSG_DATA(header));
    request->rtm_family = AF_INET;
    request->rtm_dst_len = static_cast<unsigned char>(route.prefixLength);
    request->rtm_table = RT_TABLE_MAIN;
    request->rtm_protocol = kRouteProtocol;
    // A deletion matches any scope and type, as "ip route del" does.
    request->rtm_scope = change == RouteChange::Add ? RT_SCOPE_UNIVERSE : RT_SCOPE_NOWHERE;
    request->rtm_type = change == RouteChange::Add ? RTN_UNICAST : RTN_UNSPEC;
    appendAddress(message, RTA_DST, *destination);
    appendAddress(message, RTA_GATEWAY, *gateway);
    reinterpret_cast<nlmsghdr *>(message.data())->nlmsg_len = static_cast<std::uint32_t>(message.size());
    return message;
}

} // namespace

std::vector<int> changeRoutes(RouteChange change, const std::vector<OwnRoute> &routes)
{
    std::vector<std::vector<char>> requests;
    requests.reserve(routes.size());
    for (const OwnRoute &route : routes)
        requests.push_back(routeRequest(change, route));
    std::vector<int> results = detail::rtnetlinkRequests(requests, change == RouteChange::Add);
    if (change == RouteChange::Delete) {
        for (int &error : results)
            error = error == ESRCH || error == ENOENT ? 0 : error;
    }
    return results;
}

} // namespace nimbra::platform
