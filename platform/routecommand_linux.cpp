#include "routecommand.h"

#include "netlink_linux.h"

#include <cerrno>
#include <cstring>
#include <linux/fib_rules.h>
#include <linux/if_addr.h>
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

std::uint32_t u32Of(const rtattr *attribute)
{
    std::uint32_t value = 0;
    std::memcpy(&value, RTA_DATA(attribute), sizeof value);
    return value;
}

// Our single-path unicast IPv4 routes in target's table (and through its interface, when named).
std::optional<std::vector<OwnRoute>> dumpRoutes(RouteTarget target, bool requireGateway, int *systemError)
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
                route->rtm_type != RTN_UNICAST || route->rtm_dst_len > 32)
                return;
            std::uint32_t table = route->rtm_table;
            std::uint32_t destination = 0;
            bool haveGateway = false;
            std::uint32_t gateway = 0;
            int interfaceIndex = 0;
            int length = static_cast<int>(RTM_PAYLOAD(&message));
            for (auto *attribute = RTM_RTA(route); RTA_OK(attribute, length);
                 attribute = RTA_NEXT(attribute, length)) {
                const auto payload = RTA_PAYLOAD(attribute);
                if (payload < 4)
                    continue;
                if (attribute->rta_type == RTA_TABLE) {
                    table = u32Of(attribute);
                } else if (attribute->rta_type == RTA_DST) {
                    destination = addressOf(attribute);
                } else if (attribute->rta_type == RTA_GATEWAY) {
                    gateway = addressOf(attribute);
                    haveGateway = true;
                } else if (attribute->rta_type == RTA_OIF) {
                    interfaceIndex = static_cast<int>(u32Of(attribute));
                }
            }
            if (table != target.table || (requireGateway && !haveGateway) ||
                (target.interfaceIndex != 0 && interfaceIndex != target.interfaceIndex))
                return;
            const int prefixLength = route->rtm_dst_len;
            routes.push_back({formatIPv4(destination), formatIPv4(maskOfPrefixLength(prefixLength)),
                              prefixLength, haveGateway ? formatIPv4(gateway) : std::string()});
        });
    if (systemError)
        *systemError = error;
    if (error != 0)
        return std::nullopt;
    return routes;
}

} // namespace

std::optional<std::vector<OwnRoute>> listOwnRoutes(int *systemError)
{
    // Only single-gateway routes in the main table are ever added there by us.
    return dumpRoutes(RouteTarget{}, true, systemError);
}

std::optional<std::vector<OwnRoute>> listTargetRoutes(RouteTarget target, int *systemError)
{
    return dumpRoutes(target, false, systemError);
}

namespace {

void appendAttribute(std::vector<char> &message, unsigned short type, const void *data, std::size_t size)
{
    const std::size_t offset = message.size();
    message.resize(offset + RTA_SPACE(size), 0);
    auto *attribute = reinterpret_cast<rtattr *>(message.data() + offset);
    attribute->rta_type = type;
    attribute->rta_len = static_cast<unsigned short>(RTA_LENGTH(size));
    std::memcpy(RTA_DATA(attribute), data, size);
}

void appendAddress(std::vector<char> &message, unsigned short type, std::uint32_t address)
{
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(address >> 24), static_cast<unsigned char>(address >> 16),
        static_cast<unsigned char>(address >> 8), static_cast<unsigned char>(address)};
    appendAttribute(message, type, bytes, sizeof bytes);
}

template<typename Header>
std::vector<char> emptyRequest(std::uint16_t type, std::uint16_t flags, Header **header)
{
    std::vector<char> message(NLMSG_SPACE(sizeof(Header)), 0);
    auto *netlinkHeader = reinterpret_cast<nlmsghdr *>(message.data());
    netlinkHeader->nlmsg_type = type;
    netlinkHeader->nlmsg_flags = flags;
    *header = static_cast<Header *>(NLMSG_DATA(netlinkHeader));
    return message;
}

void finish(std::vector<char> &message)
{
    reinterpret_cast<nlmsghdr *>(message.data())->nlmsg_len = static_cast<std::uint32_t>(message.size());
}

