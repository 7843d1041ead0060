#include "netlink_linux.h"

#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace nimbra::platform::detail {
namespace {

class Socket
{
public:
    Socket()
        : m_fd(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE))
    {}
    ~Socket()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

int rtnetlinkDump(std::uint16_t type, const void *payload, std::size_t payloadSize,
                  const std::function<void(const nlmsghdr &)> &onMessage)
{
    Socket socket;
    if (socket.fd() < 0)
        return errno;

    constexpr std::uint32_t kSequence = 1;
    std::vector<char> request(NLMSG_SPACE(payloadSize), 0);
    auto *header = reinterpret_cast<nlmsghdr *>(request.data());
    header->nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(payloadSize));
    header->nlmsg_type = type;
    header->nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    header->nlmsg_seq = kSequence;
    std::memcpy(NLMSG_DATA(header), payload, payloadSize);

    sockaddr_nl kernel = {};
    kernel.nl_family = AF_NETLINK;
    ssize_t sent;
    do {
        sent = sendto(socket.fd(), request.data(), header->nlmsg_len, 0,
                      reinterpret_cast<sockaddr *>(&kernel), sizeof kernel);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0)
        return errno;

    std::vector<char> buffer(64 * 1024);
    for (;;) {
        // Peek first so that a message larger than the buffer is never cut.
        ssize_t size = recv(socket.fd(), buffer.data(), buffer.size(), MSG_PEEK | MSG_TRUNC);
        if (size < 0 && errno == EINTR)
            continue;
        if (size < 0)
            return errno;
        if (static_cast<std::size_t>(size) > buffer.size())
            buffer.resize(static_cast<std::size_t>(size));
        do {
            size = recv(socket.fd(), buffer.data(), buffer.size(), 0);
        } while (size < 0 && errno == EINTR);
        if (size < 0)
            return errno;
        if (size == 0)
            return EPROTO;

        int length = static_cast<int>(size);
        for (auto *message = reinterpret_cast<nlmsghdr *>(buffer.data()); NLMSG_OK(message, length);
             message = NLMSG_NEXT(message, length)) {
            if (message->nlmsg_seq != kSequence)
                continue;
            if (message->nlmsg_type == NLMSG_DONE)
                return 0;
            if (message->nlmsg_type == NLMSG_ERROR) {
                const auto *error = static_cast<const nlmsgerr *>(NLMSG_DATA(message));
                return error->error == 0 ? 0 : -error->error;
            }
            onMessage(*message);
        }
    }
}

} // namespace nimbra::platform::detail
