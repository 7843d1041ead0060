#include "netpolicy.h"

#include "routecommand.h"

#include <algorithm>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace nimbra::platform {
namespace {

struct Reserved
{
    std::uint32_t network;
    int prefixLength;
    const char *name;
};

constexpr Reserved kReserved[] = {
    {0x00000000u, 8, "本网络地址"},      // 0.0.0.0/8
    {0x0a000000u, 8, "私有地址"},        // 10.0.0.0/8
    {0x64400000u, 10, "运营商共享地址"}, // 100.64.0.0/10
    {0x7f000000u, 8, "回环地址"},        // 127.0.0.0/8
    {0xa9fe0000u, 16, "链路本地地址"},   // 169.254.0.0/16
    {0xac100000u, 12, "私有地址"},       // 172.16.0.0/12
    {0xc0a80000u, 16, "私有地址"},       // 192.168.0.0/16
    {0xe0000000u, 4, "组播地址"},        // 224.0.0.0/4
    {0xf0000000u, 4, "保留地址"},        // 240.0.0.0/4, 255.255.255.255 included
};

} // namespace

bool rangeHolds(std::uint32_t network, int prefixLength, std::uint32_t address)
{
    const std::uint32_t mask = maskOfPrefixLength(prefixLength);
    return (address & mask) == (network & mask);
}

const char *gameRouteRefusal(std::uint32_t network, int prefixLength)
{
    if (prefixLength < kWidestGameRoutePrefix)
        return "网段宽于 /12";
    for (const Reserved &reserved : kReserved) {
        // Two ranges overlap when they agree on the bits of the shorter prefix.
        const std::uint32_t common = maskOfPrefixLength(std::min(prefixLength, reserved.prefixLength));
        if ((network & common) == (reserved.network & common))
            return reserved.name;
    }
    return nullptr;
}

std::string tunInterfaceName(std::uint32_t uid)
{
    return "nb" + std::to_string(uid);
}

namespace {

constexpr std::uint32_t kTunBase = 0xac130000u; // 172.19.0.0/16: 16384 blocks of four
constexpr std::uint32_t kTunBlocks = 16384;

} // namespace

std::uint32_t tunAddress(std::uint32_t uid)
{
    return kTunBase + (uid % kTunBlocks) * 4u + 1u;
}

bool sameTunBlock(std::uint32_t first, std::uint32_t second)
{
    return (first >> 2) == (second >> 2);
}

std::optional<std::uint32_t> allocateTunAddress(std::uint32_t uid, const std::vector<AddressInUse> &inUse)
{
    const auto taken = [&](std::uint32_t address, bool own) {
        return std::any_of(inUse.begin(), inUse.end(), [&](const AddressInUse &used) {
            return used.own == own && sameTunBlock(used.address, address);
        });
    };
    for (const AddressInUse &used : inUse) {
        if (used.own && (used.address & 0xffff0000u) == kTunBase && !taken(used.address, false))
            return (used.address & ~3u) + 1u;
    }
    for (std::uint32_t step = 0; step < kTunBlocks; ++step) {
        const std::uint32_t address = kTunBase + ((uid + step) % kTunBlocks) * 4u + 1u;
        if (!taken(address, false))
            return address;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> userRouteTable(std::uint32_t uid)
{
    constexpr std::uint32_t kBase = 0x80000000u;
    if (uid >= kBase)
        return std::nullopt;
    return kBase | uid;
}

} // namespace nimbra::platform

namespace nimbra::platform {

std::uint32_t currentUserId()
{
#ifdef _WIN32
    return 0;
#else
    return static_cast<std::uint32_t>(getuid());
#endif
}

} // namespace nimbra::platform
