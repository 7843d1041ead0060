#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

struct nlmsghdr;

// Internal to the Linux half: one rtnetlink dump in the calling thread's network namespace.
namespace nimbra::platform::detail {

// Sends a dump request of the given type with the header payload (an ifinfomsg or rtmsg) and calls
// onMessage for every answer until the dump is done. Returns 0, or the errno value of the failure.
int rtnetlinkDump(std::uint16_t type, const void *payload, std::size_t payloadSize,
                  const std::function<void(const nlmsghdr &)> &onMessage);

// Sends each request (a complete netlink message; flags beyond NLM_F_REQUEST | NLM_F_ACK and the
// sequence number are filled in here; an empty one fails with EINVAL unsent) over one socket, one at a time,
// and returns the errno value of each answer (0: done). With stopAtFailure nothing is sent after the first
// failure, so the result may be shorter than the request list. A socket failure fails every request not yet
// answered.
std::vector<int> rtnetlinkRequests(std::vector<std::vector<char>> &requests, bool stopAtFailure);

} // namespace nimbra::platform::detail
