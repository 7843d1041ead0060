#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

struct nlmsghdr;

// Internal to the Linux half: one rtnetlink dump in the calling thread's network namespace.
namespace nimbra::platform::detail {

// Sends a dump request of the given type with the header payload (an ifinfomsg or rtmsg) and calls
// onMessage for every answer until the dump is done. Returns 0, or the errno value of the failure.
int rtnetlinkDump(std::uint16_t type, const void *payload, std::size_t payloadSize,
                  const std::function<void(const nlmsghdr &)> &onMessage);

} // namespace nimbra::platform::detail
