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

int sendToKernel(int fd, const void *data, std::size_t size)
{
    sockaddr_nl kernel = {};
    kernel.nl_family = AF_NETLINK;
    ssize_t sent;
    do {
        sent = sendto(fd, data, size, 0, reinterpret_cast<sockaddr *>(&kernel), sizeof kernel);
    } while (sent < 0 && errno == EINTR);
    return sent < 0 ? errno : 0;
}

// One datagram into buffer (grown to fit, so that a message is never cut); its size, or -errno.
ssize_t receive(int fd, std::vector<char> &buffer)
{
    ssize_t size;
    do {
        size = recv(fd, buffer.data(), buffer.size(), MSG_PEEK | MSG_TRUNC);
    } while (size < 0 && errno == EINTR);
    if (size < 0)
        return -errno;
    if (static_cast<std::size_t>(size) > buffer.size())
        buffer.resize(static_cast<std::size_t>(size));
    do {
        size = recv(fd, buffer.data(), buffer.size(), 0);
    } while (size < 0 && errno == EINTR);
    if (size < 0)
        return -errno;
    return size == 0 ? -EPROTO : size;
}

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

    if (const int error = sendToKernel(socket.fd(), request.data(), header->nlmsg_len))
        return error;

    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t size = receive(socket.fd(), buffer);
        if (size < 0)
            return static_cast<int>(-size);
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

std::vector<int> rtnetlinkRequests(std::vector<std::vector<char>> &requests, bool stopAtFailure)
{
    std::vector<int> results;
    results.reserve(requests.size());
    Socket socket;
    const int socketError = socket.fd() < 0 ? errno : 0;
    std::vector<char> buffer(8 * 1024);
    // One request in flight at a time: the kernel handles it inside sendto, so each answer is waiting
    // by the time we read, and the receive buffer never overflows with thousands of answers.
    for (std::size_t index = 0; index < requests.size(); ++index) {
        if (socketError != 0 || requests[index].size() < sizeof(nlmsghdr)) {
            results.push_back(socketError != 0 ? socketError : EINVAL);
            if (stopAtFailure)
                break;
            continue;
        }
        auto *header = reinterpret_cast<nlmsghdr *>(requests[index].data());
        const auto sequence = static_cast<std::uint32_t>(index + 1);
        header->nlmsg_flags |= NLM_F_REQUEST | NLM_F_ACK;
        header->nlmsg_seq = sequence;
        int error = sendToKernel(socket.fd(), header, header->nlmsg_len);
        for (bool answered = error != 0; !answered;) {
            const ssize_t size = receive(socket.fd(), buffer);
            if (size < 0) {
                error = static_cast<int>(-size);
                break;
            }
            int length = static_cast<int>(size);
            for (auto *message = reinterpret_cast<nlmsghdr *>(buffer.data()); NLMSG_OK(message, length);
                 message = NLMSG_NEXT(message, length)) {
                if (message->nlmsg_seq != sequence || message->nlmsg_type != NLMSG_ERROR)
                    continue;
                error = -static_cast<const nlmsgerr *>(NLMSG_DATA(message))->error;
                answered = true;
            }
        }
        results.push_back(error);
        if (error != 0 && stopAtFailure)
            break;
    }
    return results;
}

} // namespace nimbra::platform::detail