// The request "ip route add|del DEST/PREFIX [via GATEWAY] [dev IF] table T proto 215" sends; nothing
// for a malformed route.
std::vector<char> routeRequest(RouteChange change, const OwnRoute &route, RouteTarget target)
{
    const auto destination = parseIPv4(route.destination);
    const auto gateway = parseIPv4(route.gateway);
    // A route added goes via a gateway or onto an interface; a deletion may leave both to the table.
    const bool add = change == RouteChange::Add;
    if (!destination || (!gateway && (!route.gateway.empty() || (add && target.interfaceIndex == 0))) ||
        route.prefixLength < 0 || route.prefixLength > 32 ||
        (*destination & ~maskOfPrefixLength(route.prefixLength)) != 0)
        return {};
    rtmsg *request = nullptr;
    std::vector<char> message =
        emptyRequest(add ? RTM_NEWROUTE : RTM_DELROUTE, add ? NLM_F_CREATE | NLM_F_EXCL : 0, &request);
    request->rtm_family = AF_INET;
    request->rtm_dst_len = static_cast<unsigned char>(route.prefixLength);
    request->rtm_table = static_cast<unsigned char>(target.table < 256 ? target.table : RT_TABLE_UNSPEC);
    request->rtm_protocol = kRouteProtocol;
    // The header's fields first: appending attributes may move the message. A deletion matches any scope and
    // type, as "ip route del" does; a route straight onto an interface is on its link.
    request->rtm_scope = !add ? RT_SCOPE_NOWHERE : gateway ? RT_SCOPE_UNIVERSE : RT_SCOPE_LINK;
    request->rtm_type = add ? RTN_UNICAST : RTN_UNSPEC;
    appendAddress(message, RTA_DST, *destination);
    if (gateway)
        appendAddress(message, RTA_GATEWAY, *gateway);
    if (target.interfaceIndex != 0) {
        const auto index = static_cast<std::uint32_t>(target.interfaceIndex);
        appendAttribute(message, RTA_OIF, &index, sizeof index);
    }
    appendAttribute(message, RTA_TABLE, &target.table, sizeof target.table);
    finish(message);
    return message;
}

} // namespace

std::vector<int> changeRoutes(RouteChange change, const std::vector<OwnRoute> &routes, RouteTarget target)
{
    std::vector<std::vector<char>> requests;
    requests.reserve(routes.size());
    for (const OwnRoute &route : routes)
        requests.push_back(routeRequest(change, route, target));
    std::vector<int> results = detail::rtnetlinkRequests(requests, change == RouteChange::Add);
    if (change == RouteChange::Delete) {
        for (int &error : results)
            error = error == ESRCH || error == ENOENT ? 0 : error;
    }
    return results;
}

int changeUserRule(RouteChange change, std::uint32_t uid, std::uint32_t table, std::uint32_t priority)
{
    const bool add = change == RouteChange::Add;
    fib_rule_hdr *rule = nullptr;
    std::vector<char> message =
        emptyRequest(add ? RTM_NEWRULE : RTM_DELRULE, add ? NLM_F_CREATE | NLM_F_EXCL : 0, &rule);
    // The header's fields first: appending attributes may move the message.
    rule->family = AF_INET;
    rule->action = FR_ACT_TO_TBL;
    rule->table = static_cast<unsigned char>(table < 256 ? table : RT_TABLE_UNSPEC);
    const fib_rule_uid_range range{uid, uid};
    const std::uint8_t protocol = kRouteProtocol;
    appendAttribute(message, FRA_PRIORITY, &priority, sizeof priority);
    appendAttribute(message, FRA_TABLE, &table, sizeof table);
    appendAttribute(message, FRA_UID_RANGE, &range, sizeof range);
    appendAttribute(message, FRA_PROTOCOL, &protocol, sizeof protocol);
    finish(message);
    std::vector<std::vector<char>> requests{std::move(message)};
    const int error = detail::rtnetlinkRequests(requests, true).front();
    if (add)
        return error == EEXIST ? 0 : error;
    return error == ENOENT || error == ESRCH ? 0 : error;
}

std::optional<std::vector<InterfaceAddress>> listInterfaceAddresses(int *systemError)
{
    std::vector<InterfaceAddress> addresses;
    ifaddrmsg request = {};
    request.ifa_family = AF_INET;
    const int error =
        detail::rtnetlinkDump(RTM_GETADDR, &request, sizeof request, [&](const nlmsghdr &message) {
            if (message.nlmsg_type != RTM_NEWADDR || message.nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg)))
                return;
            const auto *header = static_cast<const ifaddrmsg *>(NLMSG_DATA(&message));
            if (header->ifa_family != AF_INET)
                return;
            int length = static_cast<int>(IFA_PAYLOAD(&message));
            for (auto *attribute = IFA_RTA(header); RTA_OK(attribute, length);
                 attribute = RTA_NEXT(attribute, length)) {
                if (attribute->rta_type == IFA_LOCAL && RTA_PAYLOAD(attribute) >= 4)
                    addresses.push_back(
                        {static_cast<int>(header->ifa_index), addressOf(attribute), header->ifa_prefixlen});
            }
        });
    if (systemError)
        *systemError = error;
    if (error != 0)
        return std::nullopt;
    return addresses;
}

} // namespace nimbra::platform
