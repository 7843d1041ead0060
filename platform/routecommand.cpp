#include "routecommand.h"

#include <charconv>

// Pure code for both halves, so that tests on either system cover both command syntaxes.
namespace nimbra::platform {

std::optional<std::uint32_t> parseIPv4(std::string_view text)
{
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (text.empty() || text.front() != '.')
                return std::nullopt;
            text.remove_prefix(1);
        }
        std::size_t digits = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
            ++digits;
        if (digits == 0 || digits > 3 || (digits > 1 && text.front() == '0'))
            return std::nullopt;
        unsigned value = 0;
        std::from_chars(text.data(), text.data() + digits, value);
        if (value > 255)
            return std::nullopt;
        address = (address << 8) | value;
        text.remove_prefix(digits);
    }
    if (!text.empty())
        return std::nullopt;
    return address;
}

std::string formatIPv4(std::uint32_t address)
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xff) + "." +
           std::to_string((address >> 8) & 0xff) + "." + std::to_string(address & 0xff);
}

std::uint32_t maskOfPrefixLength(int prefixLength)
{
    if (prefixLength <= 0)
        return 0;
    if (prefixLength >= 32)
        return 0xffffffffu;
    return ~((1u << (32 - prefixLength)) - 1);
}

std::optional<int> prefixLengthOfMask(std::uint32_t mask)
{
    int length = 0;
    while (length < 32 && (mask & (0x80000000u >> length)) != 0)
        ++length;
    if (mask != maskOfPrefixLength(length))
        return std::nullopt;
    return length;
}

namespace {

struct CheckedRoute
{
    std::string destination;
    std::string mask;
    int prefixLength = 0;
    std::string gateway;
};

std::optional<CheckedRoute> checkRoute(std::string_view destination, std::string_view mask,
                                       std::string_view gateway)
{
    const auto destinationAddress = parseIPv4(destination);
    const auto maskAddress = parseIPv4(mask);
    if (!destinationAddress || !maskAddress || !parseIPv4(gateway))
        return std::nullopt;
    const auto prefixLength = prefixLengthOfMask(*maskAddress);
    if (!prefixLength || (*destinationAddress & ~*maskAddress) != 0)
        return std::nullopt;
    return CheckedRoute{std::string(destination), std::string(mask), *prefixLength, std::string(gateway)};
}

RouteCommand linuxCommand(const char *verb, const CheckedRoute &route)
{
    return {"ip",
            {"route", verb, route.destination + "/" + std::to_string(route.prefixLength), "via",
             route.gateway, "proto", std::to_string(kRouteProtocol)}};
}

} // namespace

std::optional<RouteCommand> routeAddCommand(std::string_view destination, std::string_view mask,
                                            std::string_view gateway, RouteSyntax syntax)
{
    const auto route = checkRoute(destination, mask, gateway);
    if (!route)
        return std::nullopt;
    if (syntax == RouteSyntax::Linux)
        return linuxCommand("add", *route);
    // No metric and no interface: the gateway, the TUN's own address, selects the interface.
    return RouteCommand{"route.exe", {"add", route->destination, "mask", route->mask, route->gateway}};
}

std::optional<RouteCommand> routeDeleteCommand(std::string_view destination, std::string_view mask,
                                               std::string_view gateway, RouteSyntax syntax)
{
    const auto route = checkRoute(destination, mask, gateway);
    if (!route)
        return std::nullopt;
    if (syntax == RouteSyntax::Linux)
        return linuxCommand("del", *route);
    return RouteCommand{"route.exe", {"delete", route->destination, "mask", route->mask, route->gateway}};
}

bool routeDeletionFoundNothing(std::string_view output, RouteSyntax syntax)
{
    if (syntax == RouteSyntax::Linux)
        return output.find("No such process") != std::string_view::npos;
    return output.find("Element not found") != std::string_view::npos ||
           output.find("找不到元素") != std::string_view::npos;
}

} // namespace nimbra::platform
